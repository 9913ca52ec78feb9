// GoogleTest entry for tests that need the Qt event loop: the controller's
// notify window and the read thread's deliveries run through it.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
