#pragma once
// What sysfs tells about hidraw nodes: which are present, and for each the
// HID device behind it (ids, name, report descriptor) and, on USB, the USB
// device with its strings. Everything is read below a root folder ("/" on
// a running system), so it works the same on a fixture tree.

#include "platform/win32/WinTypes.h"

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hidmodules {

inline constexpr uint16_t kBusUsb = 0x0003;

struct HidrawDevice {
    std::string devicePath; // /dev/hidrawN, the path the program opens
    DWORD devInst = 0;      // number after the dot of the HID device's name
    uint16_t bus = 0;
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t version = 0; // bcdDevice of the USB device, 0 on other buses
    std::string hidName;
    std::string hidUniq;
    std::string hidPhys;
    std::string hidDir;                // sysfs folder of the HID device
    std::optional<std::string> usbDir; // sysfs folder of the USB device, on USB
};

class SysfsHid {
public:
    explicit SysfsHid(std::string root = "/");

    // The hidraw nodes present, in node-number order. Nodes whose HID device
    // cannot be made out are left out.
    std::vector<HidrawDevice> presentDevices() const;

    // The device behind a character device number, or the Windows error:
    // ERROR_DEVICE_NOT_CONNECTED for a hidraw number without a device (the
    // node went away), ERROR_INVALID_HANDLE for any other device.
    int deviceForNumber(dev_t rdev, HidrawDevice& out) const;

    // UTF-8 strings as the device gives them; none when it has no such string.
    // On buses other than USB the HID name stands in for the product string.
    std::optional<std::string> manufacturerString(const HidrawDevice& device) const;
    std::optional<std::string> productString(const HidrawDevice& device) const;
    std::optional<std::string> serialString(const HidrawDevice& device) const;
    // Where the device is attached: the USB device's port path ("1-1.4"), which stays the same
    // through a replug into the same port; off USB the HID device's phys text, if any.
    std::optional<std::string> locationString(const HidrawDevice& device) const;
    std::optional<std::vector<uint8_t>> reportDescriptor(const HidrawDevice& device) const;

    // Helpers with their own rules, public for the tests.
    static std::optional<DWORD> devInstFromHidName(const std::string& name);
    static bool parseHidId(const std::string& value, uint16_t& bus, uint16_t& vendor,
                           uint16_t& product);

private:
    std::optional<HidrawDevice> describe(const std::string& classDevice) const;
    std::optional<int> hidrawMajor() const;
    std::string path(const std::string& relative) const;

    std::string root_;
};

} // namespace hidmodules
