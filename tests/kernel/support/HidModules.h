#pragma once
// The two HID modules as the program sees them: loaded from the folder of the
// program file and resolved by export name.

#include "platform/win32/WinTypes.h"

#include <string>
#include <vector>

namespace kerneltest {

struct HidServices {
    void (*HidD_GetHidGuid)(GUID*) = nullptr;
    BOOLEAN (*HidD_GetAttributes)(HANDLE, HIDD_ATTRIBUTES*) = nullptr;
    BOOLEAN (*HidD_GetManufacturerString)(HANDLE, PVOID, ULONG) = nullptr;
    BOOLEAN (*HidD_GetProductString)(HANDLE, PVOID, ULONG) = nullptr;
    BOOLEAN (*HidD_GetSerialNumberString)(HANDLE, PVOID, ULONG) = nullptr;
    BOOLEAN (*HidD_GetPreparsedData)(HANDLE, PHIDP_PREPARSED_DATA*) = nullptr;
    BOOLEAN (*HidD_FreePreparsedData)(PHIDP_PREPARSED_DATA) = nullptr;
    NTSTATUS (*HidP_GetCaps)(PHIDP_PREPARSED_DATA, HIDP_CAPS*) = nullptr;
    BOOLEAN (*HidD_GetFeature)(HANDLE, PVOID, ULONG) = nullptr;
    BOOLEAN (*HidD_SetFeature)(HANDLE, PVOID, ULONG) = nullptr;
    BOOLEAN (*HidD_FlushQueue)(HANDLE) = nullptr;
};

struct SetupServices {
    HDEVINFO (*SetupDiGetClassDevsA)(const GUID*, PCSTR, HWND, DWORD) = nullptr;
    BOOL(*SetupDiEnumDeviceInterfaces)
    (HDEVINFO, SP_DEVINFO_DATA*, const GUID*, DWORD, SP_DEVICE_INTERFACE_DATA*) = nullptr;
    BOOL(*SetupDiGetDeviceInterfaceDetailA)
    (HDEVINFO, SP_DEVICE_INTERFACE_DATA*, SP_DEVICE_INTERFACE_DETAIL_DATA_A*, DWORD, DWORD*,
     SP_DEVINFO_DATA*) = nullptr;
    BOOL (*SetupDiDestroyDeviceInfoList)(HDEVINFO) = nullptr;
    int (*DevNodeNotifyOpen)() = nullptr;
    int (*DevNodeNotifyRead)(int) = nullptr;
    void (*DevNodeNotifyClose)(int) = nullptr;
};

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
