#include "unit/Parameters.h"

namespace unit {

namespace {

void SetByte(TDataBlock& data, int index, int value) {
    data[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

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
