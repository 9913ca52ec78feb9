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

#include "platform/ServiceExports.h"

// Entries that carry an older or neutral name of an export: ALIAS(entry, export).
#define SETUPAPI_ALIASES(ALIAS)                                                                    \
    ALIAS(SetupDiGetClassDevs, SetupDiGetClassDevsA)                                               \
    ALIAS(SetupDiGetDeviceInterfaceDetail, SetupDiGetDeviceInterfaceDetailA)

namespace SetupApi {

// SetupApi::SetupDiGetClassDevsA and so on: one entry per export of SETUPSVC_EXPORTS, typed by
// its prototype, and one per alias, typed as the export it is resolved from.
SETUPSVC_EXPORTS(SERVICE_TABLE_ENTRY_DECLARATION, SERVICE_TABLE_ENTRY_DECLARATION)
#define SETUPAPI_ALIAS_DECLARATION(alias, name) extern decltype(&::name) alias;
SETUPAPI_ALIASES(SETUPAPI_ALIAS_DECLARATION)
#undef SETUPAPI_ALIAS_DECLARATION

// Use count + 1; the first use loads the library and resolves every entry.
// False (and the count back where it was) when the library can't be loaded
// or lacks an export.
bool AcquireSetupApi();

// Use count - 1; at 0 the library is unloaded and every entry nulled.
void ReleaseSetupApi();

int SetupApiUseCount();
bool SetupApiLoaded();

} // namespace SetupApi
