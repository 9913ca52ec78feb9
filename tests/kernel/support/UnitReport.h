#pragma once
// What the test units look like on the bus: one 251-byte feature report and
// one 64-byte input report, without report ids, as the Tarvenik unit has.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kerneltest {

// The feature report as HidD_GetFeature/HidD_SetFeature see it: report id 0,
// then 251 data bytes.
constexpr size_t featureReportLength = 252;
constexpr size_t featureDataLength = featureReportLength - 1;
constexpr size_t inputDataLength = 64;

const std::vector<uint8_t>& unitReportDescriptor();

// A feature report with id 0 and data that differ from byte to byte and from
// seed to seed, so a shifted, truncated or stale copy never matches.
std::vector<uint8_t> patternedReport(unsigned seed);

} // namespace kerneltest
