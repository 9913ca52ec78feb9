#pragma once
// Where one run of a log ends and the next begins, when the log itself does not say so. The panel's
// `--log` writes only the polls the unit answered, and both programs append to a file that already
// holds earlier runs: a stop and a later start leave nothing in the file but a step in the times.
//
// The rule: a step between two records of a unit is a break when it is longer than four times the
// shortest of that unit's last 16 steps, and longer than a second. The shortest step is the polling
// period as near as the records show it (a slow read only ever makes steps longer); four periods
// let a poll or two come late on a busy machine without breaking the line; the second keeps a very
// fast poll (`watch --interval 0`) from breaking at every stall of the bus. A step back in time of
// the same length is a break too: the clock or the file is of another run. The estimate starts
// afresh after every break, so a run with a longer period is measured on its own.

#include <QtGlobal>

#include <array>
#include <optional>

namespace history {

class TRunBreaks {
public:
    static constexpr int kPeriods = 4;
    static constexpr qint64 kShortestBreak = 1000; // milliseconds
    static constexpr int kSteps = 16;

    // A record of the unit at `time`: the time its run ended when a break comes before it (the
    // last record's time and a period), nothing otherwise.
    std::optional<qint64> Record(qint64 time);
    // The log said where a run ends (an event record or a header line): start afresh.
    void Break();

private:
    std::optional<qint64> last_;
    std::array<qint64, kSteps> steps_{};
    int count_ = 0; // steps kept, up to kSteps
    int next_ = 0;  // the slot the next step goes in
};

} // namespace history
