#pragma once
// The window's side of the device data block: the process-wide state of the panel (the block, the
// report buffer, the scale, the held unit and the screenshot trigger), which is zero at start, the
// conversions with the process-wide scale and the volt texts of the labels. The layout, framing,
// command codes and conversions themselves are the unit library's (unit/Block.h).

#include "unit/Block.h"

#include <QLocale>
#include <QString>

#include <cstdint>

class THidDevice;

// Process-wide state of the panel; one of each for the program's life, zero at start.
extern TDataBlock data_block;
extern TReportBuffer report_buf;
extern std::int32_t scale;
extern THidDevice* held_device;    // the unit lent to the window, or none
extern bool shot_latched;          // a screenshot was taken and the position has not fallen back
extern std::int32_t shot_position; // the position at the last screenshot

// RawToVolts and VoltsToRaw with the process-wide scale.
long double raw_to_volts(std::uint8_t raw);
int volts_to_raw(long double volts);

// "%1.1f В" and "%2.2f В": one or two decimals, a space and the Cyrillic letter В.
QString VoltText1(long double volts, const QLocale& locale = QLocale());
QString VoltText2(long double volts, const QLocale& locale = QLocale());
