#include "platform/hidraw/SysfsHid.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace hidmodules {

namespace {

// sysfs attribute files are small; a report descriptor is at most 4 KiB.
constexpr size_t kMaxAttributeSize = 64 * 1024;
constexpr int kMaxParentHops = 16;

std::optional<std::string> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data(kMaxAttributeSize, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (in.bad())
        return std::nullopt;
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

// A text attribute without its line end.
std::optional<std::string> readAttribute(const fs::path& file) {
    auto text = readFile(file);
    if (text && !text->empty() && text->back() == '\n')
        text->pop_back();
    return text;
}

std::map<std::string, std::string> readUevent(const fs::path& dir) {
    std::map<std::string, std::string> values;
    const auto text = readFile(dir / "uevent");
    if (!text)
        return values;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        // The first occurrence of a key is the kernel's own: a device name holding a line end
        // must not smuggle in a second HID_ID or DEVNAME.
        if (eq != std::string::npos)
            values.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return values;
}

template <typename T> bool parseHex(std::string_view text, T& out) {
    if (text.empty())
        return false;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out, 16);
    return ec == std::errc{} && ptr == end;
}

std::optional<unsigned> hidrawNumber(const std::string& name) {
    constexpr std::string_view prefix = "hidraw";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    unsigned n = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [ptr, ec] = std::from_chars(first, last, n);
    if (ec != std::errc{} || ptr != last)
        return std::nullopt;
    return n;
}

} // namespace

// Built whole rather than assigned "/" afterwards: g++ 12 at -O3 inlines that assignment into
// std::string::assign and then warns of an overlapping copy that cannot happen (-Wrestrict).
SysfsHid::SysfsHid(std::string root) : root_(root.empty() ? std::string("/") : std::move(root)) {}

std::string SysfsHid::path(const std::string& relative) const {
    return (fs::path(root_) / relative).string();
}

std::optional<DWORD> SysfsHid::devInstFromHidName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const std::string_view digits(name.data() + dot + 1, name.size() - dot - 1);
    DWORD value = 0;
    if (digits.size() > 8 || !parseHex(digits, value))
        return std::nullopt;
    return value;
}

bool SysfsHid::parseHidId(const std::string& value, uint16_t& bus, uint16_t& vendor,
                          uint16_t& product) {
    // BUS:VENDOR:PRODUCT in hex, e.g. 0003:000016C0:000005DF.
    const auto first = value.find(':');
    const auto second = value.find(':', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return false;
    uint32_t b = 0, v = 0, p = 0;
    if (!parseHex(std::string_view(value).substr(0, first), b) ||
        !parseHex(std::string_view(value).substr(first + 1, second - first - 1), v) ||
        !parseHex(std::string_view(value).substr(second + 1), p))
        return false;
    if (b > 0xFFFF || v > 0xFFFF || p > 0xFFFF)
        return false;
    bus = static_cast<uint16_t>(b);
    vendor = static_cast<uint16_t>(v);
    product = static_cast<uint16_t>(p);
    return true;
}

std::optional<HidrawDevice> SysfsHid::describe(const std::string& classDevice) const {
    std::error_code ec;
    const fs::path node = fs::canonical(classDevice, ec);
    if (ec || node.parent_path().filename() != "hidraw")
        return std::nullopt;
    const auto number = hidrawNumber(node.filename().string());
    if (!number)
        return std::nullopt;

    HidrawDevice device;
    const fs::path hidDir = node.parent_path().parent_path();
    const auto devInst = devInstFromHidName(hidDir.filename().string());
    if (!devInst)
        return std::nullopt;
    device.devInst = *devInst;
    device.hidDir = hidDir.string();

    const auto hid = readUevent(hidDir);
    const auto id = hid.find("HID_ID");
    if (id == hid.end() || !parseHidId(id->second, device.bus, device.vendor, device.product))
        return std::nullopt;
    if (const auto name = hid.find("HID_NAME"); name != hid.end())
        device.hidName = name->second;
    if (const auto uniq = hid.find("HID_UNIQ"); uniq != hid.end())
        device.hidUniq = uniq->second;
    if (const auto phys = hid.find("HID_PHYS"); phys != hid.end())
        device.hidPhys = phys->second;

    // The node name udev gives it; a name that would leave /dev is not taken.
    std::string devName = node.filename().string();
    const auto nodeEvent = readUevent(node);
    if (const auto name = nodeEvent.find("DEVNAME"); name != nodeEvent.end() &&
                                                     !name->second.empty() &&
                                                     name->second.find("..") == std::string::npos)
        devName = name->second;
    device.devicePath = "/dev/" + devName;

    if (device.bus == kBusUsb) {
        const fs::path top = fs::path(root_) / "sys" / "devices";
        fs::path dir = hidDir.parent_path();
        for (int hop = 0; hop < kMaxParentHops && dir.has_relative_path() && dir != top;
             ++hop, dir = dir.parent_path()) {
            if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "bcdDevice", ec)) {
                device.usbDir = dir.string();
                const auto bcd = readAttribute(dir / "bcdDevice");
                uint16_t version = 0;
                if (bcd && parseHex(*bcd, version))
                    device.version = version;
                break;
            }
        }
    }
    return device;
}

