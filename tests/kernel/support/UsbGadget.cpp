#include "UsbGadget.h"

#include "Sysfs.h"
#include "UnitReport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kerneltest {

namespace fs = std::filesystem;

namespace {

constexpr const char* gadgetFolder = "/sys/kernel/config/usb_gadget/tarvenik";
constexpr const char* functionName = "functions/hid.unit";
constexpr const char* configName = "configs/c.1";

std::string hex4(uint16_t value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "0x%04x", value);
    return text.data();
}

std::string udcNumber(int index) {
    std::error_code error;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("/sys/class/udc", error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return index >= 0 && static_cast<std::size_t>(index) < names.size()
               ? names[static_cast<std::size_t>(index)]
               : std::string();
}

} // namespace

UsbGadget::UsbGadget(GadgetIdentity identity)
    : identity_(std::move(identity)),
      root_(gadgetFolder + (identity_.udc == 0 ? std::string() : std::to_string(identity_.udc))) {}

UsbGadget::~UsbGadget() {
    if (hidg_ >= 0)
        ::close(hidg_);
    unplug();
    teardown();
}

bool UsbGadget::build(std::string& error) {
    const std::string function = root_ + "/" + functionName;
    const std::string config = root_ + "/" + configName;
    const std::string descriptor(unitReportDescriptor().begin(), unitReportDescriptor().end());
    struct Step {
        std::string path;
        std::string value; // empty: a folder to make
    };
    const std::vector<Step> steps = {
        {root_, ""},
        {root_ + "/idVendor", hex4(identity_.vendor)},
        {root_ + "/idProduct", hex4(identity_.product)},
        {root_ + "/bcdDevice", hex4(identity_.release)},
        {root_ + "/bcdUSB", "0x0200"},
        {root_ + "/strings/0x409", ""},
        {root_ + "/strings/0x409/manufacturer", identity_.manufacturer},
        {root_ + "/strings/0x409/product", identity_.productName},
        {root_ + "/strings/0x409/serialnumber", identity_.serial},
        {function, ""},
        {function + "/protocol", "0"},
        {function + "/subclass", "0"},
        // f_hid answers a get request with report_length zero bytes at most;
        // the unit answers with the whole feature report.
        {function + "/report_length", std::to_string(featureDataLength)},
        {function + "/no_out_endpoint", "1"},
        {function + "/report_desc", descriptor},
        {config, ""},
        {config + "/MaxPower", "100"},
    };
    built_ = true;
    for (const auto& step : steps) {
        const bool done = step.value.empty() ? ::mkdir(step.path.c_str(), 0755) == 0
                                             : writeText(step.path, step.value);
        if (!done) {
            error = "cannot set up " + step.path + ": " + std::strerror(errno);
            return false;
        }
    }
    const std::string link = config + "/hid.unit";
    if (::symlink(function.c_str(), link.c_str()) != 0) {
        error =
            "cannot link the function into the configuration: " + std::string(std::strerror(errno));
        return false;
    }
    return true;
}

bool UsbGadget::plugIn(std::string& error) {
    if (!built_ && !build(error))
        return false;
    const std::string udc = udcNumber(identity_.udc);
    if (udc.empty()) {
        error = "no USB device controller number " + std::to_string(identity_.udc) +
                " (is dummy_hcd loaded with num=2?)";
        return false;
    }
    if (!writeText(root_ + "/UDC", udc)) {
        error = "cannot bind the gadget to " + udc + ": " + std::strerror(errno);
        return false;
    }
    bound_ = true;
    return true;
}

void UsbGadget::unplug() {
    if (bound_ && writeText(root_ + "/UDC", "\n"))
        bound_ = false;
}

void UsbGadget::teardown() {
    if (!built_)
        return;
    // configfs wants the tree taken apart in the reverse order of its making.
    ::unlink((root_ + "/" + configName + "/hid.unit").c_str());
    for (const std::string& folder : {std::string(configName), std::string(functionName),
                                      std::string("strings/0x409"), std::string()})
        ::rmdir((root_ + "/" + folder).c_str());
    built_ = false;
}

std::string UsbGadget::waitForHidraw(int timeoutMs) const {
    std::array<char, 64> line{};
    std::snprintf(line.data(), line.size(), "HID_ID=0003:0000%04X:0000%04X", identity_.vendor,
                  identity_.product);
    std::string node;
    waitUntil(timeoutMs, [&] {
        node = hidrawNodeFor(line.data());
        return !node.empty();
    });
    return node;
}

std::string UsbGadget::functionNode() const {
    // "major:minor" of the function's character device; devtmpfs names it hidgN.
    const std::string dev = readText(root_ + "/" + functionName + "/dev");
    const auto colon = dev.find(':');
    if (colon == std::string::npos)
        return {};
    return "/dev/hidg" + std::to_string(std::stoi(dev.substr(colon + 1)));
}

std::vector<uint8_t> UsbGadget::readSetReport(int timeoutMs) {
    if (hidg_ < 0)
        hidg_ = ::open(functionNode().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (hidg_ < 0)
        return {};
    pollfd watch{hidg_, POLLIN, 0};
    if (::poll(&watch, 1, timeoutMs) <= 0)
        return {};
    std::vector<uint8_t> report(4096);
    const ssize_t got = ::read(hidg_, report.data(), report.size());
    report.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return report;
}

} // namespace kerneltest
