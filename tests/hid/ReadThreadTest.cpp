// The read thread against the virtual unit: deliveries on the
// user-interface thread, stopping, cancellation, a vanished device.

#include "VirtualUnitFixture.h"

#include "platform/win32/FileIo.h"

#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

struct TDataProbe {
    THidDeviceController* Controller = nullptr;
    std::vector<std::vector<uint8_t>> Reports;
    std::vector<uint8_t> ReportIDs;
    std::vector<uint32_t> Errors;
    std::vector<Clock::time_point> ErrorTimes;
    bool OnOwnThread = true;
    bool ClearHandlerInside = false;
    THidDevice* DeleteInside = nullptr;
    // A device its holder has given back, and the calls that still named it.
    THidDevice* Released = nullptr;
    int CallsAfterRelease = 0;

    void Data(THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data, uint16_t Size) {
        if (HidDev == Released)
            ++CallsAfterRelease;
        OnOwnThread = OnOwnThread && QThread::currentThread() == HidDev->thread();
        ReportIDs.push_back(ReportID);
        Reports.emplace_back(Data, Data + Size);
        if (ClearHandlerInside)
            Controller->SetOnDeviceData(THidDataEvent());
        if (DeleteInside == HidDev) {
            DeleteInside = nullptr;
            delete HidDev;
        }
    }
    void DataError(THidDevice* HidDev, uint32_t Error) {
        if (HidDev == Released)
            ++CallsAfterRelease;
        Errors.push_back(Error);
        ErrorTimes.push_back(Clock::now());
    }
    // A second handler method, for devices that don't follow the controller.
    void OwnData(THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data, uint16_t Size) {
        this->Data(HidDev, ReportID, Data, Size);
    }
};

const unsigned char kInput[8] = {1, 2, 3, 4, 5, 6, 7, 0xFE};

// Waits, without serving deliveries, until the thread has started a read
// that is still pending.
bool ReadIsPending(THidDevice& device) {
    if (device.ReadHandle() == INVALID_HANDLE_VALUE)
        return false;
    return device.LastReadByteCount() == 0 && GetLastError() == ERROR_IO_INCOMPLETE;
}

// Waits, without running the event loop, until the thread has read a report
// of `bytes` bytes and blocks in its delivery.
bool ThreadBlocksInDelivery(THidDevice& device, DWORD bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (device.ReadThread()->ByteCount() == 0 && Clock::now() < deadline)
        QThread::yieldCurrentThread();
    return device.ReadThread()->ByteCount() == bytes;
}

} // namespace

class ReadThreadTest : public VirtualUnitTest {
protected:
    // A controller whose devices report data, and unit 0 checked out.
    void SetUpHeld() {
        controller_ = MakeController();
        probe_.Controller = controller_.get();
        controller_->SetOnDeviceData(THidDataEvent(&probe_, &TDataProbe::Data));
        controller_->SetOnDeviceDataError(THidDataErrorEvent(&probe_, &TDataProbe::DataError));
        controller_->SetDevThreadSleepTime(10);
        THidDevice* device = nullptr;
        ASSERT_TRUE(controller_->CheckOutAt(0, device));
        held_.reset(device);
        // A report reaches a handle open when it comes: each HID handle has its own queue on
        // Windows (the FIFO node on Linux keeps it for a later reader anyway).
        ASSERT_TRUE(hidtest::PumpUntil([&] { return ReadIsPending(*held_); }));
    }

    TDataProbe probe_;
    std::unique_ptr<THidDeviceController> controller_;
    std::unique_ptr<THidDevice> held_;
};

TEST_F(ReadThreadTest, NoThreadWithoutADataHandlerOrACheckOut) {
    auto controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    EXPECT_EQ(held->ReadThread(), nullptr);

    PlugAndRescan(1);
    controller->SetOnDeviceData(THidDataEvent(&probe_, &TDataProbe::Data));
    EXPECT_NE(held->ReadThread(), nullptr);
    EXPECT_EQ(controller->DeviceAt(1)->ReadThread(), nullptr); // checked in
}

