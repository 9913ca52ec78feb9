#pragma once
// Reads a HID report descriptor into the capabilities HidP_GetCaps answers.
// The parser takes untrusted bytes (from sysfs, from a device): it never
// reads past the buffer and marks anything malformed instead of guessing.

#include "platform/win32/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace hidmodules {

struct ReportDescriptorSummary {
    bool valid = false;
    bool usesReportIds = false;
    HIDP_CAPS caps{};
};

// Report lengths are given as Windows gives them: the longest report of each
// kind in whole bytes, plus one byte for the report id (also without ids).
// Usage and UsagePage are those of the first top-level collection; counts
// cover every collection of the descriptor, since one hidraw node serves them
// all.
ReportDescriptorSummary parseReportDescriptor(std::span<const uint8_t> descriptor);

} // namespace hidmodules
