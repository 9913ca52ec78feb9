#include "platform/win32/FileIo.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) {
    EXPECT_EQ(GetModuleHandleA("nothing.dll"), nullptr);
}
