#pragma once
// Where the ticks of the chart's axes go and what they say: the time axis in local clock time,
// from seconds to days, each label at a round time; the value axes at round numbers.

#include <QString>

#include <vector>

namespace history {

struct TTick {
    qint64 Time = 0;   // milliseconds since the epoch
    QString Label;     // the clock time (or the date, for ticks a day or more apart)
    QString DateLabel; // the date under the first tick and under each tick of a new day
};

// Ticks for [from, to) drawn `pixels` wide, at least `spacing` pixels apart, at round local times.
std::vector<TTick> TimeTicks(qint64 from, qint64 to, double pixels, double spacing);

// The step between round values (1, 2 or 5 times a power of ten) that gives about `count` ticks.
double NiceStep(double span, int count);
// Round values from `low` to `high`, `step` apart.
std::vector<double> ValueTicks(double low, double high, double step);
// A value with as many decimals as its step needs.
QString ValueText(double value, double step);

} // namespace history
