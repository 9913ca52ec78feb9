// Which Windows releases get the input and output report calls: every NT release from Windows XP
// (5.1) on, Vista (6.0) and Windows 10 (10.0) included, whose minor number is below 1.

#include "hid/Hid.h"

#include <gtest/gtest.h>

TEST(ReportCallsVersion, FromWindowsXpOnWhateverTheMinorNumber) {
    struct Case {
        unsigned long major, minor;
        bool expected;
    };
    const Case cases[] = {
        {4, 0, false},  // NT 4
        {4, 90, false}, // a minor number past 1 doesn't lift an old major one
        {5, 0, false},  // 2000
        {5, 1, true},   // XP
        {5, 2, true},   // Server 2003
        {6, 0, true},   // Vista
        {6, 1, true},   // 7 (what wine reports)
        {6, 3, true},   // 8.1
        {10, 0, true},  // 10 and 11
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hid::VersionHasReportCalls(c.major, c.minor), c.expected)
            << c.major << "." << c.minor;
}
