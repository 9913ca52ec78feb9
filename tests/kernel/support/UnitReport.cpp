#include "UnitReport.h"

namespace kerneltest {

const std::vector<uint8_t>& unitReportDescriptor() {
    // clang-format off
    static const std::vector<uint8_t> descriptor = {
        0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x09, 0x02,        //   Usage (2)
        0x95, static_cast<uint8_t>(inputDataLength),  // Report Count (64)
        0x81, 0x02,        //   Input (Data, Variable, Absolute)
        0x09, 0x03,        //   Usage (3)
        0x96, static_cast<uint8_t>(featureDataLength & 0xFF),
              static_cast<uint8_t>(featureDataLength >> 8),  // Report Count (251)
        0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
    // clang-format on
    return descriptor;
}

std::vector<uint8_t> patternedReport(unsigned seed) {
    std::vector<uint8_t> report(featureReportLength);
    report[0] = 0;
    for (size_t i = 1; i < report.size(); ++i)
        report[i] = static_cast<uint8_t>(i * 37 + seed * 101 + 1);
    return report;
}

} // namespace kerneltest
