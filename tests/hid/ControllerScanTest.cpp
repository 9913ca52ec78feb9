// The controller against the virtual unit: scans and their events, counts,
// enumeration, check-out, unplug while held, destruction.

#include "VirtualUnitFixture.h"

#include "hid/HidNotifyWindow.h"
#include "hid/SetupApi.h"

#include <QPointer>

using hidtest::DeliverPosted;
using hidtest::TEventRecorder;

namespace {

std::string Tag(const char* kind, THidDevice* device) {
    return TEventRecorder::Tag(kind, device);
}

// Rescans by the controller's own message path, as a notification would.
void NotifyNodesChanged(THidDeviceController& controller) {
    controller.NotifyWindow()->SendMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

} // namespace

TEST_F(VirtualUnitTest, FirstScanWaitsForThePostedMessageAndReportsInOrder) {
    ASSERT_EQ(Unit().Unplug(0), 0);
    THidDeviceController controller(nullptr);
    Recorder.Attach(controller);
    controller.SetOnDeviceChange(TNotifyEvent(&Recorder, &TEventRecorder::Change));
    ASSERT_EQ(Unit().Plug(0), 0);

    EXPECT_EQ(controller.DeviceCount(), 0);
    EXPECT_EQ(controller.EnumerateDevices(), 0);
    EXPECT_TRUE(Recorder.Events.empty());

    DeliverPosted();
    ASSERT_EQ(controller.DeviceCount(), 1);
    THidDevice* device = controller.DeviceAt(0);
    EXPECT_EQ(Recorder.Events, (std::vector<std::string>{Tag("arrival", device), "change"}));
    EXPECT_TRUE(device->Attached());
    EXPECT_FALSE(device->CheckedOut());
    EXPECT_EQ(controller.CheckedInCount(), 1);
}

TEST_F(VirtualUnitTest, FirstScanReportsAChangeEvenWithNoDeviceAndLaterQuietScansReportNothing) {
    ASSERT_EQ(Unit().Unplug(0), 0);
    THidDeviceController controller(nullptr);
    Recorder.Attach(controller);
    controller.SetOnDeviceChange(TNotifyEvent(&Recorder, &TEventRecorder::Change));
    DeliverPosted();
    EXPECT_EQ(Recorder.Events, (std::vector<std::string>{"change"}));
    EXPECT_EQ(controller.LastChangeParam(), -1);

    NotifyNodesChanged(controller);
    EXPECT_EQ(controller.LastChangeParam(), 0);
    EXPECT_EQ(Recorder.Events.size(), 1u);
}

TEST_F(VirtualUnitTest, VanishedDevicesGoFromTheEndThenArrivalsThenOneChange) {
    auto controller = MakeController();
    PlugAndRescan(1);
    ASSERT_EQ(controller->DeviceCount(), 2);
    QPointer<THidDevice> first = controller->DeviceAt(0);
    QPointer<THidDevice> second = controller->DeviceAt(1);
    const uint32_t firstInstance = first->InterfaceInfo().InstanceHandle;
    const uint32_t secondInstance = second->InterfaceInfo().InstanceHandle;
    const std::vector<std::string> expectedGone{Tag("unplug", second), Tag("removal", second),
                                                Tag("unplug", first), Tag("removal", first)};
    Recorder.Events.clear();

    // All three node changes before the event loop runs: one rescan.
    ASSERT_EQ(Unit().Unplug(0), 0);
    ASSERT_EQ(Unit().Unplug(1), 0);
    ASSERT_EQ(Unit().Plug(1), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return !Recorder.Events.empty(); }));

    ASSERT_EQ(controller->DeviceCount(), 1);
    THidDevice* arrived = controller->DeviceAt(0);
    std::vector<std::string> expected = expectedGone;
    expected.push_back(Tag("arrival", arrived));
    expected.push_back("change");
    EXPECT_EQ(Recorder.Events, expected);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
    // Plugged again, unit 1 is a new device node.
    EXPECT_NE(arrived->InterfaceInfo().InstanceHandle, firstInstance);
    EXPECT_NE(arrived->InterfaceInfo().InstanceHandle, secondInstance);
    EXPECT_EQ(controller->CheckedInCount(), 1);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
}

TEST_F(VirtualUnitTest, ARescanKeepsTheObjectsOfDevicesStillPresent) {
    auto controller = MakeController();
    THidDevice* before = controller->DeviceAt(0);
    NotifyNodesChanged(*controller);
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_EQ(controller->DeviceAt(0), before);
    EXPECT_TRUE(Recorder.Events.empty());
}

