// The kernel side of the USB gadget, without the HID modules: the dummy host
// enumerates it as a USB device with its strings, and a feature report set
// through hidraw arrives at the gadget. When these fail the kernel or the
// harness is at fault, not the modules.

#include "support/UsbGadget.h"
#include "support/Sysfs.h"
#include "support/UnitReport.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kerneltest;

TEST(UsbGadget, EnumeratesWithItsStringsAndTakesFeatureReports) {
    UsbGadget gadget({0x1209, 0x7A51, 0x0100, "Mirdal-vk", "Tarvenik", "0002"});
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    const std::string node = gadget.waitForHidraw(15000);
    ASSERT_FALSE(node.empty()) << "the USB device got no hidraw node (is usbhid loaded?)";

    // hidrawN -> HID device -> USB interface -> USB device, which holds the strings.
    const auto hidDevice = std::filesystem::canonical(
        "/sys/class/hidraw" / std::filesystem::path(node).filename() / "device");
    const auto usbDevice = hidDevice.parent_path().parent_path();
    EXPECT_EQ(readText(usbDevice / "manufacturer"), "Mirdal-vk\n");
    EXPECT_EQ(readText(usbDevice / "product"), "Tarvenik\n");

    const int hidraw = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(hidraw, 0);
    const auto sent = patternedReport(9);
    auto outgoing = sent;
    EXPECT_EQ(ioctl(hidraw, HIDIOCSFEATURE(featureReportLength), outgoing.data()),
              static_cast<int>(featureReportLength));
    EXPECT_EQ(gadget.readSetReport(15000), std::vector<uint8_t>(sent.begin() + 1, sent.end()));

    gadget.unplug();
    EXPECT_TRUE(waitUntil(15000, [&] { return !std::filesystem::exists(node); }));
    std::vector<uint8_t> buffer(featureReportLength, 0);
    EXPECT_EQ(ioctl(hidraw, HIDIOCGFEATURE(featureReportLength), buffer.data()), -1);
    EXPECT_EQ(errno, ENODEV);
    ::close(hidraw);
}
