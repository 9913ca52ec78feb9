// The file operations with one implementation per system: what the record file and the
// screenshot rely on, with names outside ASCII as a Windows user's folders often have.

#include "framework/Files.h"
#include "framework/FileName.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <vector>

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

    framework::TAppendFile first;
    framework::TAppendFile second;
    ASSERT_TRUE(first.Open(path)) << first.Error().toStdString();
    ASSERT_TRUE(second.Open(path)) << second.Error().toStdString();
    EXPECT_TRUE(first.Regular());
    // The second writer's record must not land over the first one's.
    ASSERT_TRUE(first.Write("one\n"));
    ASSERT_TRUE(second.Write("two\n"));
    ASSERT_TRUE(first.Lock());
    ASSERT_TRUE(first.Write("three\n"));
    first.Unlock();
    EXPECT_EQ(second.Size(), 14);
    EXPECT_EQ(first.ReadBeginning(3), QByteArray("one"));
    // A record taken back leaves the file as it was before it.
    ASSERT_TRUE(second.Write("part of a rec"));
    second.Truncate(14);
    first.Close();
    second.Close();
    EXPECT_EQ(Contents(path), QByteArray("one\ntwo\nthree\n"));

    // Opening again keeps what is there.
    framework::TAppendFile third;
    ASSERT_TRUE(third.Open(path));
    ASSERT_TRUE(third.Write("four\n"));
    third.Close();
    EXPECT_EQ(Contents(path), QByteArray("one\ntwo\nthree\nfour\n"));
}

TEST(Files, AFileThatCannotBeOpenedSaysWhy) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    framework::TAppendFile file;
    EXPECT_FALSE(file.Open(QDir(temp.path()).filePath(QStringLiteral("missing/folder/log.csv"))));
    EXPECT_FALSE(file.Error().isEmpty());
    EXPECT_FALSE(file.IsOpen());
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
        ASSERT_TRUE(framework::MoveOver(part, target, why)) << why.toStdString();
        EXPECT_EQ(Contents(target), contents);
        EXPECT_FALSE(QFile::exists(part));
    }

    QString why;
    EXPECT_FALSE(framework::MoveOver(part, target, why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(Contents(target), QByteArray("second"));
}

// A collector reading the metrics file, or a scanner a new picture, holds it open for a moment:
// Windows refuses to replace it meanwhile, and the replacement is tried again until the reader
// lets go. (Linux replaces an open file at once; the reader keeps the old one.)
TEST(Files, AFileHeldByAReaderIsReplacedOnceTheReaderLetsGo) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString target = QDir(temp.path()).filePath(QStringLiteral(u"metrics é.prom"));
    QString why;
    ASSERT_TRUE(framework::WriteInPlaceOf(target, "old\n", why)) << why.toStdString();
    auto reader = std::make_unique<QFile>(target);
    ASSERT_TRUE(reader->open(QIODevice::ReadOnly));
    std::vector<int> pauses;
    const auto letGoOnThird = [&](int tries) {
        pauses.push_back(tries);
        if (tries == 3)
            reader.reset();
    };
    ASSERT_TRUE(framework::WriteInPlaceOf(target, "new\n", why, letGoOnThird)) << why.toStdString();
    EXPECT_EQ(Contents(target), QByteArray("new\n"));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
#ifdef _WIN32
    EXPECT_EQ(pauses, (std::vector<int>{1, 2, 3}));
#else
    EXPECT_TRUE(pauses.empty());
#endif
}

// A reader that never lets go: the tries end, bounded, and the old file stays whole.
TEST(Files, AReaderThatNeverLetsGoEndsTheTriesWithTheOldFileWhole) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString target = QDir(temp.path()).filePath(QStringLiteral("picture.jpg"));
    QString why;
    ASSERT_TRUE(framework::WriteInPlaceOf(target, "old", why)) << why.toStdString();
    QFile reader(target);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    int pauses = 0;
    const bool replaced = framework::WriteInPlaceOf(target, "new", why, [&](int) { ++pauses; });
#ifdef _WIN32
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(pauses, framework::kReplaceTries - 1);
    EXPECT_EQ(Contents(target), QByteArray("old"));
#else
    EXPECT_TRUE(replaced);
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(Contents(target), QByteArray("new"));
#endif
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"picture.jpg"});
}

TEST(Files, AFileWrittenInPlaceOfAnotherLeavesNoPartAndTheirNamesCannotBeGuessed) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QDir folder(temp.path());
    const QString target = folder.filePath(QStringLiteral(u"metrics é.prom"));
    for (const QByteArray& contents : {QByteArray("first\n"), QByteArray()}) {
        QString why;
        ASSERT_TRUE(framework::WriteInPlaceOf(target, contents, why)) << why.toStdString();
        EXPECT_EQ(Contents(target), contents);
        EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral(u"metrics é.prom")});
    }

    const QString part = framework::PartNameBeside(target);
    EXPECT_TRUE(part.startsWith(folder.filePath(QStringLiteral(u".metrics é.prom."))))
        << part.toStdString();
    EXPECT_TRUE(part.endsWith(QStringLiteral(".part")));
    EXPECT_NE(part, framework::PartNameBeside(target));

    QString why;
    EXPECT_FALSE(
        framework::WriteInPlaceOf(folder.filePath(QStringLiteral("missing/m.prom")), "lost", why));
    EXPECT_FALSE(why.isEmpty());
}

#ifndef _WIN32 // a FIFO: what a reader of the metrics may have put there
TEST(Files, OnlyARegularFileOrNothingIsReplaced) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QDir folder(temp.path());
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(framework::KindOf(fifo), framework::TPathKind::Stream);
    EXPECT_EQ(framework::KindOf(folder.path()), framework::TPathKind::Other);
    EXPECT_EQ(framework::KindOf(folder.filePath(QStringLiteral("none"))),
              framework::TPathKind::Missing);
    for (const QString& target : {fifo, folder.path()}) {
        QString why;
        EXPECT_FALSE(framework::WriteInPlaceOf(target, "new", why)) << target.toStdString();
        EXPECT_EQ(why, QStringLiteral("not a regular file, so not replaced"));
    }
    EXPECT_EQ(framework::KindOf(fifo), framework::TPathKind::Stream);
    EXPECT_EQ(
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("fifo")})
        << "no part file left";
}
#endif
