#pragma once
// The exports of the two service modules, listed once. The modules' prototypes are declared here
// from the list, and everything that reaches the modules by export name takes its types from the
// same list: the program's tables (hid/Hid, hid/SetupApi), the test tables and the stand-in
// modules. A definition or a table entry whose signature drifts from its prototype no longer
// compiles. Contract: docs/hid-modules.md.
//
// Each list entry reads KIND(result type, export name, (parameters)). An OPTIONAL export may be
// missing from a module; the program then leaves its entry null. A list is expanded by passing
// it one macro per kind, SERVICE_EXPORT_SKIP for a kind of no interest.

#include "platform/win32/WinTypes.h"

// libhidsvc.so ("HID.dll"). DevNodeGetLocationString is the Linux modules' own: where the device
// is attached (the USB port path), a string that survives a replug into the same port. HID.dll
// has no such export: on Windows the location comes from SetupApi.dll (below), and the demo's
// pair answers it there too, as the system does.
#ifdef _WIN32
#define HIDSVC_LOCATION_EXPORTS(OPTIONAL)
#else
#define HIDSVC_LOCATION_EXPORTS(OPTIONAL)                                                          \
    OPTIONAL(BOOLEAN, DevNodeGetLocationString,                                                    \
             (HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength))
#endif

#define HIDSVC_EXPORTS(REQUIRED, OPTIONAL)                                                         \
    REQUIRED(void, HidD_GetHidGuid, (LPGUID HidGuid))                                              \
    REQUIRED(BOOLEAN, HidD_GetAttributes, (HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes))   \
    REQUIRED(BOOLEAN, HidD_GetManufacturerString,                                                  \
             (HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength))                           \
    REQUIRED(BOOLEAN, HidD_GetProductString,                                                       \
             (HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength))                           \
    REQUIRED(BOOLEAN, HidD_GetSerialNumberString,                                                  \
             (HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength))                           \
    REQUIRED(BOOLEAN, HidD_GetPreparsedData,                                                       \
             (HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA * PreparsedData))                       \
    REQUIRED(BOOLEAN, HidD_FreePreparsedData, (PHIDP_PREPARSED_DATA PreparsedData))                \
    REQUIRED(NTSTATUS, HidP_GetCaps,                                                               \
             (PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities))                        \
    REQUIRED(BOOLEAN, HidD_GetFeature,                                                             \
             (HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength))               \
    REQUIRED(BOOLEAN, HidD_SetFeature,                                                             \
             (HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength))               \
    REQUIRED(BOOLEAN, HidD_FlushQueue, (HANDLE HidDeviceObject))                                   \
    OPTIONAL(BOOLEAN, HidD_GetInputReport,                                                         \
             (HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength))               \
    OPTIONAL(BOOLEAN, HidD_SetOutputReport,                                                        \
             (HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength))               \
    HIDSVC_LOCATION_EXPORTS(OPTIONAL)

// libsetupsvc.so ("SetupApi.dll"). On Linux it also stands in for the WM_DEVICECHANGE broadcast:
// a descriptor that turns readable when device nodes change, the DevNodeNotify* exports.
#ifdef _WIN32
#define SETUPSVC_NOTIFY_EXPORTS(REQUIRED)
#else
#define SETUPSVC_NOTIFY_EXPORTS(REQUIRED)                                                          \
    REQUIRED(int, DevNodeNotifyOpen, (void))                                                       \
    REQUIRED(int, DevNodeNotifyRead, (int fd))                                                     \
    REQUIRED(void, DevNodeNotifyClose, (int fd))
#endif

// Where a device is attached, on Windows: the location of the HID interface's parent node (the
// USB device) from the configuration manager's calls, which SetupApi.dll exports as well. On Linux
// DevNodeGetLocationString of the HID module says it.
#ifdef _WIN32
#define SETUPSVC_LOCATION_EXPORTS(OPTIONAL)                                                        \
    OPTIONAL(CONFIGRET, CM_Get_Parent, (PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags))    \
    OPTIONAL(CONFIGRET, CM_Get_DevNode_Registry_PropertyW,                                         \
             (DEVINST dnDevInst, ULONG ulProperty, PULONG pulRegDataType, PVOID Buffer,            \
              PULONG pulLength, ULONG ulFlags))
