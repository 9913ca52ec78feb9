// The Linux HID modules against a real USB device: a configfs HID gadget on
// the dummy host controller, with the Tarvenik unit's USB strings.

#include "support/HidModules.h"
#include "support/UnitReport.h"
#include "support/UsbGadget.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;
// What the program reads the strings into.
constexpr size_t stringBufferBytes = 508;

GadgetIdentity unitIdentity() {
    return {0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0001"};
}

class GadgetModules : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(modules.loadBesideProgram(error)) << error;
        ASSERT_TRUE(gadget.plugIn(error)) << error;
        path = gadget.waitForHidraw(kernelTimeoutMs);
        ASSERT_FALSE(path.empty()) << "the USB device got no hidraw node";
    }

    const HidServices& hid() const { return modules.hid(); }

    std::u16string stringOf(BOOLEAN (*query)(HANDLE, PVOID, ULONG), HANDLE handle) {
        std::vector<uint8_t> buffer(stringBufferBytes, 0);
        errno = 0;
        if (!query(handle, buffer.data(), static_cast<ULONG>(buffer.size()))) {
            ADD_FAILURE() << "the string query failed, errno " << errno;
            return {};
        }
        return wideText(buffer);
    }

    HidModules modules;
    UsbGadget gadget{unitIdentity()};
    std::string path;
};

} // namespace

TEST_F(GadgetModules, ListsTheDeviceWithTheStringsOfTheUsbDevice) {
    std::vector<std::string> faults;
    const auto entries = modules.listInterfaces(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [&](const auto& entry) { return entry.path == path; }))
        << path << " is not listed";

    for (const int flags : {O_RDWR, O_PATH}) {
        SCOPED_TRACE(flags == O_PATH ? "query-only handle" : "read-write handle");
        DeviceHandle handle(path, flags);
        ASSERT_TRUE(handle.isOpen());
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        ASSERT_TRUE(hid().HidD_GetAttributes(handle.get(), &attributes));
        EXPECT_EQ(attributes.VendorID, unitIdentity().vendor);
        EXPECT_EQ(attributes.ProductID, unitIdentity().product);
        EXPECT_EQ(attributes.VersionNumber, unitIdentity().release);
        EXPECT_EQ(stringOf(hid().HidD_GetManufacturerString, handle.get()), u"Mirdal-vk");
        EXPECT_EQ(stringOf(hid().HidD_GetProductString, handle.get()), u"Tarvenik");
    }
}

TEST_F(GadgetModules, AShortStringBufferIsNeverWrittenPastItsLength) {
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());
    for (const auto query : {hid().HidD_GetManufacturerString, hid().HidD_GetProductString}) {
        for (const ULONG length : {0u, 1u, 6u, 17u}) {
            std::vector<uint8_t> buffer(64, 0xAA);
            query(handle.get(), buffer.data(), length);
            EXPECT_EQ(std::count(buffer.begin() + length, buffer.end(), 0xAA),
                      static_cast<long>(buffer.size() - length))
                << "a " << length << "-byte buffer was overrun";
        }
    }
}

TEST_F(GadgetModules, ASetFeatureReachesTheDeviceAsTheDataBytes) {
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());
    const auto sent = patternedReport(3);
    auto outgoing = sent;
    ASSERT_TRUE(hid().HidD_SetFeature(handle.get(), outgoing.data(), featureReportLength))
        << "errno " << errno;
    const auto received = gadget.readSetReport(kernelTimeoutMs);
    EXPECT_EQ(received, std::vector<uint8_t>(sent.begin() + 1, sent.end()));

    // This kernel's f_hid answers every get request with zeros; the framing
    // still puts report id 0 in front.
    std::vector<uint8_t> buffer(featureReportLength, 0xEE);
    buffer[0] = 0;
    ASSERT_TRUE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength))
        << "errno " << errno;
    EXPECT_EQ(buffer, std::vector<uint8_t>(featureReportLength, 0));
}

TEST_F(GadgetModules, UnpluggingTheDeviceIsNoticedAndItsHandleDies) {
    const int watch = modules.setup().DevNodeNotifyOpen();
    ASSERT_GE(watch, 0);
    DeviceHandle handle(path, O_RDWR);
    ASSERT_TRUE(handle.isOpen());

    gadget.unplug();
    EXPECT_GE(waitForNodeChanges(modules.setup(), watch, kernelTimeoutMs), 1);
    std::vector<uint8_t> buffer(featureReportLength, 0);
    errno = 0;
    EXPECT_FALSE(hid().HidD_GetFeature(handle.get(), buffer.data(), featureReportLength));
    EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    modules.setup().DevNodeNotifyClose(watch);
}
