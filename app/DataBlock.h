#pragma once
// The window's side of the device data block: the state the poll shares (the block, the report
// buffer, the scale, the held unit and the screenshot trigger), the conversions with its scale and
// the volt texts of the labels. The layout, framing,
// command codes and conversions themselves are the unit library's (unit/Block.h).

#include "unit/Block.h"

#include <QLocale>
#include <QString>

#include <cstdint>

class THidDevice;

// What the poll shares: the block, the report buffer, the scale, the held unit and the screenshot
// trigger. One object, owned by the window; zero at start. The exchange thread never sees it: a
// request to the unit carries copies and its answer brings copies back (UnitExchange.h).
struct TPanelState {
    TDataBlock data_block{};
    TReportBuffer report_buf{};
    std::int32_t scale = 0;
    THidDevice* held_device = nullptr; // the unit lent to the window, or none
    bool shot_latched = false;      // a screenshot was taken and the position has not fallen back
    std::int32_t shot_position = 0; // the position at the last screenshot

    // RawToVolts and VoltsToRaw with this scale.
    long double raw_to_volts(std::uint8_t raw) const;
    int volts_to_raw(long double volts) const;
};

// "%1.1f В" and "%2.2f В": one or two decimals, a space and the Cyrillic letter В.
QString VoltText1(long double volts, const QLocale& locale = QLocale());
QString VoltText2(long double volts, const QLocale& locale = QLocale());
