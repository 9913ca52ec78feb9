// The program without usable service modules. HID_TEST_MISSING tells the
// folder this binary sits in: 0 none at all, 1 a HID module lacking a
// required export, 2 a setup module lacking one. On Windows (case 1 only) the
// folder's hid.dll lacks exports and the system's SetupApi.dll is complete.

#include "HidTestSupport.h"

#include "hid/Hid.h"
#include "hid/ModuleLoader.h"
#include "hid/SetupApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
const char* const kSetupModule = "setupapi.dll";
const char* const kHidModule = "hid.dll";

bool LoadedBesideProgram(const char* file) {
    const std::string path = ModuleLoader::ProgramFolder() + "\\" + file;
    return GetModuleHandleA(path.c_str()) != nullptr;
}
#else
const char* const kSetupModule = "libsetupsvc.so";
const char* const kHidModule = "libhidsvc.so";

bool LoadedBesideProgram(const char* file) {
    const std::string path = ModuleLoader::ProgramFolder() + "/" + file;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}
#endif

} // namespace

TEST(MissingModules, TheControllerRunsWithoutDevices) {
    {
        THidDeviceController controller(nullptr);
        hidtest::TEventRecorder recorder;
        recorder.Attach(controller);
        controller.SetOnDeviceChange(TNotifyEvent(&recorder, &hidtest::TEventRecorder::Change));
        hidtest::DeliverPosted();

        EXPECT_FALSE(Hid::HidApiAvailable());
        EXPECT_EQ(controller.NotifyWindow(), nullptr);
        const GUID published = {
            0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
        EXPECT_EQ(std::memcmp(&controller.HidInterfaceGuid(), &published, sizeof published), 0);
        EXPECT_EQ(controller.DeviceCount(), 0);
        EXPECT_EQ(controller.EnumerateDevices(), 0);
        THidDevice* device = nullptr;
        EXPECT_FALSE(controller.CheckOutAt(0, device));
        EXPECT_EQ(device, nullptr);
        controller.DeviceChange();
        EXPECT_EQ(controller.DeviceCount(), 0);
        EXPECT_TRUE(recorder.Events.empty());
        // The setup services stay held only while they are complete.
        EXPECT_EQ(SetupApi::SetupApiUseCount(), HID_TEST_MISSING == 1 ? 1 : 0);
    }
    // Whatever was loaded is released with the controller.
    EXPECT_EQ(SetupApi::SetupApiUseCount(), 0);
    EXPECT_FALSE(SetupApi::SetupApiLoaded());
    EXPECT_FALSE(LoadedBesideProgram(kSetupModule));
    EXPECT_FALSE(LoadedBesideProgram(kHidModule));
}

TEST(MissingModules, AFailedAcquireLeavesNoEntriesAndNoCount) {
    const bool setupComplete = HID_TEST_MISSING == 1;
    const bool hidComplete = HID_TEST_MISSING == 2;
    EXPECT_EQ(SetupApi::AcquireSetupApi(), setupComplete);
    EXPECT_EQ(SetupApi::SetupApiUseCount(), setupComplete ? 1 : 0);
    EXPECT_EQ(SetupApi::SetupDiGetClassDevsA != nullptr, setupComplete);
    EXPECT_EQ(Hid::AcquireHidApi(), hidComplete);
    EXPECT_EQ(Hid::HidD_GetAttributes != nullptr, hidComplete);
    EXPECT_EQ(Hid::HidApiAvailable(), hidComplete);
    Hid::ReleaseHidApi();
    if (setupComplete)
        SetupApi::ReleaseSetupApi();
    EXPECT_EQ(SetupApi::SetupApiUseCount(), 0);
    EXPECT_FALSE(LoadedBesideProgram(kSetupModule));
}

#if HID_TEST_MISSING == 0
// Modules not beside the program are found through the loader's search path.
TEST(LoaderSearchPath, FindsModulesOnlyWhereTheLoaderLooks) {
    const bool expected = std::getenv("HID_TEST_EXPECT_MODULES") != nullptr;
    ASSERT_EQ(SetupApi::AcquireSetupApi(), expected);
    if (!expected)
        return;
    EXPECT_TRUE(Hid::AcquireHidApi());
    EXPECT_NE(Hid::HidD_GetFeature, nullptr);
    EXPECT_EQ(Hid::HidD_GetInputReport, nullptr); // optional, and absent
    Hid::ReleaseHidApi();
    SetupApi::ReleaseSetupApi();
    EXPECT_FALSE(Hid::HidApiAvailable());
}
#endif
