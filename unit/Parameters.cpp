#include "unit/Parameters.h"

#include <cmath>

namespace unit {

namespace {

void SetByte(TDataBlock& data, int index, int value) {
    data[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value & 0xFF);
}

bool HoldableCount(int count, int scaleValue) {
    if (count < 1 || count > 255)
        return false;
    const long double volts = RawToVolts(static_cast<std::uint8_t>(count), scaleValue);
    return volts >= kThresholdMinVolts && volts <= kThresholdMaxVolts;
}

} // namespace

TThresholdFit FitThreshold(long double volts, int scaleValue) {
    const int divisor = scaleValue < 1 ? block::kDefaultScale : scaleValue;
    const long double counts = (volts * divisor) / block::kFullCountVolts;
    TThresholdFit fit;
    // Anything past the byte (or not a number) stays outside 1..255 rather than wrapping.
    if (!(counts > 0) || counts > 1000)
        return fit;
    fit.Count = static_cast<int>(std::round(counts));
    fit.Holdable = HoldableCount(fit.Count, divisor);
    if (fit.Holdable)
        fit.StoredVolts = RawToVolts(static_cast<std::uint8_t>(fit.Count), divisor);
    return fit;
}

TCountRange HoldableCounts(int scaleValue) {
    TCountRange range;
    while (range.Lowest < 255 && !HoldableCount(range.Lowest, scaleValue))
        ++range.Lowest;
    while (range.Highest > range.Lowest && !HoldableCount(range.Highest, scaleValue))
        --range.Highest;
    return range;
}

void ApplyParameters(const TParameterChange& change, TDataBlock& data) {
    const int scaleValue = ScaleOf(data);
    if (change.PollPeriod)
        SetByte(data, block::kPollPeriod, *change.PollPeriod);
    if (change.Threshold0Volts)
        SetByte(data, block::kThreshold0, VoltsToRaw(*change.Threshold0Volts, scaleValue));
    if (change.Threshold1Volts)
        SetByte(data, block::kThreshold1, VoltsToRaw(*change.Threshold1Volts, scaleValue));
    if (change.Os2Length)
        SetByte(data, block::kOs2Length, *change.Os2Length);
    if (change.Os2Delay)
        SetByte(data, block::kOs2Delay, *change.Os2Delay);
}

} // namespace unit
