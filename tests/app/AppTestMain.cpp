// The window tests run inside one application object that lives on main's stack, so it goes away
// before the process's static objects do (the font database needs them while it is torn down).

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // What the window makes in the user's folders (the screenshots' fallback pictures folder,
    // which Qt's test mode leaves in place, and the test mode's own settings) goes into a home
    // of the run, removed with it.
    QTemporaryDir home;
    if (home.isValid())
        qputenv("HOME", QFile::encodeName(home.path()));
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    return RUN_ALL_TESTS();
}
