#pragma once
// The device-setup services, reached through a table of entries filled at
// run time by export name ("SetupApi.dll" on Windows, libsetupsvc.so on
// Linux). An entry is null while the library is not loaded. Acquire and
// release are counted: the library stays loaded while any user holds it.
//
// Neutral names are bound to the ANSI export. On Linux the library also
// stands in for the WM_DEVICECHANGE broadcast with DevNodeNotify*.
//
// Used on the user-interface thread only.

#include "platform/win32/WinTypes.h"

namespace SetupApi {

using TSetupDiGetClassDevsA = HDEVINFO(WINAPI*)(const GUID* ClassGuid, PCSTR Enumerator,
                                                HWND hwndParent, DWORD Flags);
using TSetupDiEnumDeviceInterfaces = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                   PSP_DEVINFO_DATA DeviceInfoData,
                                                   const GUID* InterfaceClassGuid,
                                                   DWORD MemberIndex,
                                                   PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
using TSetupDiGetDeviceInterfaceDetailA = BOOL(WINAPI*)(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData, DWORD DeviceInterfaceDetailSize,
    DWORD* RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);
using TSetupDiDestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet);

extern TSetupDiGetClassDevsA SetupDiGetClassDevsA;
extern TSetupDiGetClassDevsA SetupDiGetClassDevs;
extern TSetupDiEnumDeviceInterfaces SetupDiEnumDeviceInterfaces;
extern TSetupDiGetDeviceInterfaceDetailA SetupDiGetDeviceInterfaceDetailA;
extern TSetupDiGetDeviceInterfaceDetailA SetupDiGetDeviceInterfaceDetail;
extern TSetupDiDestroyDeviceInfoList SetupDiDestroyDeviceInfoList;

#ifndef _WIN32
using TDevNodeNotifyOpen = int (*)(void);
using TDevNodeNotifyRead = int (*)(int fd);
using TDevNodeNotifyClose = void (*)(int fd);

extern TDevNodeNotifyOpen DevNodeNotifyOpen;
extern TDevNodeNotifyRead DevNodeNotifyRead;
extern TDevNodeNotifyClose DevNodeNotifyClose;
#endif

// Use count + 1; the first use loads the library and resolves every entry.
// False (and the count back where it was) when the library can't be loaded
// or lacks an export.
bool AcquireSetupApi();

// Use count - 1; at 0 the library is unloaded and every entry nulled.
void ReleaseSetupApi();

int SetupApiUseCount();
bool SetupApiLoaded();

} // namespace SetupApi
