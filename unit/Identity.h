#pragma once
// How a Tarvenik unit is told from every other HID device: by its product and manufacturer
// strings, both compared exactly; one whose feature report cannot carry the block is refused.

#include "platform/win32/WinTypes.h"

#include <QString>

#include <string_view>

class THidDevice;

namespace unit {

inline constexpr std::string_view kProductString = "Tarvenik";
inline constexpr std::string_view kManufacturerString = "Mirdal-vk";

// Same length, same bytes, once the text is in 8-bit form: no case folding, no trimming.
bool SameText(const QString& text, std::string_view expected);

// Why a device with these capabilities cannot exchange the block (one feature report of
// block::kReportSize bytes each way), or empty when it can. A collection with a shorter feature
// report (another firmware, another interface of the device) would have every exchange refused
// or cut short.
QString BlockCarriageProblem(const HIDP_CAPS& caps);

// Whether the device carries the unit's strings and a feature report that holds the block. The
// product string is fetched first; a device whose product string differs is not asked for its
// manufacturer string. A device with the strings but too short a feature report is refused with
// a warning, once per device path. The device must be open to its caller (checked out, or inside
// a controller event about it) the first time.
bool IsTarvenikUnit(THidDevice& device);

} // namespace unit
