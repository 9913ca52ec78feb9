// sysfs reading on fixture trees laid out as the kernel lays out /sys.

#include "platform/hidraw/SysfsHid.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using hidmodules::HidrawDevice;
using hidmodules::SysfsHid;

namespace {

// One tree for the suite: removing folders is slow on some disks. Tests that
// change a file put it back through ScopedFile.
class SysfsTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "sysfs-fixture-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        file("proc/devices", "Character devices:\n  1 mem\n  4 tty\n245 hidraw\n\n"
                             "Block devices:\n  8 sd\n");
        // A USB unit: USB device 1-1, interface 1-1:1.0, HID device, hidraw3.
        const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
        file(usb + "/idVendor", "16c0\n");
        file(usb + "/idProduct", "05df\n");
        file(usb + "/bcdDevice", "0104\n");
        file(usb + "/manufacturer", "Mirdal-vk\n");
        file(usb + "/product", "Tarvenik\n");
        usbHid = usb + "/1-1:1.0/0003:16C0:05DF.000A";
        file(usbHid + "/uevent", "DRIVER=hid-generic\nHID_ID=0003:000016C0:000005DF\n"
                                 "HID_NAME=Mirdal-vk Tarvenik\nHID_UNIQ=\n");
        file(usbHid + "/report_descriptor", std::string("\x06\x00\xFF\xA1\x01\xC0", 6));
        file(usbHid + "/hidraw/hidraw3/uevent", "MAJOR=245\nMINOR=3\nDEVNAME=hidraw3\n");
        link("sys/class/hidraw/hidraw3", "../../devices/pci0000:00/0000:00:14.0/usb1/1-1/"
                                         "1-1:1.0/0003:16C0:05DF.000A/hidraw/hidraw3");
        link("sys/dev/char/245:3", "../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/"
                                   "0003:16C0:05DF.000A/hidraw/hidraw3");
        // A Bluetooth mouse: no USB device above it.
        const std::string bt = "sys/devices/virtual/misc/uhid/0005:046D:B01A.0011";
        file(bt + "/uevent", "HID_ID=0005:0000046D:0000B01A\nHID_NAME=BT Mouse\n"
                             "HID_UNIQ=aa:bb:cc:dd:ee:ff\nHID_PHYS=hci0\n");
        file(bt + "/hidraw/hidraw10/uevent", "MAJOR=245\nMINOR=10\nDEVNAME=hidraw10\n");
        link("sys/class/hidraw/hidraw10",
             "../../devices/virtual/misc/uhid/0005:046D:B01A.0011/hidraw/hidraw10");
        // Entries that are not HID devices as expected.
        file("sys/devices/virtual/broken/hidraw/hidraw7/uevent", "DEVNAME=hidraw7\n");
        link("sys/class/hidraw/hidraw7", "../../devices/virtual/broken/hidraw/hidraw7");
        file("sys/class/hidraw/hidrawX/uevent", "");
        file("sys/devices/virtual/tty/tty1/uevent", "MAJOR=4\nMINOR=1\nDEVNAME=tty1\n");
        link("sys/dev/char/4:1", "../../devices/virtual/tty/tty1");
    }
    static void TearDownTestSuite() { fs::remove_all(root); }

    static void file(const std::string& relative, const std::string& content) {
        const fs::path p = fs::path(root) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    static void link(const std::string& relative, const std::string& target) {
        const fs::path p = fs::path(root) / relative;
        fs::create_directories(p.parent_path());
        fs::create_directory_symlink(target, p);
    }

    // Gives a file other content for the rest of the scope.
    class ScopedFile {
    public:
        ScopedFile(const std::string& relative, const std::string& content) : relative_(relative) {
            std::ifstream in(fs::path(root) / relative, std::ios::binary);
            old_.assign(std::istreambuf_iterator<char>(in), {});
            file(relative, content);
        }
        ~ScopedFile() { file(relative_, old_); }
        ScopedFile(const ScopedFile&) = delete;
        ScopedFile& operator=(const ScopedFile&) = delete;

    private:
        std::string relative_;
        std::string old_;
    };

    inline static std::string root;
    inline static std::string usbHid;
};

TEST_F(SysfsTree, ListsHidrawNodesInNumberOrderWithTheirHidDevice) {
    const auto devices = SysfsHid(root).presentDevices();
    ASSERT_EQ(devices.size(), 2u) << "hidraw7 and hidrawX are no HID devices";
    const HidrawDevice& usb = devices[0];
    EXPECT_EQ(usb.devicePath, "/dev/hidraw3");
    EXPECT_EQ(usb.devInst, 10u) << "0003:16C0:05DF.000A";
    EXPECT_EQ(usb.bus, 3);
    EXPECT_EQ(usb.vendor, 0x16C0);
    EXPECT_EQ(usb.product, 0x05DF);
    EXPECT_EQ(usb.version, 0x0104) << "bcdDevice of the USB device";
    ASSERT_TRUE(usb.usbDir.has_value());
    EXPECT_EQ(fs::path(*usb.usbDir).filename(), "1-1");

    const HidrawDevice& bt = devices[1];
    EXPECT_EQ(bt.devicePath, "/dev/hidraw10");
    EXPECT_EQ(bt.devInst, 0x11u);
    EXPECT_EQ(bt.bus, 5);
    EXPECT_EQ(bt.version, 0);
    EXPECT_FALSE(bt.usbDir.has_value());
}