#else
#define SETUPSVC_LOCATION_EXPORTS(OPTIONAL)
#endif

#define SETUPSVC_EXPORTS(REQUIRED, OPTIONAL)                                                       \
    REQUIRED(HDEVINFO, SetupDiGetClassDevsA,                                                       \
             (const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags))              \
    REQUIRED(BOOL, SetupDiEnumDeviceInterfaces,                                                    \
             (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,                             \
              const GUID* InterfaceClassGuid, DWORD MemberIndex,                                   \
              PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData))                                      \
    REQUIRED(BOOL, SetupDiGetDeviceInterfaceDetailA,                                               \
             (HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,               \
              PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,                        \
              DWORD DeviceInterfaceDetailDataSize, DWORD * RequiredSize,                           \
              PSP_DEVINFO_DATA DeviceInfoData))                                                    \
    REQUIRED(BOOL, SetupDiDestroyDeviceInfoList, (HDEVINFO DeviceInfoSet))                         \
    SETUPSVC_NOTIFY_EXPORTS(REQUIRED)                                                              \
    SETUPSVC_LOCATION_EXPORTS(OPTIONAL)

// What a list is expanded with.
#define SERVICE_EXPORT_SKIP(result, name, parameters)
#define SERVICE_EXPORT_PROTOTYPE(result, name, parameters) result WINAPI name parameters;
// Table entries and members, typed by the prototype: `Table::name` for export `name`.
#define SERVICE_TABLE_ENTRY_DECLARATION(result, name, parameters) extern decltype(&::name) name;
#define SERVICE_TABLE_ENTRY(result, name, parameters) decltype(&::name) name = nullptr;
#define SERVICE_TABLE_ENTRY_RESET(result, name, parameters) name = nullptr;

// On Windows the system headers declare them, as imports from HID.dll and SetupApi.dll; a second
// declaration without the import would clash with those.
#ifndef _WIN32
extern "C" {
HIDSVC_EXPORTS(SERVICE_EXPORT_PROTOTYPE, SERVICE_EXPORT_PROTOTYPE)
SETUPSVC_EXPORTS(SERVICE_EXPORT_PROTOTYPE, SERVICE_EXPORT_PROTOTYPE)
} // extern "C"
#endif

// A module of ours on Windows (TARVENIK_SERVICE_MODULE) exports the system's names: declared once
// more, marked for export. Such a module also defines _SETUPAPI_ and _CFGMGR32_, so that setupapi.h
// and cfgmgr32.h declare them without the import.
#if defined(_WIN32) && defined(TARVENIK_SERVICE_MODULE)
#define SERVICE_EXPORT_DLLEXPORT(result, name, parameters)                                         \
    __declspec(dllexport) result WINAPI name parameters;
extern "C" {
HIDSVC_EXPORTS(SERVICE_EXPORT_DLLEXPORT, SERVICE_EXPORT_DLLEXPORT)
SETUPSVC_EXPORTS(SERVICE_EXPORT_DLLEXPORT, SERVICE_EXPORT_DLLEXPORT)
} // extern "C"
#endif

// In a module, names the list it implements, so that every export of it must be there with the
// list's prototype. A definition inside extern "C" that differs from its prototype fails to compile
// anyway; one that lost its C linkage becomes an overload whose address is ambiguous here, also a
// compile error; a missing one leaves a reference the module can't link with (--no-undefined).
#define SERVICE_EXPORT_ADDRESS(result, name, parameters) reinterpret_cast<const void*>(&::name),
#define SERVICE_MODULE_DEFINES(LIST)                                                               \
    namespace {                                                                                    \
    [[gnu::used]] const void* const kDefinedServiceExports[] = {                                   \
        LIST(SERVICE_EXPORT_ADDRESS, SERVICE_EXPORT_ADDRESS)};                                     \
    }
