// The Linux HID modules against a unit played through uhid: listing,
// identity, capabilities, feature reports with their framing, and unplug and
// replug as the kernel reports them.

#include "support/HidModules.h"
#include "support/UhidUnit.h"
#include "support/UnitReport.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/uhid.h>
#include <memory>
#include <optional>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 10000;
constexpr uint16_t unitVendor = 0x7A5E;
constexpr uint16_t unitProduct = 0x0C01;
constexpr uint16_t unitVersion = 0x0213;

UhidIdentity unitIdentity(const std::string& uniq, uint16_t product = unitProduct) {
    return {unitVendor, product, unitVersion, "Mirdal-vk Tarvenik", uniq};
}

class UhidModules : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(modules.loadBesideProgram(error)) << error;
    }

    const HidServices& hid() const { return modules.hid(); }
    const SetupServices& setup() const { return modules.setup(); }

    // Plugs the unit in and answers its hidraw node.
    std::string plug(UhidUnit& unit) {
        std::string error;
        EXPECT_TRUE(unit.plugIn(error)) << error;
        const std::string node = unit.waitForHidraw(kernelTimeoutMs);
        EXPECT_FALSE(node.empty()) << "the kernel made no hidraw node for the unit";
        return node;
    }

    // The listed interface with this path; a fault of the walk fails the test.
    std::optional<InterfaceEntry> listed(const std::string& path) const {
        std::vector<std::string> faults;
        const auto entries = modules.listInterfaces(faults);
        for (const auto& fault : faults)
            ADD_FAILURE() << fault;
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const auto& entry) { return entry.path == path; });
        if (found == entries.end())
            return std::nullopt;
        return *found;
    }

    HidModules modules;
};

class NodeWatch {
public:
    explicit NodeWatch(const SetupServices& setup)
        : setup_(setup), fd_(setup.DevNodeNotifyOpen()) {}
    ~NodeWatch() {
        if (fd_ >= 0)
            setup_.DevNodeNotifyClose(fd_);
    }
    NodeWatch(const NodeWatch&) = delete;
    NodeWatch& operator=(const NodeWatch&) = delete;
    int fd() const { return fd_; }
    int waitForChanges() { return waitForNodeChanges(setup_, fd_, kernelTimeoutMs); }
    void drain() { drainNodeChanges(setup_, fd_, 300); }

private:
    const SetupServices& setup_;
    int fd_;
};

} // namespace

TEST_F(UhidModules, ListsEachUnitWithItsOwnPathIdentityAndInstance) {
    GUID guid{};
    hid().HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
    EXPECT_EQ(guid.Data2, 0xF16F);
    EXPECT_EQ(guid.Data3, 0x11CF);

    UhidUnit first(unitIdentity("unit-a"));
    UhidUnit second(unitIdentity("unit-b", unitProduct + 1));
    const std::string firstPath = plug(first);
    const std::string secondPath = plug(second);
    ASSERT_FALSE(firstPath.empty() || secondPath.empty());
    ASSERT_NE(firstPath, secondPath);

    const auto firstEntry = listed(firstPath);
    const auto secondEntry = listed(secondPath);
    ASSERT_TRUE(firstEntry) << firstPath << " is not listed";
    ASSERT_TRUE(secondEntry) << secondPath << " is not listed";
    EXPECT_NE(firstEntry->devInst, secondEntry->devInst);

    for (const auto& [path, product] :
         {std::pair{firstPath, unitProduct}, std::pair{secondPath, uint16_t(unitProduct + 1)}}) {
        SCOPED_TRACE(path);
        for (const int flags : {O_RDWR, O_PATH}) {
            DeviceHandle handle(path, flags);
            ASSERT_TRUE(handle.isOpen());
            HIDD_ATTRIBUTES attributes{};
            attributes.Size = sizeof attributes;
            ASSERT_TRUE(hid().HidD_GetAttributes(handle.get(), &attributes)) << "errno " << errno;
            EXPECT_EQ(attributes.VendorID, unitVendor);
            EXPECT_EQ(attributes.ProductID, product);
            // A uhid device's version reaches no file the module can read.
        }
    }
}

TEST_F(UhidModules, CapabilitiesComeFromTheReportDescriptorOnAnyHandle) {
    UhidUnit unit(unitIdentity("unit-caps"));
    const std::string path = plug(unit);
    ASSERT_FALSE(path.empty());
    for (const int flags : {O_RDWR, O_PATH}) {
        SCOPED_TRACE(flags == O_PATH ? "query-only handle" : "read-write handle");
        DeviceHandle handle(path, flags);
        ASSERT_TRUE(handle.isOpen());
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        ASSERT_TRUE(hid().HidD_GetPreparsedData(handle.get(), &preparsed)) << "errno " << errno;
        HIDP_CAPS caps{};
        EXPECT_EQ(hid().HidP_GetCaps(preparsed, &caps), HIDP_STATUS_SUCCESS);
        EXPECT_EQ(caps.FeatureReportByteLength, featureReportLength);
        EXPECT_EQ(caps.InputReportByteLength, inputDataLength + 1);
        EXPECT_EQ(caps.OutputReportByteLength, 0);
        EXPECT_TRUE(hid().HidD_FreePreparsedData(preparsed));
    }
}

