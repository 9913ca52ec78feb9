#pragma once
// Control of the virtual units, exported by the virtual setup module
// (libsetupsvc.so on Linux, setupsvc.dll on Windows): plug
// and unplug them, change what they answer, queue input reports and read the
// log of feature reports. Tests and the demo steer the virtual units with it.
//
// Units 0 to 3. At load unit 0 is plugged in, the others are not (with
// TARVENIK_VIRTUAL_UNITS=N in the environment, units 0 to N-1 are); all carry the
// product string "Tarvenik" and the manufacturer string "Mirdal-vk", and unit N
// the serial "VU100N" and the location "virtual-N+1", kept through unplug and
// plug.

#if defined(_WIN32) && defined(TARVENIK_SERVICE_MODULE)
#define VIRTUALUNIT_API __declspec(dllexport)
#else
#define VIRTUALUNIT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Back to the load state: unit 0 plugged (fresh DevInst), the others unplugged,
// default strings, live data, no failures or stalls, fresh DevInsts on a plug,
// EEPROM defaults, log and input queues empty. Raises node-change notifications
// as a plug does.
VIRTUALUNIT_API void VirtualUnit_Reset(void);
// 0 done, -1 for a bad unit number or a unit already in that state. Each
// change raises node-change notifications (several, as the system's broadcast
// comes); a plug gives a fresh DevInst (see VirtualUnit_KeepDevInst).
VIRTUALUNIT_API int VirtualUnit_Plug(int unit);
VIRTUALUNIT_API int VirtualUnit_Unplug(int unit);
VIRTUALUNIT_API int VirtualUnit_IsPlugged(int unit);
// UTF-8 strings; NULL keeps the current one.
VIRTUALUNIT_API void VirtualUnit_SetStrings(int unit, const char* product_utf8,
                                            const char* manufacturer_utf8);
// has_serial 0: the unit has no serial number string; otherwise it answers the
// UTF-8 serial_utf8 (NULL as ""). Two units may share one.
VIRTUALUNIT_API void VirtualUnit_SetSerial(int unit, const char* serial_utf8, int has_serial);
// Every HidD_GetFeature answers [0x00, these 250 bytes, 0xA5]; NULL goes back
// to live data.
VIRTUALUNIT_API void VirtualUnit_SetFixedBlock(int unit, const unsigned char* block250);
// Nonzero: HidD_GetFeature / HidD_SetFeature fail with ERROR_GEN_FAILURE.
VIRTUALUNIT_API void VirtualUnit_SetFailures(int unit, int fail_get, int fail_set);
// Positive: the unit stops answering, and every HidD_GetFeature / HidD_SetFeature
// waits, with no timeout and no error, as the Windows HID stack's calls do: until
// the stall ends (0, after which it is answered), or the unit is unplugged or reset
// (ERROR_DEVICE_NOT_CONNECTED). A program that must not wait on the unit gives up
// on its own.
VIRTUALUNIT_API void VirtualUnit_SetStall(int unit, int stalled);
// Ends the waits in the unit's stall as a USB control transfer the host gave up on
// (Linux: ETIMEDOUT after 5 s): they fail with ERROR_SEM_TIMEOUT; the stall goes
// on. 0 done; -1 for a bad unit, and on Windows, whose HID calls have no timeout.
VIRTUALUNIT_API int VirtualUnit_TimeOutStalled(int unit);
// Nonzero: a plug of the unit after an unplug gives it back the DevInst it had, and
// with it the same interface path, as Windows may for a unit put back in its port;
// handles of the earlier plug still answer ERROR_DEVICE_NOT_CONNECTED. Until a reset.
VIRTUALUNIT_API void VirtualUnit_KeepDevInst(int unit, int keep);
// The report ID in byte 0 of every answer to HidD_GetFeature, as a faulty unit
// might send it (the unit's own is 0). Until a reset.
VIRTUALUNIT_API void VirtualUnit_SetAnswerReportId(int unit, int report_id);
// How many requests wait in a stall now.
VIRTUALUNIT_API int VirtualUnit_StalledRequests(void);
// Queues one input report (8 data bytes), read from the node as
// [0x00, 8 bytes]. 0 done, -1 for a bad or unplugged unit or a full queue.
VIRTUALUNIT_API int VirtualUnit_QueueInputReport(int unit, const unsigned char* data8);

typedef struct VirtualUnitLogEntry {
    int unit;
    int direction; // 0: HidD_SetFeature (program to unit), 1: HidD_GetFeature (unit to program)
    int length;    // the caller's buffer length
    unsigned char report[252];
    long long monotonic_ns; // the steady clock (CLOCK_MONOTONIC on Linux)
} VirtualUnitLogEntry;

