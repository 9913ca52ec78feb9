#include "history/RunBreaks.h"

#include <algorithm>

namespace history {

std::optional<qint64> TRunBreaks::Record(qint64 time) {
    const std::optional<qint64> last = last_;
    last_ = time;
    if (!last)
        return std::nullopt;
    const qint64 step = time - *last;
    if (count_ > 0) {
        const qint64 period = *std::min_element(steps_.begin(), steps_.begin() + count_);
        const qint64 longest = std::max(kPeriods * period, kShortestBreak);
        if (step > longest || -step > longest) {
            count_ = next_ = 0;
            return *last + period;
        }
    }
    // Records of the same moment say nothing of the period.
    if (step > 0) {
        steps_[static_cast<std::size_t>(next_)] = step;
        next_ = (next_ + 1) % kSteps;
        count_ = std::min(count_ + 1, kSteps);
    }
    return std::nullopt;
}

void TRunBreaks::Break() {
    last_.reset();
    count_ = next_ = 0;
}

} // namespace history
