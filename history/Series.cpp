#include "history/Series.h"

#include "unit/Block.h"

#include <QCoreApplication>

namespace history {

namespace {

// Distinct in hue and lightness, so lines stay apart for colour-blind users and in print.
const std::array<TSeriesInfo, kSeriesCount> kSeries{{
    {block::kOs1Min, true, QT_TRANSLATE_NOOP("history", "OS1 min, В"), "os1_min_v",
     QColor(0x1f, 0x77, 0xb4)},
    {block::kOs1Max, true, QT_TRANSLATE_NOOP("history", "OS1 max, В"), "os1_max_v",
     QColor(0xd6, 0x27, 0x28)},
    {block::kOs2PulseTime, false, QT_TRANSLATE_NOOP("history", "Время импульса OS2"),
     "os2_pulse_time", QColor(0x2c, 0xa0, 0x2c)},
    {block::kOs2Voltage, true, QT_TRANSLATE_NOOP("history", "Напряжение OS2, В"), "os2_voltage_v",
     QColor(0xff, 0x7f, 0x0e)},
    {block::kOs1Time1, false, QT_TRANSLATE_NOOP("history", "Время OS1 в \"1\""), "os1_time_1",
     QColor(0x94, 0x67, 0xbd)},
    {block::kOs1Time0, false, QT_TRANSLATE_NOOP("history", "Время OS1 в \"0\""), "os1_time_0",
     QColor(0x8c, 0x56, 0x4b)},
}};

} // namespace

const TSeriesInfo& SeriesInfo(int series) {
    return kSeries[static_cast<std::size_t>(series)];
}

QString SeriesName(int series) {
    return QCoreApplication::translate("history", SeriesInfo(series).Name);
}

double SeriesValue(const TKeptBytes& bytes, int series) {
    const TSeriesInfo& info = SeriesInfo(series);
    const std::uint8_t raw = bytes[static_cast<std::size_t>(info.Byte - kFirstKeptByte)];
    if (!info.Volts)
        return raw;
    const int scale = ScaleFromByte(bytes[block::kScaleByte - kFirstKeptByte]);
    // The window's conversion, in double: the readouts round it to two decimals anyway.
    return raw * 1.1 / scale;
}

} // namespace history
