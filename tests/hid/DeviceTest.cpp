// The device against the virtual unit: texts, feature reports, handles,
// capabilities, and release by its holder.

#include "VirtualUnitFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NodeAccess.h"

#include "platform/win32/FileIo.h"

#include <QPointer>

#include <cstring>

using hidtest::TTextProbe;

using testsupport::ExchangeLog;

TEST_F(VirtualUnitTest, TextsAreFetchedInsideACallbackAndCachedForTheDevicesLife) {
    auto controller = MakeController();
    THidDevice* device = controller->DeviceAt(0);
    EXPECT_TRUE(device->GetProductText().isEmpty()); // never fetched, can't open here

    TTextProbe probe;
    controller->SetOnEnumerate(THidEnumerateEvent(&probe, &TTextProbe::Enumerate));
    controller->EnumerateDevices();
    EXPECT_EQ(probe.Product, QStringLiteral("Tarvenik"));
    EXPECT_EQ(probe.Manufacturer, QStringLiteral("Mirdal-vk"));
    EXPECT_EQ(device->MainHandle(), INVALID_HANDLE_VALUE);

    Unit().SetStrings(0, "Other", "Maker");
    controller->EnumerateDevices();
    EXPECT_EQ(probe.Product, QStringLiteral("Tarvenik"));
    EXPECT_EQ(device->GetManufacturerText(), QStringLiteral("Mirdal-vk"));
}

TEST_F(VirtualUnitTest, AnEmptyTextIsAskedForAgain) {
    Unit().SetStrings(0, "", nullptr);
    auto controller = MakeController();
    TTextProbe probe;
    controller->SetOnEnumerate(THidEnumerateEvent(&probe, &TTextProbe::Enumerate));
    controller->EnumerateDevices();
    EXPECT_TRUE(probe.Product.isEmpty());

    Unit().SetStrings(0, "Tarvenik", nullptr);
    controller->EnumerateDevices();
    EXPECT_EQ(probe.Product, QStringLiteral("Tarvenik"));
}

TEST_F(VirtualUnitTest, TextsAreCutAt254Characters) {
    const std::string longAscii(300, 'A');
    std::string longCyrillic;
    for (int i = 0; i < 260; ++i)
        longCyrillic += "\xD0\xAF"; // U+042F
    Unit().SetStrings(0, longAscii.c_str(), longCyrillic.c_str());
    auto controller = MakeController();
    TTextProbe probe;
    controller->SetOnEnumerate(THidEnumerateEvent(&probe, &TTextProbe::Enumerate));
    controller->EnumerateDevices();
    EXPECT_EQ(probe.Product, QString(254, QChar(u'A')));
    EXPECT_EQ(probe.Manufacturer, QString(254, QChar(0x042F)));
}

TEST_F(VirtualUnitTest, FeatureReportsOpenTheMainHandleOnceAndReuseIt) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    EXPECT_EQ(held->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(held->HidAttributes().Size, sizeof(HIDD_ATTRIBUTES));
    EXPECT_NE(held->HidAttributes().VendorID, 0);

    unsigned char block[250];
    for (int i = 0; i < 250; ++i)
        block[i] = static_cast<unsigned char>(i * 7);
    Unit().SetFixedBlock(0, block);
    Unit().ClearLog();

    unsigned char report[252];
    std::memset(report, 0xEE, sizeof report);
    report[0] = 0;
    ASSERT_TRUE(held->GetFeatureReport(report, sizeof report));
    const HANDLE opened = held->MainHandle();
    EXPECT_NE(opened, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(held->ReadWriteAllowed());
    EXPECT_EQ(std::memcmp(report + 1, block, 250), 0);
    EXPECT_EQ(report[251], 0xA5);

    report[1] = 0x42;
    ASSERT_TRUE(held->SetFeatureReport(report, sizeof report));
    EXPECT_EQ(held->MainHandle(), opened);

    const auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].direction, 1);
    EXPECT_EQ(log[1].direction, 0);
    EXPECT_EQ(log[1].length, 252);
    EXPECT_EQ(std::memcmp(log[1].report, report, sizeof report), 0);

    Unit().SetFailures(0, 1, 1);
    EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));
    EXPECT_FALSE(held->SetFeatureReport(report, sizeof report));
    Unit().SetFailures(0, 0, 0);
    EXPECT_FALSE(held->GetFeatureReport(nullptr, 252));
    EXPECT_FALSE(held->GetFeatureReport(report, 0));
    EXPECT_FALSE(held->SetFeatureReport(report, -1));
    EXPECT_EQ(Unit().LogCount(), 2);
}

