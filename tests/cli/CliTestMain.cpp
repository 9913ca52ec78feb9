// The tool's tests run inside one core application, as the tool does: no widgets. Started with
// the one argument clitest::kGiveUpChild, the binary is instead a child a test starts (see
// ProgramFilesTest.cpp).

#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstring>

int main(int argc, char** argv) {
#ifndef _WIN32
    if (argc == 2 && std::strcmp(argv[1], clitest::kGiveUpChild) == 0) {
        QCoreApplication application(argc, argv);
        return clitest::GiveUpOnAStalledUnit();
    }
#endif
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
