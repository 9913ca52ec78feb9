#pragma once
// The unit's operating parameters (their table is unit/ParameterTable.h) and a change of some of
// them written into a block.

#include "unit/Block.h"
#include "unit/ParameterTable.h"

#include <algorithm>
#include <array>
#include <optional>

namespace unit {

// Some of the parameters, by row of the parameter table: volts for a volts row, a count
// otherwise; those not given keep their bytes.
struct TParameterChange {
    std::array<std::optional<long double>, kParameterCount> Values{};

    bool Empty() const {
        return std::none_of(
            Values.begin(), Values.end(),
            [](const std::optional<long double>& value) { return value.has_value(); });
    }
};

// A value of a volts row as the unit would store it at a scale: the nearest count and the volts
// that count stands for. The unit holds only counts 1 to 255 whose volts lie within the row's
// limits; a value the byte cannot hold is not holdable (rather than clamped to a count nobody
// asked for).
struct TThresholdFit {
    bool Holdable = false;
    int Count = 0;
    long double StoredVolts = 0;
};
TThresholdFit FitThreshold(const TParameter& row, long double volts, int scaleValue);

// The lowest and highest counts the unit holds for a volts row at a scale (never empty for the
// thresholds: a count of 1 is at most 1.1 V, and 3 counts at most 3.3 V).
struct TCountRange {
    int Lowest = 1;
    int Highest = 255;
};
TCountRange HoldableCounts(const TParameter& row, int scaleValue);

// Whether two blocks hold the same parameter bytes: a unit that kept what it was sent.
bool SameParameters(const TDataBlock& a, const TDataBlock& b);

// Writes the given parameters into the block, the volts converted at the block's own scale;
// every other byte stays as it is. Values are taken as they come: checking them against the
// limits is the caller's business.
void ApplyParameters(const TParameterChange& change, TDataBlock& data);

} // namespace unit
