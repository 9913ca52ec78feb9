#pragma once
// The unit's operating parameters, one row each: where the block holds it, how its byte reads,
// its limits, and the names it goes by in the window, the tool and the records. Everything that
// deals with the parameters walks this table, so that a new parameter is a new row here (and its
// place in the window's design) rather than an edit in every program.

#include "unit/Block.h"

#include <array>
#include <cstddef>

namespace unit {

enum class TParameterKind {
    Count, // the byte as it is
    Volts, // the byte converted at the block's scale
};

struct TParameter {
    int Byte; // index in the block
    TParameterKind Kind;
    // The window field's limits, in volts for a volts row; the tool takes the same.
    long double Min;
    long double Max;
    // The window's numeric field: its designed name, decimals, step and first value.
    const char* Field;
    unsigned char Decimals;
    long double Increment;
    long double DesignValue;
    // The label beside the field; its text is the field's name for a screen reader.
    const char* Label;
    const char* Option; // the tool's `set` option
    const char* Name;   // in records, JSON and CSV (Prometheus spells the volts out)
    const char* Help;   // what the value is, for a monitoring system's description of it
};

inline constexpr long double kThresholdMinVolts = 0.01L;
inline constexpr long double kThresholdMaxVolts = 4.0L;

// In the order of the window's fields, which is also the records' order.
inline constexpr std::array<TParameter, 5> kParameters{{
    {block::kPollPeriod, TParameterKind::Count, 1, 255, "SpinEdit35", 1, 1.0L, 1, "Label1",
     "--poll-period", "poll_period", "Poll period parameter"},
    {block::kThreshold0, TParameterKind::Volts, kThresholdMinVolts, kThresholdMaxVolts,
     "SpinEdit36", 2, 0.01L, 0.01L, "Label2", "--threshold0", "threshold0_v", "Threshold 0"},
    {block::kThreshold1, TParameterKind::Volts, kThresholdMinVolts, kThresholdMaxVolts,
     "SpinEdit37", 2, 0.01L, 0.01L, "Label3", "--threshold1", "threshold1_v", "Threshold 1"},
    {block::kOs2Length, TParameterKind::Count, 0, 255, "SpinEdit38", 1, 1.0L, 0, "Label4",
     "--os2-length", "os2_length", "OS2 signal length parameter"},
    {block::kOs2Delay, TParameterKind::Count, 5, 255, "SpinEdit39", 1, 1.0L, 5, "Label5",
     "--os2-delay", "os2_delay", "OS2 signal delay parameter"},
}};

inline constexpr std::size_t kParameterCount = kParameters.size();

} // namespace unit