namespace {

struct TReentryProbe {
    THidDeviceController* Controller = nullptr;
    bool SawRescanRunning = false;
    void Arrival(THidDevice*) {
        SawRescanRunning = Controller->RescanRunning();
        NotifyNodesChanged(*Controller);
    }
};

} // namespace

TEST_F(VirtualUnitTest, ANodeChangeDuringARescanIsOnlyPassedOn) {
    THidDeviceController controller(nullptr);
    TReentryProbe probe{&controller};
    controller.SetOnArrival(THidPlugEvent(&probe, &TReentryProbe::Arrival));
    DeliverPosted();
    EXPECT_TRUE(probe.SawRescanRunning);
    EXPECT_EQ(controller.LastChangeParam(), -1); // the nested message changed nothing
    EXPECT_FALSE(controller.RescanRunning());
    EXPECT_EQ(controller.DeviceCount(), 1);
}

namespace {

struct TAnnouncedChanges {
    std::vector<LPARAM> Seen;
    LRESULT Handle(UINT Msg, WPARAM wParam, LPARAM lParam) {
        if (Msg == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED)
            Seen.push_back(lParam);
        return 0;
    }
};

} // namespace

// One plug is announced several times: the announcements in a row give one run of the handler,
// from the event loop, and one after that run gives another.
TEST(NotifyWindowAnnouncements, SeveralNodeChangesInARowReachTheHandlerOnce) {
    TAnnouncedChanges changes;
    THidNotifyWindow window(TWindowProc(&changes, &TAnnouncedChanges::Handle));
    for (int i = 0; i < 3; ++i)
        window.Announce(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, i);
    EXPECT_TRUE(changes.Seen.empty());
    DeliverPosted();
    EXPECT_EQ(changes.Seen, std::vector<LPARAM>{0});
    window.Announce(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 7);
    DeliverPosted();
    EXPECT_EQ(changes.Seen, (std::vector<LPARAM>{0, 7}));
}

TEST_F(VirtualUnitTest, CheckOutLendsADeviceOnceAndRefusesBadIndices) {
    auto controller = MakeController();
    PlugAndRescan(1);
    EXPECT_EQ(controller->CheckedInCount(), 2);
    EXPECT_EQ(controller->CheckedOutCount(), 0);

    THidDevice* device = controller->DeviceAt(0); // anything but null
    EXPECT_FALSE(controller->CheckOutAt(-1, device));
    EXPECT_EQ(device, nullptr);
    device = controller->DeviceAt(0);
    EXPECT_FALSE(controller->CheckOutAt(2, device));
    EXPECT_EQ(device, nullptr);

    ASSERT_TRUE(controller->CheckOutAt(1, device));
    std::unique_ptr<THidDevice> held(device);
    EXPECT_EQ(held.get(), controller->DeviceAt(1));
    EXPECT_TRUE(held->CheckedOut());
    EXPECT_EQ(held->parent(), nullptr);
    EXPECT_EQ(controller->CheckedInCount(), 1);
    EXPECT_EQ(controller->CheckedOutCount(), 1);

    THidDevice* again = controller->DeviceAt(0);
    EXPECT_FALSE(controller->CheckOutAt(1, again));
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(controller->CheckedOutCount(), 1);
}

TEST_F(VirtualUnitTest, AHeldDeviceThatVanishesStaysListedUntilItsHolderLetsGo) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    unsigned char report[252] = {};
    ASSERT_TRUE(held->GetFeatureReport(report, sizeof report));

    UnplugAndRescan(0);
    EXPECT_EQ(Recorder.Events,
              (std::vector<std::string>{Tag("unplug", device), Tag("removal", device), "change"}));
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_FALSE(held->Attached());
    EXPECT_TRUE(held->CheckedOut());
    EXPECT_EQ(held->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(controller->CheckedInCount(), 0);
    EXPECT_EQ(controller->CheckedOutCount(), 0);
    EXPECT_EQ(controller->UnpluggedCount(), 1);
    EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));
    EXPECT_FALSE(held->SetFeatureReport(report, sizeof report));
    EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));

    // Every later rescan passes it again: OnRemoval and a change, no unplug.
    Recorder.Events.clear();
    NotifyNodesChanged(*controller);
    EXPECT_EQ(Recorder.Events, (std::vector<std::string>{Tag("removal", device), "change"}));

    held.reset();
    EXPECT_EQ(controller->DeviceCount(), 0);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
}

