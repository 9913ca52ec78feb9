// The virtual unit as the setup services list it: the scan, argument checks,
// plug and unplug, node-change notifications, handles.

#include "VirtualUnitFixture.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

using namespace testsupport;

namespace {

class VirtualSetup : public VirtualUnitTest {};

TEST_F(VirtualSetup, ListsThePluggedUnitWithSizeQueryAndDetail) {
    const auto list = listInterfaces(exports);
    ASSERT_EQ(list.size(), 1u);
    struct stat st {};
    ASSERT_EQ(stat(list[0].path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_NE(list[0].devInst, 0u);

    // The size the query answers is exactly what the path needs.
    GUID guid{};
    exports.HidD_GetHidGuid(&guid);
    HDEVINFO set = exports.SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    DWORD required = 0;
    EXPECT_FALSE(
        exports.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(errno, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required,
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + list[0].path.size() + 1);
    std::vector<char> block(required - 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof *detail;
    EXPECT_FALSE(exports.SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required - 1, nullptr,
                                                          nullptr));
    EXPECT_EQ(errno, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(exports.SetupDiDestroyDeviceInfoList(set));
}

TEST_F(VirtualSetup, RefusesRecordsOfAnotherSizeAndStaleSets) {
    GUID guid{};
    exports.HidD_GetHidGuid(&guid);
    HDEVINFO set = exports.SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28; // the 32-bit Windows size
    EXPECT_FALSE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    data.cbSize = sizeof data;
    ASSERT_TRUE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    SP_DEVINFO_DATA info{};
    info.cbSize = 28;
    DWORD required = 0;
    EXPECT_FALSE(
        exports.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &info));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    std::vector<char> block(256);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = 5; // the 32-bit Windows size
    EXPECT_FALSE(
        exports.SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 256, &required, nullptr));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(
        exports.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 256, &required, nullptr));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    SP_DEVICE_INTERFACE_DATA forged = data;
    forged.Reserved = 99;
    detail->cbSize = sizeof *detail;
    EXPECT_FALSE(
        exports.SetupDiGetDeviceInterfaceDetailA(set, &forged, detail, 256, &required, nullptr));
    EXPECT_EQ(errno, ERROR_INVALID_PARAMETER);

    EXPECT_TRUE(exports.SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(exports.SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
    EXPECT_FALSE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(errno, ERROR_INVALID_HANDLE);

    EXPECT_EQ(exports.SetupDiGetClassDevsA(nullptr, nullptr, nullptr, 0x12), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ERROR_INVALID_PARAMETER);

    // Another interface class lists nothing.
    GUID other = guid;
    other.Data1 ^= 1;
    set = exports.SetupDiGetClassDevsA(&other, nullptr, nullptr, 0x12);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(errno, ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(exports.SetupDiDestroyDeviceInfoList(set));
}

TEST_F(VirtualSetup, EveryPlugGivesAFreshNodeAndDevInst) {
    const auto first = listInterfaces(exports);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(control.Plug(0), -1);
    EXPECT_EQ(control.Plug(4), -1);
    EXPECT_EQ(control.Unplug(-1), -1);
    ASSERT_EQ(control.Plug(1), 0);
    const auto both = listInterfaces(exports);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_GT(both[1].devInst, both[0].devInst);
    EXPECT_NE(both[0].path, both[1].path);

    ASSERT_EQ(control.Unplug(0), 0);
    EXPECT_EQ(control.Unplug(0), -1);
    EXPECT_EQ(control.IsPlugged(0), 0);
    struct stat st {};
    EXPECT_NE(stat(first[0].path.c_str(), &st), 0) << "an unplugged node is removed";
    ASSERT_EQ(control.Plug(0), 0);
    const auto again = listInterfaces(exports);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_GT(again[0].devInst, both[1].devInst);

    // A set keeps the interfaces present when it was made.
    GUID guid{};
    exports.HidD_GetHidGuid(&guid);
    HDEVINFO set = exports.SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    control.Unplug(1);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 1, &data));
    exports.SetupDiDestroyDeviceInfoList(set);

    // Filtering by device: only the interface of that DevInst.
    set = exports.SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    info.DevInst = again[0].devInst;
    EXPECT_TRUE(exports.SetupDiEnumDeviceInterfaces(set, &info, &guid, 0, &data));
    EXPECT_FALSE(exports.SetupDiEnumDeviceInterfaces(set, &info, &guid, 1, &data));
    exports.SetupDiDestroyDeviceInfoList(set);
}

// The system announces one plug several times over.
constexpr int kPerChange = 3;

TEST_F(VirtualSetup, NotifierCountsNodeChanges) {
    const int fd = exports.DevNodeNotifyOpen();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), 0);

    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0);
    control.Plug(1);
    EXPECT_EQ(poll(&p, 1, 0), 1) << "a change makes the descriptor readable";
    control.Unplug(1);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), 2 * kPerChange);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), 0);

    control.Plug(0); // refused: nothing changes, nothing is raised
    control.SetStrings(0, "x", nullptr);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), 0);
    control.Reset();
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), kPerChange);

    // Every open notifier hears every change.
    const int second = exports.DevNodeNotifyOpen();
    control.Unplug(0);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), kPerChange);
    EXPECT_EQ(exports.DevNodeNotifyRead(second), kPerChange);
    exports.DevNodeNotifyClose(second);
    exports.DevNodeNotifyClose(fd);
}

