// The window tests run inside one application object that lives on main's stack, so it goes away
// before the process's static objects do (the font database needs them while it is torn down).

#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // Pictures that fall back to the user's folder land in a test folder instead.
    QStandardPaths::setTestModeEnabled(true);
    return RUN_ALL_TESTS();
}
