// The controller and device against the stand-in modules beside this
// binary: query-only devices, interfaces that can't be used, implausible
// answers from the setup services, and the node-change notification.

#include "HidTestSupport.h"

#include "hid/Hid.h"
#include "hid/HidNotifyWindow.h"
#include "hid/ModuleLoader.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

using hidtest::TEventRecorder;
using hidtest::TTextProbe;

namespace {

const char* const kVariables[] = {"HIDSTUB_PATHS",       "HIDSTUB_FAIL_CLASSDEVS",
                                  "HIDSTUB_DETAIL_SIZE", "HIDSTUB_FAIL_ATTRIBUTES",
                                  "HIDSTUB_PRODUCT",     "HIDSTUB_MANUFACTURER"};

} // namespace

class StubModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* variable : kVariables)
            unsetenv(variable);
        ASSERT_FALSE(temp_.Path().empty());
        folder_ = temp_.Path();
    }
    void TearDown() override {
        controller_.reset();
        for (const char* variable : kVariables)
            unsetenv(variable);
    }

    std::string MakeFile(const char* name) { return temp_.File(name); }
    static void SetPaths(const std::string& paths) { setenv("HIDSTUB_PATHS", paths.c_str(), 1); }

    THidDeviceController& MakeController() {
        // The HID services are not counted: the old controller goes first,
        // or its release would unload them under the new one.
        controller_.reset();
        controller_ = std::make_unique<THidDeviceController>(nullptr);
        Recorder.Attach(*controller_);
        hidtest::DeliverPosted();
        return *controller_;
    }

    template <typename F> static F StubExport(const char* name) {
        const std::string path = ModuleLoader::ProgramFolder() + "/libsetupsvc.so";
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        F entry = module ? reinterpret_cast<F>(dlsym(module, name)) : nullptr;
        if (module)
            dlclose(module);
        return entry;
    }

    hidtest::TTempFolder temp_{"tarvenik-hidstub"};
    std::string folder_;
    std::unique_ptr<THidDeviceController> controller_;
    TEventRecorder Recorder;
};

TEST_F(StubModulesTest, AQueryOnlyInterfaceIsListedButGetsNoThreadAndNoReports) {
    SetPaths(folder_); // a folder opens for queries only
    setenv("HIDSTUB_PRODUCT", "Tarvenik", 1);
    THidDeviceController& controller = MakeController();
    ASSERT_EQ(controller.DeviceCount(), 1);
    THidDevice* device = controller.DeviceAt(0);
    EXPECT_FALSE(device->ReadWriteAllowed());
    EXPECT_EQ(device->HidAttributes().VendorID, 0x1234);
    EXPECT_EQ(device->InterfaceInfo().InterfacePath, folder_);

    TTextProbe probe;
    controller.SetOnEnumerate(THidEnumerateEvent(&probe, &TTextProbe::Enumerate));
    EXPECT_EQ(controller.EnumerateDevices(), 1);
    EXPECT_EQ(probe.Product, QStringLiteral("Tarvenik"));

    controller.SetOnDeviceData(THidDataEvent(&Recorder, &TEventRecorder::Data));
    ASSERT_TRUE(controller.CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    EXPECT_EQ(held->ReadThread(), nullptr);
    unsigned char report[252] = {};
    EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));
    EXPECT_FALSE(held->ReadWriteAllowed());
}

TEST_F(StubModulesTest, InterfacesThatCannotBeOpenedOrIdentifiedAreSkippedAndTriedAgain) {
    const std::string good = MakeFile("good");
    SetPaths(folder_ + "/missing:" + good);
    setenv("HIDSTUB_FAIL_ATTRIBUTES", "1", 1);
    THidDeviceController& controller = MakeController();
    EXPECT_EQ(controller.DeviceCount(), 0);

    unsetenv("HIDSTUB_FAIL_ATTRIBUTES");
    controller.DeviceChange();
    ASSERT_EQ(controller.DeviceCount(), 1);
    EXPECT_EQ(controller.DeviceAt(0)->InterfaceInfo().InterfacePath, good);
    EXPECT_EQ(controller.DeviceAt(0)->InterfaceInfo().InstanceHandle, 1001u);
    EXPECT_TRUE(controller.DeviceAt(0)->ReadWriteAllowed());
}

TEST_F(StubModulesTest, ImplausibleDetailSizesAreSkipped) {
    SetPaths(MakeFile("good"));
    for (const char* size : {"0", "3", "4", "4000000000"}) {
        setenv("HIDSTUB_DETAIL_SIZE", size, 1);
        THidDeviceController& controller = MakeController();
        EXPECT_EQ(controller.DeviceCount(), 0) << size;
    }
    unsetenv("HIDSTUB_DETAIL_SIZE");
    EXPECT_EQ(MakeController().DeviceCount(), 1);
}

