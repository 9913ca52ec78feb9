#pragma once
// The unit's five operating parameters: their limits (those of the window's fields) and a change
// of some of them written into a block.

#include "unit/Block.h"

#include <optional>

namespace unit {

inline constexpr int kPollPeriodMin = 1;
inline constexpr int kPollPeriodMax = 255;
inline constexpr long double kThresholdMinVolts = 0.01L;
inline constexpr long double kThresholdMaxVolts = 4.0L;
inline constexpr int kOs2LengthMin = 0;
inline constexpr int kOs2LengthMax = 255;
inline constexpr int kOs2DelayMin = 5;
inline constexpr int kOs2DelayMax = 255;

// Some of the parameters; those not given keep their bytes.
struct TParameterChange {
    std::optional<int> PollPeriod;
    std::optional<long double> Threshold0Volts;
    std::optional<long double> Threshold1Volts;
    std::optional<int> Os2Length;
    std::optional<int> Os2Delay;

    bool Empty() const {
        return !PollPeriod && !Threshold0Volts && !Threshold1Volts && !Os2Length && !Os2Delay;
    }
};

// A threshold as the unit would store it at a scale: the nearest count and the volts that count
// stands for. The unit holds only counts 1 to 255 whose volts lie within the limits above; a
// value the byte cannot hold is not holdable (rather than clamped to a count nobody asked for).
struct TThresholdFit {
    bool Holdable = false;
    int Count = 0;
    long double StoredVolts = 0;
};
TThresholdFit FitThreshold(long double volts, int scaleValue);

// The lowest and highest counts the unit holds at a scale (never empty: a count of 1 is at most
// 1.1 V, and 3 counts at most 3.3 V).
struct TCountRange {
    int Lowest = 1;
    int Highest = 255;
};
TCountRange HoldableCounts(int scaleValue);

// Writes the given parameters into the block, the thresholds converted at the block's own scale;
// every other byte stays as it is. Values are taken as they come: checking them against the
// limits is the caller's business.
void ApplyParameters(const TParameterChange& change, TDataBlock& data);

} // namespace unit