TEST_F(VirtualUnitTest, EnumerationCountsTheDeviceThatStopsIt) {
    auto controller = MakeController();
    PlugAndRescan(1);

    Recorder.StopAfter = 1;
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(Recorder.EnumeratedIdx, (std::vector<int>{0}));

    Recorder.StopAfter = -1;
    Recorder.EnumeratedIdx.clear();
    EXPECT_EQ(controller->EnumerateDevices(), 2);
    EXPECT_EQ(Recorder.EnumeratedIdx, (std::vector<int>{0, 1}));

    controller->SetOnEnumerate(THidEnumerateEvent());
    EXPECT_EQ(controller->EnumerateDevices(), 1);
}

TEST_F(VirtualUnitTest, EnumerationSkipsVanishedEntriesButKeepsListIndices) {
    auto controller = MakeController();
    PlugAndRescan(1);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    UnplugAndRescan(0);

    EXPECT_EQ(controller->EnumerateDevices(), 1);
    ASSERT_EQ(Recorder.Enumerated.size(), 1u);
    EXPECT_EQ(Recorder.Enumerated[0], controller->DeviceAt(1));
    EXPECT_EQ(Recorder.EnumeratedIdx[0], 1);

    UnplugAndRescan(1);
    controller->SetOnEnumerate(THidEnumerateEvent());
    EXPECT_EQ(controller->EnumerateDevices(), 0);
}

namespace {

struct THandleProbe {
    THidDeviceController* Controller = nullptr;
    THidDevice* Held = nullptr;
    bool Opened = true;
    bool Enumerate(THidDevice* HidDev, int Idx) {
        Opened = Opened && HidDev->OpenMainHandle() && HidDev->OpenReadHandle();
        if (Idx == 1)
            Controller->CheckOutAt(Idx, Held);
        return true;
    }
};

} // namespace

