// The virtual unit as a Windows program meets it: the module pair beside the test, each unit a
// named pipe opened with the system's CreateFile and read with ReadFileEx, and plugs and unplugs
// announced by the device-change broadcast, which reaches the controller through its hidden window.

#include "hid/HidControllerClass.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ServiceModules.h"
#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::VirtualUnit;

const unsigned char kInput[8] = {1, 2, 3, 4, 5, 6, 7, 0xFE};

// The pair's exports, loaded by full path as the program loads them.
struct TPair : testsupport::THidServices, testsupport::TSetupServices {
    TPair() {
        const std::string folder = platform::ProgramFolder();
        for (auto [module, name] : {std::pair{&setup, "\\setupsvc.dll"}, {&hid, "\\hidsvc.dll"}}) {
            const std::string file = folder + name;
            *module = LoadLibraryExW(std::wstring(file.begin(), file.end()).c_str(), nullptr,
                                     LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        std::string missing;
        testsupport::ResolveServices(hid, static_cast<testsupport::THidServices&>(*this), missing);
        testsupport::ResolveServices(setup, static_cast<testsupport::TSetupServices&>(*this),
                                     missing);
        complete = missing.empty();
    }

    // The device path of each plugged unit, in unit order.
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        GUID guid{};
        HidD_GetHidGuid(&guid);
        HDEVINFO set =
            SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data))
                break;
            std::vector<char> block(512);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(
                    set, &data, detail, static_cast<DWORD>(block.size()), nullptr, nullptr))
                paths.emplace_back(detail->DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    HMODULE hid = nullptr;
    HMODULE setup = nullptr;
    bool complete = false;
};

TPair& Pair() {
    static TPair pair;
    return pair;
}

struct THandle {
    explicit THandle(HANDLE value) : Value(value) {}
    ~THandle() {
        if (Value != INVALID_HANDLE_VALUE)
            CloseHandle(Value);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Value;
};

std::unique_ptr<THandle> Open(const std::string& path, DWORD access, DWORD flags = 0) {
    return std::make_unique<THandle>(CreateFileA(path.c_str(), access,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, flags, nullptr));
}

// One overlapped read as the program's read thread makes it, the completion taken in an
// alertable wait of this thread.
struct TRead {
    static void CALLBACK Completed(DWORD error, DWORD count, LPOVERLAPPED overlapped) {
        auto* read = reinterpret_cast<TRead*>(overlapped->hEvent);
        read->Done = true;
        read->Error = error;
        read->Count = count;
    }
    bool Start(HANDLE handle) {
        Overlapped = OVERLAPPED{};
        Overlapped.hEvent = this; // free for the caller's use with ReadFileEx
        return ReadFileEx(handle, Buffer, sizeof Buffer, &Overlapped, &TRead::Completed) != 0;
    }
    // Waits in alertable slices until the completion has run; false when it didn't come.
    bool Wait() {
        for (int slice = 0; slice < 100 && !Done; ++slice)
            SleepEx(20, TRUE);
        return Done;
    }
    OVERLAPPED Overlapped{};
    unsigned char Buffer[9] = {};
    bool Done = false;
    DWORD Error = 0;
    DWORD Count = 0;
};

class VirtualPipes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(VirtualUnit().complete()) << "the virtual pair is not beside the test";
        ASSERT_TRUE(Pair().complete);
        VirtualUnit().Reset();
    }
};

} // namespace

