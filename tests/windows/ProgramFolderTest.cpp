// The program's folder, where the modules and screenshots are looked for, when its name has letters
// outside the ANSI code page: CMake runs this binary once more from a copy in such a folder.

#include "hid/ModuleLoader.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

TEST(ProgramFolder, NamesTheFolderOfTheProgramFileWhateverItsLetters) {
    const QString folder = QString::fromStdString(ModuleLoader::ProgramFolder());
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(QDir::fromNativeSeparators(folder), QCoreApplication::applicationDirPath());
    const QString file = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(file))) << folder.toStdString();
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