TEST_F(VirtualUnitTest, AQueryOnlyMainHandleTriesReadWriteAgainWhenAskedFor) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    unsigned char report[252] = {};
    {
        testsupport::TNodeAccessDenied denied(held->InterfaceInfo().InterfacePath);
        ASSERT_TRUE(denied.Valid());
        EXPECT_TRUE(held->OpenMainHandle()); // query only
        EXPECT_FALSE(held->ReadWriteAllowed());
        EXPECT_EQ(held->ReadWriteError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));

        denied.Grant(); // the rule applied, the handle still open
        EXPECT_TRUE(held->GetFeatureReport(report, sizeof report));
        EXPECT_TRUE(held->ReadWriteAllowed());
    }
    EXPECT_EQ(Unit().LogCount(), 1);
}

TEST_F(VirtualUnitTest, CapabilitiesComeFromPreparsedDataCachedOnce) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);

    HIDP_CAPS caps;
    std::memset(&caps, 0xFF, sizeof caps);
    held->QueryCapabilities(caps);
    EXPECT_EQ(caps.FeatureReportByteLength, 252);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 0);
    const PHIDP_PREPARSED_DATA cached = held->PreparsedData();
    EXPECT_NE(cached, nullptr);
    EXPECT_EQ(held->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(held->EnsurePreparsedData(), cached);
}

TEST_F(VirtualUnitTest, ReadSleepTimeAcceptsTenToTenThousandMilliseconds) {
    auto controller = MakeController();
    THidDevice* device = controller->DeviceAt(0);
    EXPECT_EQ(device->ReadSleepTime(), 100);
    device->SetReadSleepTime(9);
    device->SetReadSleepTime(10001);
    EXPECT_EQ(device->ReadSleepTime(), 100);
    device->SetReadSleepTime(10);
    EXPECT_EQ(device->ReadSleepTime(), 10);
    device->SetReadSleepTime(10000);
    EXPECT_EQ(device->ReadSleepTime(), 10000);
}

namespace {

struct TOwnUnplug {
    int Calls = 0;
    void Unplug(THidDevice*) { ++Calls; }
};

} // namespace

TEST_F(VirtualUnitTest, ReleasingAPresentDeviceLeavesACheckedInTwinInItsSlot) {
    auto controller = MakeController();
    PlugAndRescan(1);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    QPointer<THidDevice> released = device;
    const uint32_t instance = device->InterfaceInfo().InstanceHandle;
    TOwnUnplug own;
    device->SetUnplugHandler(THidPlugEvent(&own, &TOwnUnplug::Unplug));
    device->SetReadSleepTime(40);
    unsigned char report[252] = {};
    ASSERT_TRUE(device->GetFeatureReport(report, sizeof report));

    delete device;
    EXPECT_TRUE(released.isNull());
    ASSERT_EQ(controller->DeviceCount(), 2);
    THidDevice* twin = controller->DeviceAt(0);
    EXPECT_EQ(twin->InterfaceInfo().InstanceHandle, instance);
    EXPECT_FALSE(twin->CheckedOut());
    EXPECT_TRUE(twin->Attached());
    EXPECT_EQ(twin->parent(), controller.get());
    EXPECT_EQ(twin->ReadSleepTime(), 40);
    EXPECT_EQ(twin->UnplugHandler().object(), &own);
    EXPECT_EQ(controller->CheckedInCount(), 2);
    EXPECT_EQ(controller->CheckedOutCount(), 0);

    // The twin can be checked out like any device, and its unplug handler
    // is the one the released device carried.
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    UnplugAndRescan(0);
    EXPECT_EQ(own.Calls, 1);
}