// The program holds a query handle, a read handle and its exchange thread's handle of one unit
// at once, and each reads every input report, as each handle of a HID device has its own queue.
TEST_F(VirtualPipes, EveryHandleOfAUnitOpensAndReadsEachInputReport) {
    const std::vector<std::string> paths = Pair().Paths();
    ASSERT_EQ(paths.size(), 1u);
    std::vector<std::unique_ptr<THandle>> handles;
    for (int i = 0; i < 6; ++i) {
        handles.push_back(Open(paths[0], GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED));
        ASSERT_NE(handles.back()->Value, INVALID_HANDLE_VALUE)
            << "handle " << i << ": " << GetLastError();
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    ASSERT_TRUE(Pair().HidD_GetAttributes(handles[0]->Value, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x16C0);

    std::vector<TRead> reads(handles.size());
    for (size_t i = 0; i < handles.size(); ++i)
        ASSERT_TRUE(reads[i].Start(handles[i]->Value));
    ASSERT_EQ(VirtualUnit().QueueInputReport(0, kInput), 0);
    for (TRead& read : reads) {
        ASSERT_TRUE(read.Wait());
        EXPECT_EQ(read.Error, 0u);
        ASSERT_EQ(read.Count, 9u);
        EXPECT_EQ(read.Buffer[0], 0);
        EXPECT_TRUE(std::equal(kInput, kInput + 8, read.Buffer + 1));
    }
}

// An unplug ends the read the program's thread has pending, and every call on a handle of the
// unit gone answers that the device is not connected, also once the unit is plugged in again.
TEST_F(VirtualPipes, AnUnplugEndsThePendingReadAndTheHandlesGoWithTheUnit) {
    const std::string path = Pair().Paths().at(0);
    const auto main = Open(path, GENERIC_READ | GENERIC_WRITE);
    const auto reader = Open(path, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(main->Value, INVALID_HANDLE_VALUE);
    ASSERT_NE(reader->Value, INVALID_HANDLE_VALUE);
    unsigned char report[252] = {};
    EXPECT_TRUE(Pair().HidD_GetFeature(main->Value, report, sizeof report));
    // Feature reports need the right to write, as on a real device.
    EXPECT_FALSE(Pair().HidD_GetFeature(reader->Value, report, sizeof report));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    TRead read;
    ASSERT_TRUE(read.Start(reader->Value));
    SleepEx(0, TRUE);
    EXPECT_FALSE(read.Done);
    ASSERT_EQ(VirtualUnit().Unplug(0), 0);
    ASSERT_TRUE(read.Wait()) << "the read outlived its device";
    EXPECT_NE(read.Error, 0u);
    EXPECT_EQ(read.Count, 0u);
    EXPECT_FALSE(read.Start(reader->Value));

    ASSERT_EQ(VirtualUnit().Plug(0), 0);
    ASSERT_NE(Pair().Paths().at(0), path);
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    EXPECT_FALSE(Pair().HidD_GetAttributes(main->Value, &attributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(Pair().HidD_GetFeature(main->Value, report, sizeof report));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    // A handle that was never a unit's is no device at all.
    EXPECT_FALSE(Pair().HidD_GetAttributes(GetStdHandle(STD_ERROR_HANDLE), &attributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

namespace {

struct TEvents {
    std::vector<std::string> Seen;
    std::vector<std::vector<uint8_t>> Reports;
    std::vector<uint32_t> Errors;
    void Arrival(THidDevice*) { Seen.push_back("arrival"); }
    void Unplug(THidDevice*) { Seen.push_back("unplug"); }
    void Data(THidDevice*, uint8_t, const uint8_t* data, uint16_t size) {
        Reports.emplace_back(data, data + size);
    }
    void DataError(THidDevice*, uint32_t error) { Errors.push_back(error); }
    // A device is open to the handler of its arrival.
    void Located(THidDevice* device) {
        Locations.push_back(device->GetLocationText().toStdString());
    }
    std::vector<std::string> Locations;
};

} // namespace

// Nothing but the broadcast tells the controller on Windows: without it a unit plugged in never
// shows and one pulled out stays listed.
TEST_F(VirtualPipes, TheControllerFollowsPlugAndUnplugThroughTheBroadcast) {
    THidDeviceController controller(nullptr);
    TEvents events;
    controller.SetOnArrival(THidPlugEvent(&events, &TEvents::Arrival));
    controller.SetOnDeviceUnplug(THidPlugEvent(&events, &TEvents::Unplug));
    testsupport::DeliverPosted();
    ASSERT_EQ(controller.DeviceCount(), 1);
    events.Seen.clear();

    ASSERT_EQ(VirtualUnit().Plug(2), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return controller.DeviceCount() == 2; }));
    EXPECT_EQ(events.Seen, std::vector<std::string>{"arrival"});

    ASSERT_EQ(VirtualUnit().Unplug(2), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return controller.DeviceCount() == 1; }));
}

// Windows' HID.dll has no location call: the port comes from the configuration manager, as the
// location of the interface node's parent, and stays with the port over an unplug and a plug.
TEST_F(VirtualPipes, EachUnitTellsItsPortThroughTheSetupServices) {
    THidDeviceController controller(nullptr);
    TEvents events;
    controller.SetOnArrival(THidPlugEvent(&events, &TEvents::Located));
    testsupport::DeliverPosted();
    ASSERT_EQ(VirtualUnit().Plug(2), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return controller.DeviceCount() == 2; }));
    EXPECT_EQ(events.Locations, (std::vector<std::string>{"virtual-1", "virtual-3"}));

    ASSERT_EQ(VirtualUnit().Unplug(2), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return controller.DeviceCount() == 1; }));
    ASSERT_EQ(VirtualUnit().Plug(2), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return controller.DeviceCount() == 2; }));
    EXPECT_EQ(events.Locations, (std::vector<std::string>{"virtual-1", "virtual-3", "virtual-3"}));
}