TEST_F(StubModulesTest, AFailedInterfaceListDropsEveryCheckedInDevice) {
    SetPaths(MakeFile("good"));
    THidDeviceController& controller = MakeController();
    controller.SetOnDeviceChange(TNotifyEvent(&Recorder, &TEventRecorder::Change));
    ASSERT_EQ(controller.DeviceCount(), 1);
    const std::string tag = TEventRecorder::Tag("removal", controller.DeviceAt(0));
    Recorder.Events.clear();

    setenv("HIDSTUB_FAIL_CLASSDEVS", "1", 1);
    controller.DeviceChange();
    EXPECT_EQ(controller.DeviceCount(), 0);
    ASSERT_EQ(Recorder.Events.size(), 3u); // unplug, removal, change
    EXPECT_EQ(Recorder.Events[1], tag);
}

TEST_F(StubModulesTest, OnlyNotificationsThatConsumedChangesRescan) {
    using TRaise = void (*)(int);
    using TReads = int (*)();
    SetPaths(MakeFile("first"));
    THidDeviceController& controller = MakeController();
    const auto raise = StubExport<TRaise>("HidStub_RaiseNotification");
    const auto reads = StubExport<TReads>("HidStub_NotifyReads");
    ASSERT_NE(raise, nullptr);
    ASSERT_NE(reads, nullptr);
    ASSERT_EQ(controller.DeviceCount(), 1);
    ASSERT_TRUE(controller.NotifyWindow()->Watching());

    SetPaths(folder_ + "/first:" + MakeFile("second"));
    int before = reads();
    raise(0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return reads() > before; }));
    EXPECT_EQ(controller.DeviceCount(), 1);
    EXPECT_EQ(controller.LastChangeParam(), -1);

    raise(2);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return controller.DeviceCount() == 2; }));
    EXPECT_EQ(controller.LastChangeParam(), 0);

    before = reads();
    raise(-1); // a notification that can't be read stops the watch
    ASSERT_TRUE(hidtest::PumpUntil([&] { return reads() > before; }));
    EXPECT_FALSE(controller.NotifyWindow()->Watching());
}

TEST_F(StubModulesTest, TheInterfaceClassComesFromTheHidServicesAndOptionalCallsMayLack) {
    THidDeviceController& controller = MakeController();
    const GUID stub{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(std::memcmp(&controller.HidInterfaceGuid(), &stub, sizeof stub), 0);
    EXPECT_TRUE(Hid::HidApiAvailable());
    EXPECT_EQ(Hid::HidD_GetInputReport, nullptr);
    EXPECT_EQ(Hid::HidD_SetOutputReport, nullptr);
    EXPECT_NE(controller.NotifyWindow(), nullptr);
}

// The system's HID.dll has none of the modules' own optional calls: their lack is no fault, and
// a load that finds only them missing logs nothing at the default level.
TEST_F(StubModulesTest, OptionalCallsThatTheServicesLackAreNotLogged) {
    SetPaths(MakeFile("good"));
    testsupport::TLogCapture log;
    THidDeviceController& controller = MakeController();
    EXPECT_TRUE(Hid::HidApiAvailable());
    EXPECT_EQ(Hid::HidD_GetInputReport, nullptr);
    EXPECT_EQ(controller.DeviceCount(), 1);
    EXPECT_TRUE(log.Lines.isEmpty()) << log.Lines.join('\n').toStdString();
}

TEST_F(StubModulesTest, AHeldDeviceGivesBackItsPreparsedDataBeforeTheHidServicesGo) {
    SetPaths(MakeFile("good"));
    // Loaded here too, so the stand-in and its count outlive the
    // controller's release of the HID services.
    const std::string path = ModuleLoader::ProgramFolder() + "/libhidsvc.so";
    const std::unique_ptr<void, int (*)(void*)> module(dlopen(path.c_str(), RTLD_NOW), &dlclose);
    ASSERT_NE(module, nullptr);
    const auto outstanding =
        reinterpret_cast<int (*)()>(dlsym(module.get(), "HidStub_PreparsedOutstanding"));
    ASSERT_NE(outstanding, nullptr);
    const int before = outstanding();

    THidDevice* device = nullptr;
    ASSERT_TRUE(MakeController().CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    HIDP_CAPS caps;
    held->QueryCapabilities(caps);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(outstanding(), before + 1);

    controller_.reset();
    EXPECT_EQ(outstanding(), before);
    EXPECT_EQ(held->PreparsedData(), nullptr);
    held->QueryCapabilities(caps); // can't be opened any more: a zeroed record
    EXPECT_EQ(caps.InputReportByteLength, 0);
    held.reset();
    EXPECT_EQ(outstanding(), before);
}
