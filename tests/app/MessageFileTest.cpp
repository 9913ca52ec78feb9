// Where the panel's messages go without a console: a file that never grows past its limit, keeps
// the latest messages and one older file, and (on Windows) gets what Qt would write to stderr.

#include "app/MessageFile.h"
#include "app/AppLogging.h"
#include "app/MessageLog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(MessageFile, IsNamedAfterTheApplicationWithOneOldFileBeside) {
    EXPECT_EQ(messages::MessageFilePath("C:/Users/u/AppData/Local", "tarvenik-demo"),
              "C:/Users/u/AppData/Local/Tarvenik/tarvenik-demo.log");
    EXPECT_EQ(messages::OldFilePath("/l/Tarvenik/tarvenik.log"), "/l/Tarvenik/tarvenik.old.log");
    EXPECT_EQ(messages::OldFilePath("/l/messages"), "/l/messages.old");
}

TEST(MessageFile, StaysWithinItsLimitAndKeepsTheLatestMessages) {
    QTemporaryDir dir;
    // The folder is made with the first message.
    const QString path = dir.filePath("Tarvenik/tarvenik.log");
    messages::TMessageFile file(path, 100);
    const QString line(38, QLatin1Char('a')); // with a digit and its end, 40 bytes
    EXPECT_TRUE(file.Append(line + "1"));
    EXPECT_TRUE(file.Append(line + "2"));
    EXPECT_EQ(QFileInfo(path).size(), 80);
    EXPECT_FALSE(QFileInfo::exists(messages::OldFilePath(path)));

    // The third would pass 100 bytes: the two before become the old file.
    EXPECT_TRUE(file.Append(line + "3"));
    EXPECT_EQ(Read(path), line + "3\n");
    EXPECT_TRUE(Read(messages::OldFilePath(path)).endsWith("2\n"));

    // Once more: the old file is replaced, never a third kept.
    EXPECT_TRUE(file.Append(QString(70, QLatin1Char('b'))));
    EXPECT_EQ(Read(messages::OldFilePath(path)), line + "3\n");
    // A single message longer than the limit is still written whole, alone in its file.
    EXPECT_TRUE(file.Append(QString(150, QLatin1Char('c'))));
    EXPECT_EQ(QFileInfo(path).size(), 151);
    EXPECT_EQ(Read(messages::OldFilePath(path)), QString(70, QLatin1Char('b')) + "\n");
    EXPECT_TRUE(file.Append(QStringLiteral("latest")));
    EXPECT_EQ(Read(path), "latest\n");
    EXPECT_EQ(Read(messages::OldFilePath(path)), QString(150, QLatin1Char('c')) + "\n");
    EXPECT_EQ(QDir(dir.filePath("Tarvenik")).entryList(QDir::Files).size(), 2);
}

TEST(MessageFile, ThatCannotBeWrittenSaysSo) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("Tarvenik"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    messages::TMessageFile file(dir.filePath("Tarvenik/tarvenik.log"));
    EXPECT_FALSE(file.Append(QStringLiteral("lost")));
}

TEST(MessageLog, GoesWhereTheSystemKeepsAProgramsMessages) {
    const QString path = messages::RouteMessages();
#ifdef _WIN32
    // The test mode's local data folder stands in for %LOCALAPPDATA%.
    ASSERT_TRUE(path.endsWith("/Tarvenik/" + QCoreApplication::applicationName() + ".log"))
        << path.toStdString();
    QFile::remove(path);
    qCWarning(lcPoll) << "a message for the file";
    qInstallMessageHandler(nullptr);
    const QString written = Read(path);
    EXPECT_TRUE(written.contains("a message for the file")) << written.toStdString();
    // As Qt's default pattern writes it to a console: the category, then the message.
    EXPECT_TRUE(written.startsWith("tarvenik.poll: ")) << written.toStdString();
    QFile::remove(path);
#else
    EXPECT_TRUE(path.isEmpty()) << "stderr is the place on Linux, not " << path.toStdString();
#endif
}
