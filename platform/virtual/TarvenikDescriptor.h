#pragma once
// The report descriptor the virtual unit presents: one vendor-defined
// application collection, an 8-byte input report and the 251-byte feature
// report of the data block, no report ids.

#include <array>
#include <cstdint>

namespace virtualunit {

inline constexpr std::array<uint8_t, 29> kTarvenikReportDescriptor{
    0x06, 0x00, 0xFF, // Usage Page (vendor 0xFF00)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x08,       //   Report Count (8)
    0x09, 0x00,       //   Usage (undefined)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x96, 0xFB, 0x00, //   Report Count (251)
    0x09, 0x00,       //   Usage (undefined)
    0xB2, 0x02, 0x01, //   Feature (Data, Variable, Absolute, Buffered Bytes)
    0xC0};            // End Collection

// USB ids of the unit.
inline constexpr uint16_t kVendorId = 0x16C0;
inline constexpr uint16_t kProductId = 0x05DF;
inline constexpr uint16_t kVersion = 0x0100;

} // namespace virtualunit
