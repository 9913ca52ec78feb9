// The file operations with one implementation per system: what the record file and the
// screenshot rely on, with names outside ASCII as a Windows user's folders often have.

#include "framework/Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

const QString kFolderName = QStringLiteral(u"Messwerte Jörg Ωмега");

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

TEST(Files, AppendersSharingAFileEachWriteAtItsEnd) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ASSERT_TRUE(QDir(temp.path()).mkdir(kFolderName));
    const QString path = QDir(temp.path()).filePath(kFolderName + QStringLiteral(u"/log é.csv"));

    QFile first;
    QFile second;
    QString why;
    ASSERT_TRUE(framework::OpenForAppend(first, path, why)) << why.toStdString();
    ASSERT_TRUE(framework::OpenForAppend(second, path, why)) << why.toStdString();
    // The second writer's record must not land over the first one's.
    ASSERT_EQ(first.write("one\n"), 4);
    ASSERT_EQ(second.write("two\n"), 4);
    ASSERT_EQ(first.write("three\n"), 6);
    first.close();
    second.close();
    EXPECT_EQ(Contents(path), QByteArray("one\ntwo\nthree\n"));

    // Opening again keeps what is there.
    QFile third;
    ASSERT_TRUE(framework::OpenForAppend(third, path, why));
    ASSERT_EQ(third.write("four\n"), 5);
    third.close();
    EXPECT_EQ(Contents(path), QByteArray("one\ntwo\nthree\nfour\n"));
}

TEST(Files, AFileThatCannotBeOpenedSaysWhy) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QFile file;
    QString why;
    EXPECT_FALSE(framework::OpenForAppend(
        file, QDir(temp.path()).filePath(QStringLiteral("missing/folder/log.csv")), why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(file.isOpen());
}

TEST(Files, ReplacingPutsTheNewFileInPlaceOfAnOldOne) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ASSERT_TRUE(QDir(temp.path()).mkdir(kFolderName));
    const QDir folder(QDir(temp.path()).filePath(kFolderName));
    const QString target = folder.filePath(QStringLiteral(u"071226_101500 ü.jpg"));
    const QString part = folder.filePath(QStringLiteral(".part"));
    for (const QByteArray& contents : {QByteArray("first"), QByteArray("second")}) {
        QFile file(part);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        QString why;
        ASSERT_TRUE(framework::ReplaceFile(part, target, why)) << why.toStdString();
        EXPECT_EQ(Contents(target), contents);
        EXPECT_FALSE(QFile::exists(part));
    }

    QString why;
    EXPECT_FALSE(framework::ReplaceFile(part, target, why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(Contents(target), QByteArray("second"));
}
