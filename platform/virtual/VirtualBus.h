#pragma once
// The virtual units as the two modules see them: plugged or not, the device
// node of each, the node-change notifications and the exchange log. Lives in
// the setup module (libsetupsvc.so, setupsvc.dll); the HID module of the same
// pair calls in here, so both modules share one state. Every call is
// thread-safe.

#include "platform/win32/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace virtualunit {

// Enough for a watch of every unit at once; at load only unit 0 is plugged.
inline constexpr int kUnitCount = 4;
inline constexpr size_t kInputReportSize = 9; // report id byte + 8 data bytes
// The log keeps the newest entries: plenty for a test, bounded for a long demo.
inline constexpr size_t kLogLimit = 16384;

struct InterfaceSnapshot {
    std::string path;
    DWORD devInst = 0;
};

// Plugged units in unit order, as the setup module lists them.
std::vector<InterfaceSnapshot> presentInterfaces();

enum class StringKind { Product, Manufacturer, Serial, Location };

// The unit whose node is present with this DevInst, -1 for none.
int unitWithDevInst(DWORD devInst);
// Where a unit is attached (its port): the same for every plug, on both systems.
std::string unitLocation(int number);

// Each answers a Windows error code, ERROR_SUCCESS when done. A handle is an
// open file of a unit's node; one of an unplugged unit gives
// ERROR_DEVICE_NOT_CONNECTED, any other file ERROR_INVALID_HANDLE.
int checkHandle(HANDLE handle);
// ERROR_FILE_NOT_FOUND for a string the unit has none of.
int deviceString(HANDLE handle, StringKind kind, std::u16string& out);
// Feature reports need a handle opened for reading and writing.
int getFeature(HANDLE handle, uint8_t* buffer, size_t length);
int setFeature(HANDLE handle, const uint8_t* buffer, size_t length);
int flushInput(HANDLE handle);
int lastInputReport(HANDLE handle, uint8_t* buffer, size_t length);

#ifdef _WIN32
// What the HID module calls, reached through the setup module beside it: on Windows the two can't
// link each other by name, since SetupApi.dll is a known system library there and a module
// importing it by name gets the system's own.
struct HidBusCalls {
    decltype(&checkHandle) check;
    decltype(&deviceString) string;
    decltype(&getFeature) get;
    decltype(&setFeature) set;
    decltype(&flushInput) flush;
    decltype(&lastInputReport) lastInput;
};
inline constexpr char kHidBusCallsExport[] = "VirtualBus_HidCalls";
#endif

} // namespace virtualunit
