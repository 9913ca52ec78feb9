#pragma once
// The two HID modules as the program sees them: loaded from the folder of the
// program file and resolved by export name.

#include "tests/support/ServiceModules.h"

#include <string>
#include <vector>

namespace kerneltest {

using HidServices = testsupport::THidServices;
using SetupServices = testsupport::TSetupServices;

// One HID device interface as the setup module lists it.
struct InterfaceEntry {
    std::string path;
    DWORD devInst = 0;
};

class HidModules {
public:
    HidModules() = default;
    ~HidModules();
    HidModules(const HidModules&) = delete;
    HidModules& operator=(const HidModules&) = delete;

    // Loads libhidsvc.so and libsetupsvc.so from the folder of this program
    // file and resolves every export. On failure says why in `error`.
    bool loadBesideProgram(std::string& error);

    const HidServices& hid() const { return hid_; }
    const SetupServices& setup() const { return setup_; }

    // Walks the present HID interfaces the way the program does (class set,
    // size query, detail). Every departure from the module contract on the way
    // is added to `faults`.
    std::vector<InterfaceEntry> listInterfaces(std::vector<std::string>& faults) const;

private:
    void* hidLibrary_ = nullptr;
    void* setupLibrary_ = nullptr;
    HidServices hid_;
    SetupServices setup_;
};

// A device handle as CreateFileA would give it: an open(2) descriptor.
class DeviceHandle {
public:
    DeviceHandle() = default;
    DeviceHandle(const std::string& path, int flags);
    ~DeviceHandle();
    DeviceHandle(DeviceHandle&& other) noexcept;
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    HANDLE get() const;

private:
    int fd_ = -1;
};

// Waits up to `timeoutMs` for the node-change descriptor to become readable and
// consumes what is pending then. Answers the changes DevNodeNotifyRead
// reported, 0 when nothing arrived in time, -1 on a failed read.
int waitForNodeChanges(const SetupServices& setup, int fd, int timeoutMs);

// Consumes node changes until none has arrived for `quietMs`.
void drainNodeChanges(const SetupServices& setup, int fd, int quietMs);

// UTF-16LE text of a string buffer, up to its first NUL.
std::u16string wideText(const std::vector<uint8_t>& buffer);

} // namespace kerneltest
