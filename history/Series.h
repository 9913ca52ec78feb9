#pragma once
// The six measurements the history keeps, how each is read from the block's bytes, and whether it
// is in volts or in the unit's counts.

#include <QColor>
#include <QString>

#include <array>
#include <cstdint>

namespace history {

// The bytes of the block kept per point: 235 (poll period) to 248 (OS1 state), the measurements,
// the parameters and the scale, enough to write a record of the log again.
inline constexpr int kFirstKeptByte = 235;
inline constexpr int kKeptBytes = 14;
using TKeptBytes = std::array<std::uint8_t, kKeptBytes>;

enum class TSeries : int { Os1Min, Os1Max, Os2PulseTime, Os2Voltage, Os1Time1, Os1Time0 };
inline constexpr int kSeriesCount = 6;

struct TSeriesInfo {
    int Byte;           // index in the block
    bool Volts;         // converted with the block's scale; otherwise a count
    const char* Name;   // Russian source text, translated in the window's context
    const char* Column; // its column in the log
    QColor Colour;
};

const TSeriesInfo& SeriesInfo(int series);
// The series' name in the user's language.
QString SeriesName(int series);

// The value a point holds for a series: volts as the window's readouts convert them, or a count.
double SeriesValue(const TKeptBytes& bytes, int series);

} // namespace history