TEST_F(ReadThreadTest, ReportsReachTheHandlerOnTheDevicesThreadAsIdAndData) {
    SetUpHeld();
    ASSERT_NE(held_->ReadThread(), nullptr);
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return probe_.Reports.size() == 1; }));
    EXPECT_EQ(probe_.ReportIDs[0], 0);
    EXPECT_EQ(probe_.Reports[0], std::vector<uint8_t>(kInput, kInput + 8));
    EXPECT_TRUE(probe_.OnOwnThread);
    EXPECT_EQ(held_->ReadThread()->ByteCount(), 9u);

    const unsigned char next[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(Unit().QueueInputReport(0, next), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return probe_.Reports.size() == 2; }));
    EXPECT_EQ(probe_.Reports[1], std::vector<uint8_t>(next, next + 8));
    EXPECT_TRUE(probe_.Errors.empty());
}

TEST_F(ReadThreadTest, StoppingCancelsThePendingRead) {
    SetUpHeld();
    ASSERT_TRUE(hidtest::PumpUntil([&] { return ReadIsPending(*held_); }));

    controller_->SetOnDeviceData(THidDataEvent());
    EXPECT_EQ(held_->ReadThread(), nullptr);
    EXPECT_EQ(held_->LastReadByteCount(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

TEST_F(ReadThreadTest, StoppingServesADeliveryThatIsWaiting) {
    SetUpHeld();
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    // No event loop here: the thread reads and then blocks in its delivery.
    ASSERT_TRUE(ThreadBlocksInDelivery(*held_, 9));

    held_->SetDataHandler(THidDataEvent());
    EXPECT_EQ(held_->ReadThread(), nullptr);
    ASSERT_EQ(probe_.Reports.size(), 1u);
    EXPECT_EQ(probe_.Reports[0], std::vector<uint8_t>(kInput, kInput + 8));
}

TEST_F(ReadThreadTest, ClearingTheControllersHandlerStopsOnlyThreadsThatFollowIt) {
    SetUpHeld();
    PlugAndRescan(1);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller_->CheckOutAt(1, device));
    std::unique_ptr<THidDevice> own(device);
    own->SetReadSleepTime(10);
    own->SetDataHandler(THidDataEvent(&probe_, &TDataProbe::OwnData));
    ASSERT_NE(own->ReadThread(), nullptr);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return ReadIsPending(*own); }));

    controller_->SetOnDeviceData(THidDataEvent());
    EXPECT_EQ(held_->ReadThread(), nullptr);
    EXPECT_FALSE(held_->DataHandler().assigned());
    ASSERT_NE(own->ReadThread(), nullptr);

    ASSERT_EQ(Unit().QueueInputReport(1, kInput), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return probe_.Reports.size() == 1; }));
}

TEST_F(ReadThreadTest, AHandlerMayStopTheThreadFromInsideADelivery) {
    SetUpHeld();
    probe_.ClearHandlerInside = true;
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return held_->ReadThread() == nullptr; }));
    EXPECT_EQ(probe_.Reports.size(), 1u);
}

TEST_F(ReadThreadTest, AHandlerMayReleaseItsDeviceFromInsideADelivery) {
    SetUpHeld();
    probe_.DeleteInside = held_.release();
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    ASSERT_TRUE(hidtest::PumpUntil([&] { return probe_.DeleteInside == nullptr; }));
    // The released device came back as a checked-in twin without a thread.
    ASSERT_EQ(controller_->DeviceCount(), 1);
    EXPECT_FALSE(controller_->DeviceAt(0)->CheckedOut());
    EXPECT_EQ(controller_->DeviceAt(0)->ReadThread(), nullptr);
    EXPECT_EQ(probe_.Reports.size(), 1u);
}

