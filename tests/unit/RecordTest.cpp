// Records of the unit library: the time text in any offset, and the file records are appended to.

#include "unit/Record.h"
#include "unit/RecordFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>

#ifndef _WIN32 // FIFOs, resource limits and a second process are POSIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QDateTime At(int offsetSeconds, int ms) {
    return QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9, ms), QTimeZone(offsetSeconds));
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

TEST(Record, TimeIsIso8601WithMillisecondsAndTheOffset) {
    EXPECT_EQ(unit::TimeText(At(3600, 250)), "2025-03-01T14:05:09.250+01:00");
    EXPECT_EQ(unit::TimeText(At(-(3 * 3600 + 1800), 7)), "2025-03-01T14:05:09.007-03:30");
    EXPECT_EQ(unit::TimeText(At(0, 0)), "2025-03-01T14:05:09.000+00:00");
}

TEST(Record, PlainTextEscapesWhatATerminalWouldActOnAndKeepsTheRest) {
    EXPECT_EQ(unit::PlainText(QStringLiteral(u"VU1000 Ölfeld Ω-7 \"x\"")),
              QStringLiteral(u"VU1000 Ölfeld Ω-7 \"x\""));
    EXPECT_EQ(unit::PlainText(QString()), QString());
    EXPECT_EQ(unit::PlainText(QStringLiteral(u"\t\n\r")), QStringLiteral(R"(\t\n\r)"));
    // A Windows device path stays as --device takes it.
    EXPECT_EQ(unit::PlainText(QStringLiteral(u"\\\\?\\hid#vid_16c0")),
              QStringLiteral(u"\\\\?\\hid#vid_16c0"));
    EXPECT_EQ(unit::PlainText(QString(QChar(0)) + QChar(0x1f) + QChar(0x7f)),
              QStringLiteral(R"(\x00\x1f\x7f)"));
    // C1 controls (CSI among them) and the line and paragraph separators.
    EXPECT_EQ(unit::PlainText(QStringLiteral(u"\u0080\u009b\u009f\u00a0\u2028\u2029")),
              QStringLiteral(u"\\u0080\\u009b\\u009f\u00a0\\u2028\\u2029"));
    // Marks that turn the direction of the rest of the line around.
    EXPECT_EQ(unit::PlainText(QStringLiteral(u"a\u202eb\u2066c")),
              QStringLiteral(R"(a\u202eb\u2066c)"));
    // Every other format character: the Arabic letter mark, zero-width ones, the byte order mark,
    // a tag beyond U+FFFF; and half a surrogate pair met alone. A character beyond U+FFFF that
    // shows stays whole.
    EXPECT_EQ(
        unit::PlainText(QStringLiteral(u"\u061c\u200b\u200d\u2060\ufeff\U000E0001\U0001F600")),
        QStringLiteral(u"\\u061c\\u200b\\u200d\\u2060\\ufeff\\U000e0001\U0001F600"));
    EXPECT_EQ(unit::PlainText(QString(QChar(0xD800)) + QLatin1Char('x')),
              QStringLiteral(R"(\ud800x)"));
}

TEST(Record, JsonEscapesWhatPlainTextDoesAndReadsBackAsItWas) {
    const QString text = QStringLiteral(u"a\x1b\u009b\u061c\u200b\U000E0001\"\\z");
    const QString json = unit::JsonString(text);
    EXPECT_EQ(json, QStringLiteral(R"("a\u001b\u009b\u061c\u200b\udb40\udc01\"\\z")"));
    EXPECT_EQ(QJsonDocument::fromJson(("[" + json + "]").toUtf8()).array()[0].toString(), text);
}

TEST(RecordFile, TheHeaderGoesOnlyIntoANewOrEmptyFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    {
        unit::TRecordFile file(path, "h\r\n");
        ASSERT_TRUE(file.Append("1\r\n"));
        ASSERT_TRUE(file.Append("2\r\n"));
    }
    unit::TRecordFile again(path, "h\r\n");
    ASSERT_TRUE(again.Append("3\r\n"));
    EXPECT_EQ(Contents(path), "h\r\n1\r\n2\r\n3\r\n");

#ifndef _WIN32
    // A pipe has no size to tell it is new: the header goes in once.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const int reader = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    unit::TRecordFile piped(fifo, "h\n");
    ASSERT_TRUE(piped.Append("1\n"));
    ASSERT_TRUE(piped.Append("2\n"));
    char buffer[64] = {};
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(::read(reader, buffer, sizeof buffer))),
              "h\n1\n2\n");
    ::close(reader);
#endif
}

#ifndef _WIN32
TEST(RecordFile, ARecordTheFileSystemTakesOnlyInPartIsTakenBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    unit::TRecordFile file(path, "header\n");
    ASSERT_TRUE(file.Append("first\n"));

    // A file size limit just past the first record stands for a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool written = file.Append("second record, too long for the limit\n");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(file.ErrorString().isEmpty());
    EXPECT_EQ(Contents(path), "header\nfirst\n");
    ASSERT_TRUE(file.Append("third\n"));
    EXPECT_EQ(Contents(path), "header\nfirst\nthird\n");
}
#endif

TEST(RecordFile, AFailureCarriesTheSystemsReason) {
#ifdef _WIN32
    QTemporaryDir dir;
    unit::TRecordFile missing(dir.filePath("no such folder/log.csv"), "h\n");
    EXPECT_FALSE(missing.Append("1\n"));
    EXPECT_FALSE(missing.ErrorString().isEmpty()); // in the words of the system's language
#else
    unit::TRecordFile full("/dev/full", "h\n");
    EXPECT_FALSE(full.Append("1\n"));
    EXPECT_EQ(full.ErrorString(), "No space left on device");
#endif
}

#ifndef _WIN32
TEST(RecordFile, TwoWritersStartingOnOneNewFileWriteOneHeader) {
    QTemporaryDir dir;
    constexpr int kFiles = 40;
    // Two processes, each appending one record to every one of the same new files at once.
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0; i < kFiles; ++i)
                unit::TRecordFile(dir.filePath(QString::number(i)), "h\n").Append("r\n");
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(Contents(dir.filePath(QString::number(i))), "h\nr\nr\n") << i;
}
#endif