// Every successful feature call, oldest first.
VIRTUALUNIT_API int VirtualUnit_LogCount(void);
VIRTUALUNIT_API int VirtualUnit_LogEntry(int index,
                                         VirtualUnitLogEntry* out); // 0 done, -1 out of range
VIRTUALUNIT_API void VirtualUnit_ClearLog(void);

#ifdef __cplusplus
} // extern "C"

#include "platform/ProgramFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <string>
#include <type_traits>

namespace virtualunit {

// The control functions, resolved at run time from the setup module in the
// folder of the running program file, so a test steers the very module the
// program under test has loaded.
struct VirtualUnitControl {
    void* module = nullptr;
    decltype(&VirtualUnit_Reset) Reset = nullptr;
    decltype(&VirtualUnit_Plug) Plug = nullptr;
    decltype(&VirtualUnit_Unplug) Unplug = nullptr;
    decltype(&VirtualUnit_IsPlugged) IsPlugged = nullptr;
    decltype(&VirtualUnit_SetStrings) SetStrings = nullptr;
    decltype(&VirtualUnit_SetSerial) SetSerial = nullptr;
    decltype(&VirtualUnit_SetFixedBlock) SetFixedBlock = nullptr;
    decltype(&VirtualUnit_SetFailures) SetFailures = nullptr;
    decltype(&VirtualUnit_SetStall) SetStall = nullptr;
    decltype(&VirtualUnit_TimeOutStalled) TimeOutStalled = nullptr;
    decltype(&VirtualUnit_KeepDevInst) KeepDevInst = nullptr;
    decltype(&VirtualUnit_SetAnswerReportId) SetAnswerReportId = nullptr;
    decltype(&VirtualUnit_StalledRequests) StalledRequests = nullptr;
    decltype(&VirtualUnit_QueueInputReport) QueueInputReport = nullptr;
    decltype(&VirtualUnit_LogCount) LogCount = nullptr;
    decltype(&VirtualUnit_LogEntry) LogEntry = nullptr;
    decltype(&VirtualUnit_ClearLog) ClearLog = nullptr;

    // True when the module was found and exports every control function.
    bool complete() const {
        return Reset && Plug && Unplug && IsPlugged && SetStrings && SetSerial && SetFixedBlock &&
               SetFailures && SetStall && TimeOutStalled && KeepDevInst && SetAnswerReportId &&
               StalledRequests && QueueInputReport && LogCount && LogEntry && ClearLog;
    }
};

#ifdef _WIN32
// By its full path, as the program loads it.
inline void* openSetupModule() {
    const std::string file = platform::ProgramFolder() + "\\setupsvc.dll";
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, file.data(), static_cast<int>(file.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, file.data(), static_cast<int>(file.size()), wide.data(), size);
    return LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

inline void* findControl(void* module, const char* name) {
    return reinterpret_cast<void*>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module), name)));
}
#else
inline void* openSetupModule() {
    const std::string file = platform::ProgramFolder() + "/libsetupsvc.so";
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    return module != nullptr ? module : dlopen(file.c_str(), RTLD_NOW);
}

inline void* findControl(void* module, const char* name) {
    return dlsym(module, name);
}
#endif

// The module stays loaded for the rest of the process.
inline VirtualUnitControl resolveVirtualUnitControl() {
    VirtualUnitControl c;
    c.module = openSetupModule();
    if (!c.module)
        return c;
    auto resolve = [&](auto& entry, const char* name) {
        entry =
            reinterpret_cast<std::remove_reference_t<decltype(entry)>>(findControl(c.module, name));
    };
    resolve(c.Reset, "VirtualUnit_Reset");
    resolve(c.Plug, "VirtualUnit_Plug");
    resolve(c.Unplug, "VirtualUnit_Unplug");
    resolve(c.IsPlugged, "VirtualUnit_IsPlugged");
    resolve(c.SetStrings, "VirtualUnit_SetStrings");
    resolve(c.SetSerial, "VirtualUnit_SetSerial");
    resolve(c.SetFixedBlock, "VirtualUnit_SetFixedBlock");
    resolve(c.SetFailures, "VirtualUnit_SetFailures");
    resolve(c.SetStall, "VirtualUnit_SetStall");
    resolve(c.TimeOutStalled, "VirtualUnit_TimeOutStalled");
    resolve(c.KeepDevInst, "VirtualUnit_KeepDevInst");
    resolve(c.SetAnswerReportId, "VirtualUnit_SetAnswerReportId");
    resolve(c.StalledRequests, "VirtualUnit_StalledRequests");
    resolve(c.QueueInputReport, "VirtualUnit_QueueInputReport");
    resolve(c.LogCount, "VirtualUnit_LogCount");
    resolve(c.LogEntry, "VirtualUnit_LogEntry");
    resolve(c.ClearLog, "VirtualUnit_ClearLog");
    return c;
}

} // namespace virtualunit
#endif