TEST_F(ReadThreadTest, AHandlerMayReleaseItsDeviceWhileTheThreadIsBeingStopped) {
    SetUpHeld();
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    ASSERT_TRUE(ThreadBlocksInDelivery(*held_, 9));
    QPointer<THidDevice> device = held_.get();
    probe_.DeleteInside = held_.release();

    // Stopping serves the waiting delivery, whose handler releases the device.
    controller_->SetOnDeviceData(THidDataEvent());
    EXPECT_TRUE(device.isNull());
    EXPECT_EQ(probe_.Reports.size(), 1u);
    ASSERT_EQ(controller_->DeviceCount(), 1);
    EXPECT_FALSE(controller_->DeviceAt(0)->CheckedOut());
    EXPECT_EQ(controller_->DeviceAt(0)->ReadThread(), nullptr);
}

TEST_F(ReadThreadTest, AVanishedDeviceReportsErrorsOneSliceApart) {
    SetUpHeld();
    ASSERT_EQ(held_->ReadSleepTime(), 10);
    UnplugAndRescan(0);
    ASSERT_FALSE(held_->Attached());
    ASSERT_NE(held_->ReadThread(), nullptr); // still running, as the holder keeps it

    // Between the unplug and the rescan that notices it, a read may fail for
    // reasons of the node itself (it is gone from the file system). Once the
    // device is known to be gone, every pass fails as not connected.
    const auto notConnected = static_cast<uint32_t>(ERROR_DEVICE_NOT_CONNECTED);
    const auto& errors = probe_.Errors;
    ASSERT_TRUE(hidtest::PumpUntil(
        [&] { return std::count(errors.begin(), errors.end(), notConnected) >= 4; }));
    const auto first = static_cast<std::size_t>(
        std::find(errors.begin(), errors.end(), notConnected) - errors.begin());
    for (std::size_t i = first; i < errors.size(); ++i)
        EXPECT_EQ(errors[i], notConnected) << "error " << i;
    // Three waits of at least one 10 ms slice between four errors.
    const auto span = probe_.ErrorTimes[first + 3] - probe_.ErrorTimes[first];
    EXPECT_GE(span, std::chrono::milliseconds(30));

    held_.reset(); // stops the thread
}

TEST_F(ReadThreadTest, ReleasingTheDeviceDropsTheDeliveryItsThreadWaitsWith) {
    SetUpHeld();
    ASSERT_EQ(Unit().QueueInputReport(0, kInput), 0);
    ASSERT_TRUE(ThreadBlocksInDelivery(*held_, 9));

    // The holder gives the device back while the thread waits for the report
    // to be taken. No handler may see the device after that: its destruction
    // has begun, and a handler that released it again would destroy it twice.
    probe_.Released = held_.get();
    held_.reset();
    EXPECT_EQ(probe_.CallsAfterRelease, 0);
    ASSERT_EQ(controller_->DeviceCount(), 1);
    EXPECT_EQ(controller_->DeviceAt(0)->ReadThread(), nullptr);
    hidtest::DeliverPosted(); // the serve the thread asked for finds nothing
    EXPECT_EQ(probe_.CallsAfterRelease, 0);
    EXPECT_TRUE(probe_.Reports.empty());
}

TEST_F(ReadThreadTest, AHeldDeviceUnpluggedByTheControllersEndKeepsNoReadHandle) {
    // The controller's end unplugs a held device whose node is still there. A
    // read thread woken by the closing of its handle tries to open it again
    // at once; that must fail from the close on. The retry is played by a
    // thread that does nothing else, so it is waiting for the handle while
    // the close runs.
    for (int round = 0; round < 8; ++round) {
        auto controller = MakeController();
        THidDevice* device = nullptr;
        ASSERT_TRUE(controller->CheckOutAt(0, device));
        std::unique_ptr<THidDevice> held(device);
        ASSERT_TRUE(held->OpenReadHandle());

        std::atomic<bool> stop{false};
        std::atomic<int> tries{0};
        std::thread retry([&] {
            while (!stop) {
                held->OpenReadHandle();
                ++tries;
            }
        });
        // Unplugged while the retry is running, not waiting for a core.
        const int before = tries;
        while (tries < before + 10)
            std::this_thread::yield();
        controller.reset();
        stop = true;
        retry.join();

        ASSERT_FALSE(held->Attached());
        ASSERT_EQ(held->ReadHandle(), INVALID_HANDLE_VALUE) << "round " << round;
    }
}
