#pragma once
// The virtual units as a test beside their modules steers them: the control exports of the very
// libsetupsvc.so the code under test has loaded, and the log of the feature reports they took.

#include "platform/virtual/VirtualUnitControl.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// Resolved once; complete() is false when the test doesn't sit beside the virtual modules.
inline virtualunit::VirtualUnitControl& VirtualUnit() {
    static virtualunit::VirtualUnitControl control = virtualunit::resolveVirtualUnitControl();
    return control;
}

// Every successful feature call since the last ClearLog, oldest first.
inline std::vector<VirtualUnitLogEntry> ExchangeLog() {
    virtualunit::VirtualUnitControl& unit = VirtualUnit();
    std::vector<VirtualUnitLogEntry> entries(static_cast<std::size_t>(unit.LogCount()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        unit.LogEntry(static_cast<int>(i), &entries[i]);
    return entries;
}

// The direction of a logged feature call.
constexpr int kSet = 0; // program to unit
constexpr int kGet = 1; // unit to program

// The feature reports sent to the unit since the last ClearLog, oldest first: what a poll the
// timer may run meanwhile reads is left out.
inline std::vector<VirtualUnitLogEntry> SentLog() {
    std::vector<VirtualUnitLogEntry> sent = ExchangeLog();
    std::erase_if(sent, [](const VirtualUnitLogEntry& e) { return e.direction != kSet; });
    return sent;
}

// The 250-byte block a logged report carries after its report id.
inline std::array<std::uint8_t, 250> BlockOf(const VirtualUnitLogEntry& e) {
    std::array<std::uint8_t, 250> b{};
    std::copy(e.report + 1, e.report + 1 + b.size(), b.begin());
    return b;
}

} // namespace testsupport