// The interface's own node has no location, and an unknown node is refused, as on Windows.
TEST_F(VirtualPipes, OnlyThePortNodeHasALocation) {
    auto getParent = reinterpret_cast<decltype(&::CM_Get_Parent)>(
        reinterpret_cast<void (*)()>(GetProcAddress(Pair().setup, "CM_Get_Parent")));
    auto property = reinterpret_cast<decltype(&::CM_Get_DevNode_Registry_PropertyW)>(
        reinterpret_cast<void (*)()>(
            GetProcAddress(Pair().setup, "CM_Get_DevNode_Registry_PropertyW")));
    ASSERT_NE(getParent, nullptr);
    ASSERT_NE(property, nullptr);
    THidDeviceController controller(nullptr);
    testsupport::DeliverPosted();
    ASSERT_EQ(controller.DeviceCount(), 1);
    const DEVINST node = controller.DeviceAt(0)->InterfaceInfo().InstanceHandle;
    ULONG type = 0;
    ULONG bytes = 0;
    EXPECT_EQ(property(node, CM_DRP_LOCATION_PATHS, &type, nullptr, &bytes, 0), CR_NO_SUCH_VALUE);
    DEVINST port = 0;
    ASSERT_EQ(getParent(&port, node, 0), CR_SUCCESS);
    bytes = 4; // too small: the size needed comes back
    wchar_t text[32] = {};
    EXPECT_EQ(property(port, CM_DRP_LOCATION_INFORMATION, &type, text, &bytes, 0), CR_BUFFER_SMALL);
    EXPECT_EQ(bytes, sizeof(L"Port_#0001.Hub_#0001"));
    bytes = sizeof text;
    ASSERT_EQ(property(port, CM_DRP_LOCATION_INFORMATION, &type, text, &bytes, 0), CR_SUCCESS);
    EXPECT_EQ(type, static_cast<ULONG>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"Port_#0001.Hub_#0001");
    EXPECT_EQ(getParent(&port, node + 1000, 0), CR_INVALID_DEVNODE);
}

// A device checked out and reading: its reports arrive (the demo's live traces), and when the
// unit goes its overlapped read ends, the unplug reaches its holder and the device can be
// given back without waiting on a read that would never end.
TEST_F(VirtualPipes, AReadingDeviceGetsItsReportsAndLetsGoWhenItsUnitGoes) {
    THidDeviceController controller(nullptr);
    TEvents events;
    controller.SetOnDeviceUnplug(THidPlugEvent(&events, &TEvents::Unplug));
    controller.SetOnDeviceData(THidDataEvent(&events, &TEvents::Data));
    controller.SetOnDeviceDataError(THidDataErrorEvent(&events, &TEvents::DataError));
    testsupport::DeliverPosted();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller.CheckOutAt(0, device));
    std::unique_ptr<THidDevice> held(device);
    ASSERT_NE(held->ReadThread(), nullptr);

    // The read thread opens its handle in its own time: the report is sent until one arrives.
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        if (events.Reports.empty())
            VirtualUnit().QueueInputReport(0, kInput);
        return !events.Reports.empty();
    }));
    EXPECT_EQ(events.Reports[0], std::vector<uint8_t>(kInput, kInput + 8));

    ASSERT_EQ(VirtualUnit().Unplug(0), 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !events.Seen.empty(); }));
    EXPECT_EQ(events.Seen, std::vector<std::string>{"unplug"});
    held.reset(); // stops the read thread: returns only once its read has ended
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
