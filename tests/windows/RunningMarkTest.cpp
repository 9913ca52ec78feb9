// The mark the uninstaller looks for: there while a program holds it, gone with the last holder.
// (A name of this test's own: the tool and the panel that other tests start hold the real one.)

#include "framework/RunningMark.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

TEST(RunningMark, IsThereWhileAProgramHoldsItAndGoesWithTheLastHolder) {
    const std::wstring name = L"TarvenikRunningMarkTest" + std::to_wstring(GetCurrentProcessId());
    EXPECT_FALSE(framework::TRunningMark::Held(name.c_str()));
    auto first = std::make_unique<framework::TRunningMark>(name.c_str());
    auto second = std::make_unique<framework::TRunningMark>(name.c_str());
    EXPECT_TRUE(framework::TRunningMark::Held(name.c_str()));
    first.reset();
    EXPECT_TRUE(framework::TRunningMark::Held(name.c_str())) << "a second copy still runs";
    second.reset();
    EXPECT_FALSE(framework::TRunningMark::Held(name.c_str()));
}

// The programs hold the real name, which the setup program asks for.
TEST(RunningMark, TheProgramsMarkHasTheNameTheSetupProgramAsksFor) {
    EXPECT_EQ(std::wstring(framework::kRunningMarkName), L"TarvenikProgramRunning");
    const framework::TRunningMark running;
    EXPECT_TRUE(framework::TRunningMark::Held());
}