TEST_F(VirtualUnitTest, ReleasingADeviceWhoseTwinCannotBeOpenedDropsTheSlot) {
    auto controller = MakeController();
    PlugAndRescan(1);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    THidDevice* other = controller->DeviceAt(1);

    // Gone from the machine, but no rescan has run: still attached.
    ASSERT_EQ(Unit().Unplug(0), 0);
    ASSERT_TRUE(device->Attached());
    EXPECT_NO_THROW(delete device);
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_EQ(controller->DeviceAt(0), other);
    EXPECT_EQ(controller->CheckedInCount(), 1);
    EXPECT_EQ(controller->CheckedOutCount(), 0);

    // The rescan of the unplug finds nothing more to remove.
    Recorder.Events.clear();
    controller->DeviceChange();
    EXPECT_EQ(controller->DeviceCount(), 1);
    EXPECT_TRUE(Recorder.Events.empty());
}

TEST_F(VirtualUnitTest, AReleasedDeviceThatCannotBeListedAgainIsLogged) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    ASSERT_EQ(Unit().Unplug(0), 0); // gone, but no rescan has run

    testsupport::TLogCapture log;
    delete device;
    EXPECT_EQ(controller->DeviceCount(), 0);
    ASSERT_EQ(log.Lines.size(), 1);
    EXPECT_TRUE(log.Lines[0].startsWith("tarvenik.hid: ")) << log.Lines[0].toStdString();
    EXPECT_TRUE(log.Lines[0].contains("given back")) << log.Lines[0].toStdString();
}

namespace {

// Reads the counts from inside the controller's events.
struct TCountProbe {
    THidDeviceController* Controller = nullptr;
    std::vector<std::vector<int>> Seen; // checked in, checked out, unplugged
    void Look(THidDevice*) {
        Seen.push_back({Controller->CheckedInCount(), Controller->CheckedOutCount(),
                        Controller->UnpluggedCount()});
    }
};

} // namespace

TEST_F(VirtualUnitTest, CountsInsideARescanTellTheListAsItStands) {
    auto controller = MakeController();
    TCountProbe probe;
    probe.Controller = controller.get();
    controller->SetOnRemoval(THidPlugEvent(&probe, &TCountProbe::Look));
    controller->SetOnArrival(THidPlugEvent(&probe, &TCountProbe::Look));
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);

    ASSERT_EQ(Unit().Unplug(0), 0);
    ASSERT_EQ(Unit().Plug(1), 0);
    controller->DeviceChange();
    // The removal sees the held unit unplugged; the arrival sees itself listed.
    EXPECT_EQ(probe.Seen, (std::vector<std::vector<int>>{{0, 0, 1}, {1, 0, 1}}));
}

TEST_F(VirtualUnitTest, ReleasingAVanishedDeviceTakesItOutOfTheList) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    UnplugAndRescan(0);
    ASSERT_EQ(controller->UnpluggedCount(), 1);
    PlugAndRescan(0);
    ASSERT_EQ(controller->DeviceCount(), 2); // the held object and the new arrival
    THidDevice* arrival = controller->DeviceAt(1);

    delete device;
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_EQ(controller->DeviceAt(0), arrival);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    EXPECT_EQ(controller->CheckedInCount(), 1);
}

TEST_F(VirtualUnitTest, CancelPendingReadNeedsAnOpenReadHandle) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    EXPECT_FALSE(held->CancelPendingRead());
    ASSERT_TRUE(held->OpenReadHandle());
    EXPECT_TRUE(held->CancelPendingRead());
    EXPECT_EQ(held->LastReadByteCount(), 0u);
}
