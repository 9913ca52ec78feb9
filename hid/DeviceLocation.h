#pragma once
// Where a HID device is attached (its USB port), as a text that stays the same when the unit is
// plugged into the same port again; empty when the services cannot say. One file per system:
// the HID module's own export on Linux, the configuration manager's calls of SetupApi.dll on
// Windows, whose HID.dll has no such export.

#include "platform/win32/WinTypes.h"

#include <QString>

#include <cstdint>

namespace hidlocation {

// `mainHandle`: a query handle open on the device's interface; `devInst`: the DevInst of its
// node. Both services loaded.
QString DeviceLocation(HANDLE mainHandle, uint32_t devInst);

} // namespace hidlocation
