#pragma once
// A USB HID device made with configfs on the dummy host controller, so the
// kernel enumerates it as a real USB device with real string descriptors. Its
// one function is f_hid without an OUT endpoint: feature reports the host sets
// are read from /dev/hidgN.

#include <cstdint>
#include <string>
#include <vector>

namespace kerneltest {

struct GadgetIdentity {
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t release = 0; // bcdDevice
    std::string manufacturer;
    std::string productName;
    std::string serial;
    // Which of the dummy host's device controllers (in name order) it is bound to; each gadget
    // plugged at once needs its own.
    int udc = 0;
};

class UsbGadget {
public:
    explicit UsbGadget(GadgetIdentity identity);
    ~UsbGadget();
    UsbGadget(const UsbGadget&) = delete;
    UsbGadget& operator=(const UsbGadget&) = delete;

    // Builds the gadget (first time) and binds it to its UDC: the
    // device appears on the dummy host's bus. False with a reason on failure.
    bool plugIn(std::string& error);
    // Unbinds it: the device leaves the bus, the gadget stays configured.
    void unplug();
    // Whether it is bound, so the device is on the bus.
    bool plugged() const { return bound_; }

    // /dev/hidrawN of the enumerated device once it exists, or empty after
    // `timeoutMs`.
    std::string waitForHidraw(int timeoutMs) const;

    // Reads one report the host set through the function's /dev/hidgN, waiting
    // at most `timeoutMs`. Empty when none came.
    std::vector<uint8_t> readSetReport(int timeoutMs);

    // /dev/hidgN of the gadget's HID function; it exists while the gadget is bound.
    std::string functionNode() const;

private:
    bool build(std::string& error);
    void teardown();

    GadgetIdentity identity_;
    std::string root_;
    bool built_ = false;
    bool bound_ = false;
    int hidg_ = -1;
};

} // namespace kerneltest