TEST_F(UhidModules, FeatureReportsCarryTheIdInByteZeroAndTheDataIntact) {
    UhidUnit unit(unitIdentity("unit-reports"));
    const std::string path = plug(unit);
    ASSERT_FALSE(path.empty());
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());

    // Two reads: each brings the firmware's fresh reply, unchanged.
    for (int round = 0; round < 2; ++round) {
        std::vector<uint8_t> buffer(featureReportLength, 0xEE);
        buffer[0] = 0;
        ASSERT_TRUE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength))
            << "errno " << errno;
        EXPECT_EQ(buffer, unit.lastGetReply()) << "round " << round;
    }
    const auto requests = unit.getRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].number, 0);
    EXPECT_EQ(requests[0].type, UHID_FEATURE_REPORT);

    const auto sent = patternedReport(77);
    auto outgoing = sent;
    ASSERT_TRUE(hid().HidD_SetFeature(handle.get(), outgoing.data(), featureReportLength))
        << "errno " << errno;
    const auto received = unit.setRequests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, UHID_FEATURE_REPORT);
    EXPECT_EQ(received[0].number, 0);
    EXPECT_EQ(received[0].data.size(), featureReportLength);
    EXPECT_EQ(received[0].data, sent);
}

TEST_F(UhidModules, AFailedOrForbiddenReportIsNeverASuccess) {
    UhidUnit unit(unitIdentity("unit-refusing"));
    const std::string path = plug(unit);
    ASSERT_FALSE(path.empty());

    DeviceHandle queryOnly(path, O_PATH);
    std::vector<uint8_t> buffer(featureReportLength, 0);
    EXPECT_FALSE(hid().HidD_GetFeature(queryOnly.get(), buffer.data(), featureReportLength));
    EXPECT_FALSE(hid().HidD_SetFeature(queryOnly.get(), buffer.data(), featureReportLength));
    EXPECT_TRUE(unit.setRequests().empty());

    DeviceHandle handle(path, O_RDWR);
    unit.failGetRequests(EIO);
    EXPECT_FALSE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength));
    EXPECT_NE(errno, 0);
}

TEST_F(UhidModules, AShortReplyLeavesNothingOfTheCallersBufferInTheReport) {
    UhidUnit unit(unitIdentity("unit-short"));
    const std::string path = plug(unit);
    ASSERT_FALSE(path.empty());
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());

    unit.shortenGetReplies(100);
    std::vector<uint8_t> buffer(featureReportLength, 0xEE);
    buffer[0] = 0;
    ASSERT_TRUE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength))
        << "errno " << errno;
    const auto reply = unit.lastGetReply();
    ASSERT_EQ(reply.size(), 100u);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buffer.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 100, buffer.end(), [](uint8_t b) { return b == 0; }));

    // A report longer than one request can carry is refused, not cut short.
    std::vector<uint8_t> huge(1u << 14, 0);
    EXPECT_FALSE(hid().HidD_SetFeature(handle.get(), huge.data(), static_cast<ULONG>(huge.size())));
    EXPECT_EQ(errno, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(unit.setRequests().empty());
}

TEST_F(UhidModules, RefusesRecordsOfAnyOtherSize) {
    UhidUnit unit(unitIdentity("unit-records"));
    ASSERT_FALSE(plug(unit).empty());
    GUID guid{};
    hid().HidD_GetHidGuid(&guid);
    HDEVINFO set = setup().SetupDiGetClassDevsA(&guid, nullptr, nullptr,
                                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);

    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28; // the 32-bit Windows size
    errno = 0;
    EXPECT_FALSE(setup().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    data.cbSize = sizeof data;
    ASSERT_TRUE(setup().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    std::vector<DWORD> block(256, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    const DWORD size = static_cast<DWORD>(block.size() * sizeof(DWORD));
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    detail->cbSize = 5; // the 32-bit Windows size
    errno = 0;
    EXPECT_FALSE(
        setup().SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, &info));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    info.cbSize = 28;
    errno = 0;
    EXPECT_FALSE(
        setup().SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, &info));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);

    info.cbSize = sizeof info;
    EXPECT_TRUE(setup().SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, &info));
    EXPECT_TRUE(setup().SetupDiDestroyDeviceInfoList(set));
}

TEST_F(UhidModules, UnplugAndReplugAreNoticedAndTheOldHandleIsDead) {
    NodeWatch watch(setup());
    ASSERT_GE(watch.fd(), 0) << "DevNodeNotifyOpen failed";

    auto unit = std::make_unique<UhidUnit>(unitIdentity("unit-plug"));
    const std::string path = plug(*unit);
    ASSERT_FALSE(path.empty());
    EXPECT_GE(watch.waitForChanges(), 1) << "no node change when the unit appeared";
    watch.drain();
    const auto before = listed(path);
    ASSERT_TRUE(before);
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());
    std::vector<uint8_t> buffer(featureReportLength, 0);
    ASSERT_TRUE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength));

    unit->unplug();
    EXPECT_GE(watch.waitForChanges(), 1) << "no node change when the unit vanished";
    watch.drain();
    errno = 0;
    EXPECT_FALSE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    errno = 0;
    EXPECT_FALSE(hid().HidD_SetFeature(handle.get(), buffer.data(), featureReportLength));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(listed(path)) << "a vanished unit is still listed";
    unit.reset();

    UhidUnit again(unitIdentity("unit-plug"));
    const std::string newPath = plug(again);
    ASSERT_FALSE(newPath.empty());
    EXPECT_GE(watch.waitForChanges(), 1) << "no node change when the unit came back";
    const auto after = listed(newPath);
    ASSERT_TRUE(after);
    EXPECT_NE(after->devInst, before->devInst) << "the unit plugged in again kept its DevInst";
    errno = 0;
    EXPECT_FALSE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength))
        << "the handle of the unplugged unit reached the new one";
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
}
