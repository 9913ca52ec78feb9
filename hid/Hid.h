#pragma once
// The HID services, reached through a table of entries filled at run time by
// export name ("HID.dll" on Windows, libhidsvc.so on Linux). An entry is null
// while the library is not loaded, so callers test an entry before a call.
// Not counted: one acquire loads, one release unloads.
//
// HidD_GetInputReport, HidD_SetOutputReport and the modules' own
// DevNodeGetLocationString are optional: a library without them still loads,
// and they stay null.
//
// Loaded and released on the user-interface thread only: a device's read
// thread works with capabilities taken before it started. The feature-report
// entries are also called through a THidReportChannel on another thread,
// which stops before the services are released.

#include "platform/ServiceExports.h"

namespace Hid {

// Hid::HidD_GetFeature and so on: one entry per export of HIDSVC_EXPORTS, typed by its prototype.
HIDSVC_EXPORTS(SERVICE_TABLE_ENTRY_DECLARATION, SERVICE_TABLE_ENTRY_DECLARATION)

// Loads the library (if needed) and resolves every entry. False, with the
// library unloaded again, when it can't be loaded or lacks a required export.
bool AcquireHidApi();

// Unloads the library and nulls every entry.
void ReleaseHidApi();

// True while the library is loaded.
bool HidApiAvailable();

// Keeps the HID and setup services loaded for the rest of the process, whoever releases them: a
// thread left waiting inside a call into them must find them there when the call returns.
void PinServicesForProcess();
bool ServicesPinned();

// Whether a Windows NT release of this version has the input and output report calls: 5.1
// (Windows XP) or later.
bool VersionHasReportCalls(unsigned long major, unsigned long minor);

} // namespace Hid