std::vector<HidrawDevice> SysfsHid::presentDevices() const {
    std::vector<std::pair<unsigned, HidrawDevice>> found;
    std::error_code ec;
    for (fs::directory_iterator it(path("sys/class/hidraw"), ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto number = hidrawNumber(it->path().filename().string());
        if (!number)
            continue;
        if (auto device = describe(it->path().string()))
            found.emplace_back(*number, std::move(*device));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<HidrawDevice> devices;
    for (auto& entry : found)
        devices.push_back(std::move(entry.second));
    return devices;
}

std::optional<int> SysfsHid::hidrawMajor() const {
    const auto text = readFile(path("proc/devices"));
    if (!text)
        return std::nullopt;
    std::istringstream lines(*text);
    std::string line;
    bool character = false;
    while (std::getline(lines, line)) {
        if (line.rfind("Character devices", 0) == 0) {
            character = true;
            continue;
        }
        if (line.rfind("Block devices", 0) == 0)
            break;
        std::istringstream fields(line);
        int major = -1;
        std::string name;
        if (character && (fields >> major >> name) && name == "hidraw")
            return major;
    }
    return std::nullopt;
}

int SysfsHid::deviceForNumber(dev_t rdev, HidrawDevice& out) const {
    const std::string entry =
        path("sys/dev/char/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev)));
    std::error_code ec;
    if (!fs::exists(entry, ec)) {
        const auto hidraw = hidrawMajor();
        return hidraw && static_cast<unsigned>(*hidraw) == major(rdev) ? ERROR_DEVICE_NOT_CONNECTED
                                                                       : ERROR_INVALID_HANDLE;
    }
    auto device = describe(entry);
    if (!device)
        return ERROR_INVALID_HANDLE;
    out = std::move(*device);
    return ERROR_SUCCESS;
}

std::optional<std::string> SysfsHid::manufacturerString(const HidrawDevice& device) const {
    if (!device.usbDir)
        return std::nullopt;
    return readAttribute(fs::path(*device.usbDir) / "manufacturer");
}

std::optional<std::string> SysfsHid::productString(const HidrawDevice& device) const {
    if (!device.usbDir)
        return device.hidName.empty() ? std::nullopt : std::optional(device.hidName);
    return readAttribute(fs::path(*device.usbDir) / "product");
}

std::optional<std::string> SysfsHid::serialString(const HidrawDevice& device) const {
    if (device.usbDir)
        if (auto serial = readAttribute(fs::path(*device.usbDir) / "serial"))
            return serial;
    return device.hidUniq.empty() ? std::nullopt : std::optional(device.hidUniq);
}

std::optional<std::string> SysfsHid::locationString(const HidrawDevice& device) const {
    if (device.usbDir)
        return fs::path(*device.usbDir).filename().string();
    return device.hidPhys.empty() ? std::nullopt : std::optional(device.hidPhys);
}

std::optional<std::vector<uint8_t>> SysfsHid::reportDescriptor(const HidrawDevice& device) const {
    const auto bytes = readFile(fs::path(device.hidDir) / "report_descriptor");
    if (!bytes)
        return std::nullopt;
    return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

} // namespace hidmodules