TEST_F(SysfsTree, StringsComeFromTheUsbDeviceOrTheHidDevice) {
    const SysfsHid sysfs(root);
    const auto devices = sysfs.presentDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(sysfs.manufacturerString(devices[0]), "Mirdal-vk");
    EXPECT_EQ(sysfs.productString(devices[0]), "Tarvenik") << "the USB string, not HID_NAME";
    EXPECT_FALSE(sysfs.serialString(devices[0]).has_value()) << "no serial, empty HID_UNIQ";
    const auto descriptor = sysfs.reportDescriptor(devices[0]);
    ASSERT_TRUE(descriptor.has_value());
    EXPECT_EQ(descriptor->size(), 6u);
    EXPECT_EQ((*descriptor)[2], 0xFF);

    EXPECT_FALSE(sysfs.manufacturerString(devices[1]).has_value());
    EXPECT_EQ(sysfs.productString(devices[1]), "BT Mouse");
    EXPECT_EQ(sysfs.serialString(devices[1]), "aa:bb:cc:dd:ee:ff");
    EXPECT_FALSE(sysfs.reportDescriptor(devices[1]).has_value());

    // Where a unit sits: the USB port path, which a replug into the same port keeps (the HID
    // device's number changes); off USB the HID device's phys.
    EXPECT_EQ(sysfs.locationString(devices[0]), "1-1");
    EXPECT_EQ(sysfs.locationString(devices[1]), "hci0");

    // Strings may be UTF-8 and keep inner spaces; only the line end goes.
    const ScopedFile utf8("sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/manufacturer",
                          "Мирдал  вк\n");
    EXPECT_EQ(sysfs.manufacturerString(devices[0]), "Мирдал  вк");
}

TEST_F(SysfsTree, FindsTheDeviceBehindADeviceNumber) {
    const SysfsHid sysfs(root);
    HidrawDevice device;
    ASSERT_EQ(sysfs.deviceForNumber(makedev(245, 3), device), ERROR_SUCCESS);
    EXPECT_EQ(device.devicePath, "/dev/hidraw3");
    EXPECT_EQ(device.vendor, 0x16C0);
    EXPECT_EQ(sysfs.deviceForNumber(makedev(245, 99), device), ERROR_DEVICE_NOT_CONNECTED)
        << "a hidraw number whose device is gone";
    EXPECT_EQ(sysfs.deviceForNumber(makedev(4, 1), device), ERROR_INVALID_HANDLE) << "a tty";
    EXPECT_EQ(sysfs.deviceForNumber(makedev(1, 3), device), ERROR_INVALID_HANDLE);

    // Without hidraw in /proc/devices no number counts as a vanished node.
    const ScopedFile noHidraw("proc/devices", "Character devices:\n  1 mem\n");
    EXPECT_EQ(sysfs.deviceForNumber(makedev(245, 99), device), ERROR_INVALID_HANDLE);
}

TEST_F(SysfsTree, OddNamesAndIdsAreRefusedOrKeptInside) {
    // A DEVNAME that would climb out of /dev is not used.
    {
        const ScopedFile climbing(usbHid + "/hidraw/hidraw3/uevent", "DEVNAME=../etc/passwd\n");
        const auto devices = SysfsHid(root).presentDevices();
        ASSERT_FALSE(devices.empty());
        EXPECT_EQ(devices[0].devicePath, "/dev/hidraw3");
    }
    // A device name holding a line end can't replace the kernel's own ids and bus, which come
    // first in the file.
    {
        const ScopedFile smuggled("sys/devices/virtual/misc/uhid/0005:046D:B01A.0011/uevent",
                                  "HID_ID=0005:0000046D:0000B01A\nHID_NAME=BT Mouse\n"
                                  "HID_ID=0003:000016C0:000005DF\nHID_UNIQ=aa\n");
        const auto devices = SysfsHid(root).presentDevices();
        ASSERT_EQ(devices.size(), 2u);
        EXPECT_EQ(devices[1].bus, 5);
        EXPECT_EQ(devices[1].vendor, 0x046D);
        EXPECT_EQ(devices[1].product, 0xB01A);
        EXPECT_EQ(devices[1].hidName, "BT Mouse");
    }
    const ScopedFile shortId(usbHid + "/uevent", "HID_ID=0003:1234\n");
    EXPECT_EQ(SysfsHid(root).presentDevices().size(), 1u) << "a HID_ID without product";

    EXPECT_TRUE(SysfsHid(root + "/nowhere").presentDevices().empty());
}

TEST(SysfsNames, DevInstAndHidIdParsing) {
    EXPECT_EQ(SysfsHid::devInstFromHidName("0003:16C0:05DF.000A"), 10u);
    EXPECT_EQ(SysfsHid::devInstFromHidName("0005:046D:B01A.FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_FALSE(SysfsHid::devInstFromHidName("0003:16C0:05DF"));
    EXPECT_FALSE(SysfsHid::devInstFromHidName("0003:16C0:05DF."));
    EXPECT_FALSE(SysfsHid::devInstFromHidName("0003:16C0:05DF.00G1"));
    EXPECT_FALSE(SysfsHid::devInstFromHidName("0003:16C0:05DF.100000000"));

    uint16_t bus = 0, vendor = 0, product = 0;
    EXPECT_TRUE(SysfsHid::parseHidId("0003:000016C0:000005DF", bus, vendor, product));
    EXPECT_EQ(vendor, 0x16C0);
    EXPECT_EQ(product, 0x05DF);
    EXPECT_FALSE(SysfsHid::parseHidId("0003:000116C0:000005DF", bus, vendor, product));
    EXPECT_FALSE(SysfsHid::parseHidId("0003::000005DF", bus, vendor, product));
    EXPECT_FALSE(SysfsHid::parseHidId("0003:16C0:05DF:", bus, vendor, product));
    EXPECT_FALSE(SysfsHid::parseHidId("", bus, vendor, product));
}

} // namespace
