#pragma once
// The HID services, reached through a table of entries filled at run time by
// export name ("HID.dll" on Windows, libhidsvc.so on Linux). An entry is null
// while the library is not loaded, so callers test an entry before a call.
// Not counted: one acquire loads, one release unloads.
//
// HidD_GetInputReport and HidD_SetOutputReport are optional: a library
// without them still loads, and they stay null.
//
// Used on the user-interface thread only: a device's read thread works with
// capabilities taken before it started.

#include "platform/win32/WinTypes.h"

namespace Hid {

using THidD_GetHidGuid = void(WINAPI*)(LPGUID HidGuid);
using THidD_GetAttributes = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes);
using THidD_GetString = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
using THidD_GetPreparsedData = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject,
                                                PHIDP_PREPARSED_DATA* PreparsedData);
using THidD_FreePreparsedData = BOOLEAN(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData);
using THidP_GetCaps = NTSTATUS(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData,
                                        PHIDP_CAPS Capabilities);
using THidD_Report = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                      ULONG ReportBufferLength);
using THidD_FlushQueue = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject);

extern THidD_GetHidGuid HidD_GetHidGuid;
extern THidD_GetAttributes HidD_GetAttributes;
extern THidD_GetString HidD_GetManufacturerString;
extern THidD_GetString HidD_GetProductString;
extern THidD_GetString HidD_GetSerialNumberString;
extern THidD_GetPreparsedData HidD_GetPreparsedData;
extern THidD_FreePreparsedData HidD_FreePreparsedData;
extern THidP_GetCaps HidP_GetCaps;
extern THidD_Report HidD_GetFeature;
extern THidD_Report HidD_SetFeature;
extern THidD_FlushQueue HidD_FlushQueue;
extern THidD_Report HidD_GetInputReport;  // optional
extern THidD_Report HidD_SetOutputReport; // optional

// Loads the library (if needed) and resolves every entry. False, with the
// library unloaded again, when it can't be loaded or lacks a required export.
bool AcquireHidApi();

// Unloads the library and nulls every entry.
void ReleaseHidApi();

// True while the library is loaded.
bool HidApiAvailable();

} // namespace Hid
