#pragma once
// How a Tarvenik unit is told from every other HID device: by its product and manufacturer
// strings, both compared exactly.

#include <QString>

#include <string_view>

class THidDevice;

namespace unit {

inline constexpr std::string_view kProductString = "Tarvenik";
inline constexpr std::string_view kManufacturerString = "Mirdal-vk";

// Same length, same bytes, once the text is in 8-bit form: no case folding, no trimming.
bool SameText(const QString& text, std::string_view expected);

// Whether the device carries the unit's strings. The product string is fetched first; a device
// whose product string differs is not asked for its manufacturer string. The device must be
// open to its caller (checked out, or inside a controller event about it) the first time.
bool IsTarvenikUnit(THidDevice& device);

} // namespace unit