TEST_F(VirtualSetup, NotifierLeavesForeignDescriptorsAlone) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_EQ(exports.DevNodeNotifyRead(pipeFds[0]), -1);
    exports.DevNodeNotifyClose(pipeFds[0]);
    EXPECT_EQ(write(pipeFds[1], "x", 1), 1) << "the read end must still be open";
    char c = 0;
    EXPECT_EQ(::read(pipeFds[0], &c, 1), 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST_F(VirtualSetup, HandlesOfUnpluggedUnitsAndForeignFilesFail) {
    const std::string path = unitPath();
    OpenNode node(path, O_RDWR);
    ASSERT_GE(node.fd(), 0);
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    EXPECT_TRUE(exports.HidD_GetAttributes(node.handle(), &attributes));

    control.Unplug(0);
    Report r{};
    EXPECT_FALSE(exports.HidD_GetFeature(node.handle(), r.data(), r.size()));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(exports.HidD_SetFeature(node.handle(), r.data(), r.size()));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(exports.HidD_GetAttributes(node.handle(), &attributes));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    uint16_t text[8];
    EXPECT_FALSE(exports.HidD_GetProductString(node.handle(), text, sizeof text));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);

    // Plugging in again does not revive an old handle.
    control.Plug(0);
    EXPECT_FALSE(exports.HidD_GetFeature(node.handle(), r.data(), r.size()));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);

    EXPECT_FALSE(exports.HidD_GetAttributes(INVALID_HANDLE_VALUE, &attributes));
    EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
    OpenNode foreign("/proc/self/exe", O_RDONLY);
    EXPECT_FALSE(exports.HidD_GetAttributes(foreign.handle(), &attributes));
    EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
}

TEST_F(VirtualSetup, InputReportsArriveWholeOnTheNode) {
    const std::string path = unitPath();
    OpenNode reader(path, O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader.fd(), 0);
    pollfd p{reader.fd(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0);

    const unsigned char first[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const unsigned char second[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(control.QueueInputReport(0, first), 0);
    ASSERT_EQ(control.QueueInputReport(0, second), 0);
    EXPECT_EQ(control.QueueInputReport(1, first), -1) << "unit 1 is not plugged";
    EXPECT_EQ(poll(&p, 1, 0), 1);
    unsigned char report[9] = {};
    ASSERT_EQ(::read(reader.fd(), report, sizeof report), 9);
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(std::memcmp(report + 1, first, 8), 0);

    OpenNode main(path, O_RDWR);
    EXPECT_TRUE(exports.HidD_FlushQueue(main.handle()));
    EXPECT_EQ(::read(reader.fd(), report, sizeof report), -1) << "the queue was flushed";

    control.QueueInputReport(0, first);
    control.Reset();
    control.Unplug(0);
    EXPECT_FALSE(exports.HidD_FlushQueue(main.handle()));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(VirtualSetup, AReaderLeftAloneOnAnUnpluggedNodeSeesItsEnd) {
    OpenNode reader(unitPath(), O_RDONLY | O_NONBLOCK);
    const unsigned char data[8] = {7};
    control.QueueInputReport(0, data);
    control.Unplug(0);
    unsigned char report[9];
    EXPECT_EQ(::read(reader.fd(), report, sizeof report), 0)
        << "queued reports vanish with the unit, and the read ends";
}

} // namespace
