#pragma once
// The opaque preparsed-data object behind PHIDP_PREPARSED_DATA. Handles are
// tracked, so a stale or foreign pointer given to HidP_GetCaps or
// HidD_FreePreparsedData is refused instead of being dereferenced.

#include "platform/win32/WinTypes.h"

namespace hidmodules {

struct ReportDescriptorSummary;

PHIDP_PREPARSED_DATA createPreparsedData(const ReportDescriptorSummary& summary);

// False for a handle this module did not hand out or has already freed.
bool freePreparsedData(PHIDP_PREPARSED_DATA data);

// HIDP_STATUS_SUCCESS with the capabilities, or HIDP_STATUS_INVALID_PREPARSED_DATA
// for an unknown handle or a descriptor that did not parse.
NTSTATUS capsFromPreparsedData(PHIDP_PREPARSED_DATA data, HIDP_CAPS* caps);

} // namespace hidmodules
