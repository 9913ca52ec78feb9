#include "unit/Parameters.h"

#include <cmath>

namespace unit {

namespace {

void SetByte(TDataBlock& data, int index, int value) {
    data[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value & 0xFF);
}

bool HoldableCount(const TParameter& row, int count, int scaleValue) {
    if (count < 1 || count > 255)
        return false;
    const long double volts = RawToVolts(static_cast<std::uint8_t>(count), scaleValue);
    return volts >= row.Min && volts <= row.Max;
}

} // namespace

TThresholdFit FitThreshold(const TParameter& row, long double volts, int scaleValue) {
    const int divisor = scaleValue < 1 ? block::kDefaultScale : scaleValue;
    const long double counts = (volts * divisor) / block::kFullCountVolts;
    TThresholdFit fit;
    // Anything past the byte (or not a number) stays outside 1..255 rather than wrapping.
    if (!(counts > 0) || counts > 1000)
        return fit;
    fit.Count = static_cast<int>(std::round(counts));
    fit.Holdable = HoldableCount(row, fit.Count, divisor);
    if (fit.Holdable)
        fit.StoredVolts = RawToVolts(static_cast<std::uint8_t>(fit.Count), divisor);
    return fit;
}

TCountRange HoldableCounts(const TParameter& row, int scaleValue) {
    TCountRange range;
    while (range.Lowest < 255 && !HoldableCount(row, range.Lowest, scaleValue))
        ++range.Lowest;
    while (range.Highest > range.Lowest && !HoldableCount(row, range.Highest, scaleValue))
        --range.Highest;
    return range;
}

bool SameParameters(const TDataBlock& a, const TDataBlock& b) {
    return std::all_of(kParameters.begin(), kParameters.end(), [&](const TParameter& row) {
        return a[static_cast<std::size_t>(row.Byte)] == b[static_cast<std::size_t>(row.Byte)];
    });
}

void ApplyParameters(const TParameterChange& change, TDataBlock& data) {
    const int scaleValue = ScaleOf(data);
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        const std::optional<long double>& value = change.Values[i];
        if (!value)
            continue;
        const TParameter& row = kParameters[i];
        SetByte(data, row.Byte,
                row.Kind == TParameterKind::Volts ? VoltsToRaw(*value, scaleValue)
                                                  : static_cast<int>(*value));
    }
}

} // namespace unit