TEST_F(VirtualUnitTest, EnumerationClosesTheHandlesOfDevicesNotCheckedOut) {
    auto controller = MakeController();
    PlugAndRescan(1);
    THidDevice* outside = controller->DeviceAt(0);
    EXPECT_FALSE(outside->OpenMainHandle()); // outside a callback
    EXPECT_FALSE(outside->OpenReadHandle());

    THandleProbe probe{controller.get()};
    controller->SetOnEnumerate(THidEnumerateEvent(&probe, &THandleProbe::Enumerate));
    EXPECT_EQ(controller->EnumerateDevices(), 2);
    std::unique_ptr<THidDevice> held(probe.Held);

    EXPECT_TRUE(probe.Opened);
    EXPECT_EQ(outside->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(outside->ReadHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(outside->InCallback());
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_NE(held->ReadHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(VirtualUnitTest, DestroyingTheControllerLeavesHeldDevicesClosedWithTheirHolders) {
    auto controller = MakeController();
    PlugAndRescan(1);
    QPointer<THidDevice> listed = controller->DeviceAt(0);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(1, device));
    std::unique_ptr<THidDevice> held(device);
    unsigned char report[252] = {};
    ASSERT_TRUE(held->GetFeatureReport(report, sizeof report));
    Recorder.Events.clear();

    controller.reset();
    EXPECT_TRUE(listed.isNull());
    EXPECT_EQ(held->Controller(), nullptr);
    EXPECT_FALSE(held->Attached());
    EXPECT_EQ(held->MainHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Recorder.Events, (std::vector<std::string>{Tag("unplug", device)}));
    EXPECT_EQ(SetupApi::SetupApiUseCount(), 0);
    EXPECT_FALSE(held->GetFeatureReport(report, sizeof report));
    held.reset(); // after the controller and its services: must not touch either
}

namespace {

struct TReleaseAll {
    std::vector<THidDevice*> Held;
    int Calls = 0;
    void Unplug(THidDevice*) {
        ++Calls;
        for (THidDevice* device : Held)
            delete device;
        Held.clear();
    }
};

} // namespace

TEST_F(VirtualUnitTest, AnUnplugHandlerMayReleaseEveryHeldDeviceAsTheControllerEnds) {
    auto controller = MakeController();
    PlugAndRescan(1);
    TReleaseAll holder;
    controller->SetOnDeviceUnplug(THidPlugEvent(&holder, &TReleaseAll::Unplug));
    for (int Idx : {0, 1}) {
        THidDevice* device = nullptr;
        ASSERT_TRUE(controller->CheckOutAt(Idx, device));
        holder.Held.push_back(device);
    }
    const QPointer<THidDevice> first = holder.Held[0];
    const QPointer<THidDevice> second = holder.Held[1];

    controller.reset();
    EXPECT_EQ(holder.Calls, 1); // the first unplug released both
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
}

TEST_F(VirtualUnitTest, DevThreadSleepTimeReachesOnlyDevicesThatFollowIt) {
    auto controller = MakeController();
    PlugAndRescan(1);
    THidDevice* follower = controller->DeviceAt(0);
    THidDevice* own = controller->DeviceAt(1);
    own->SetReadSleepTime(50);

    controller->SetDevThreadSleepTime(10);
    EXPECT_EQ(controller->DevThreadSleepTime(), 10);
    EXPECT_EQ(follower->ReadSleepTime(), 10);
    EXPECT_EQ(own->ReadSleepTime(), 50);

    controller->SetDevThreadSleepTime(5); // stored, but no device takes it
    EXPECT_EQ(controller->DevThreadSleepTime(), 5);
    EXPECT_EQ(follower->ReadSleepTime(), 10);

    UnplugAndRescan(1);
    PlugAndRescan(1);
    EXPECT_EQ(controller->DeviceAt(1)->ReadSleepTime(), 100);
}

namespace {

struct TOtherHandlers {
    int Changes = 0;
    std::vector<THidDevice*> Unplugged;
    std::vector<uint32_t> Errors;
    void Change(void*) { ++Changes; }
    void Unplug(THidDevice* HidDev) { Unplugged.push_back(HidDev); }
    void DataError(THidDevice*, uint32_t Error) { Errors.push_back(Error); }
};

struct TOwnHandler {
    void Unplug(THidDevice*) {}
};

} // namespace

TEST_F(VirtualUnitTest, HandlerSettersReachOnlyDevicesWithTheControllersHandler) {
    auto controller = MakeController();
    PlugAndRescan(1);
    TOtherHandlers other;
    THidDevice* follower = controller->DeviceAt(0);
    THidDevice* own = controller->DeviceAt(1);
    TOwnHandler mine;
    own->SetUnplugHandler(THidPlugEvent(&mine, &TOwnHandler::Unplug));

    controller->SetOnDeviceUnplug(THidPlugEvent(&other, &TOtherHandlers::Unplug));
    EXPECT_EQ(follower->UnplugHandler().object(), &other);
    EXPECT_EQ(own->UnplugHandler().object(), &mine);
    // The same method on another object counts as the same handler.
    TOtherHandlers another;
    controller->SetOnDeviceUnplug(THidPlugEvent(&another, &TOtherHandlers::Unplug));
    EXPECT_EQ(follower->UnplugHandler().object(), &other);

    controller->SetOnDeviceDataError(THidDataErrorEvent(&other, &TOtherHandlers::DataError));
    EXPECT_TRUE(follower->DataErrorHandler().assigned());
    EXPECT_TRUE(own->DataErrorHandler().assigned());

    // The same method on another object is no change: no rescan.
    const int before = Recorder.Changes;
    TEventRecorder third;
    controller->SetOnDeviceChange(TNotifyEvent(&third, &TEventRecorder::Change));
    EXPECT_EQ(Recorder.Changes, before);
    EXPECT_EQ(third.Changes, 0);
    // Another method is: it rescans at once, before any notification.
    ASSERT_EQ(Unit().Unplug(1), 0);
    controller->SetOnDeviceChange(TNotifyEvent(&other, &TOtherHandlers::Change));
    EXPECT_EQ(other.Changes, 1);
    EXPECT_EQ(controller->DeviceCount(), 1);
}

TEST_F(VirtualUnitTest, VersionIgnoresWrites) {
    auto controller = MakeController();
    EXPECT_EQ(controller->Version(), QStringLiteral("1.0.35"));
    controller->SetVersion(QStringLiteral("2.0"));
    EXPECT_EQ(controller->Version(), QStringLiteral("1.0.35"));
}

// The virtual pair announces a plug several times over, as Windows does: the notify window's
// handler (the controller's rescan, which opens every HID device) runs once for them all.
TEST_F(VirtualUnitTest, APlugAnnouncedSeveralTimesRunsTheHandlerOnce) {
    struct TCount {
        int Runs = 0;
        LRESULT Handle(UINT msg, WPARAM wParam, LPARAM) {
            Runs += msg == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED;
            return 0;
        }
    } count;
    auto controller = MakeController(); // the services loaded
    THidNotifyWindow window(TWindowProc(&count, &TCount::Handle));
    DeliverPosted(); // the reset's announcements, before the window was made
    QCoreApplication::processEvents();
    count.Runs = 0;
    ASSERT_EQ(Unit().Plug(2), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return count.Runs > 0; }));
    for (int turn = 0; turn < 5; ++turn) {
        QCoreApplication::processEvents();
        DeliverPosted();
    }
    EXPECT_EQ(count.Runs, 1);
}
