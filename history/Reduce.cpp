#include "history/Reduce.h"

#include <algorithm>
#include <utility>

namespace history {

namespace {

// The six values of a point, with the scale's division done once for the three in volts.
std::array<float, kSeriesCount> ValuesOf(const TKeptBytes& bytes) {
    static const auto kInfo = [] {
        std::array<std::pair<std::size_t, bool>, kSeriesCount> info{};
        for (int s = 0; s < kSeriesCount; ++s)
            info[static_cast<std::size_t>(s)] = {
                static_cast<std::size_t>(SeriesInfo(s).Byte - kFirstKeptByte), SeriesInfo(s).Volts};
        return info;
    }();
    const double perCount = 1.1 / ScaleFromByte(bytes[block::kScaleByte - kFirstKeptByte]);
    std::array<float, kSeriesCount> values{};
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        const auto [byte, volts] = kInfo[s];
        values[s] = volts ? static_cast<float>(bytes[byte] * perCount) : bytes[byte];
    }
    return values;
}

} // namespace

int TReduction::ColumnOf(qint64 time) const {
    if (time < From)
        return -1;
    if (time >= To)
        return Columns;
    // Centuries in milliseconds times some thousand columns still fit in 64 bits.
    return static_cast<int>((time - From) * Columns / (To - From));
}

TReduction Reduce(const THistoryStore& store, qint64 from, qint64 to, int columns) {
    TReduction out;
    out.From = from;
    out.To = std::max(to, from + 1);
    out.Columns = std::max(columns, 0);
    out.HasData.assign(static_cast<std::size_t>(out.Columns), 0);
    out.HasGap.assign(static_cast<std::size_t>(out.Columns), 0);
    for (auto& series : out.Series)
        series.assign(static_cast<std::size_t>(out.Columns), TColumnValues{});
    if (out.Columns == 0)
        return out;

    const std::size_t end = store.Size();
    for (std::size_t i = store.LowerBound(out.From); i < end; ++i) {
        const TPoint& point = store.At(i);
        if (point.Time >= out.To)
            break;
        const auto column = static_cast<std::size_t>(out.ColumnOf(point.Time));
        if (point.IsGap()) {
            out.HasGap[column] = 1;
            continue;
        }
        const bool first = out.HasData[column] == 0;
        out.HasData[column] = 1;
        const auto values = ValuesOf(point.Bytes);
        for (std::size_t s = 0; s < kSeriesCount; ++s) {
            const float value = values[s];
            TColumnValues& c = out.Series[s][column];
            if (first) {
                c = {value, value, value, value};
            } else {
                c.Min = std::min(c.Min, value);
                c.Max = std::max(c.Max, value);
                c.Last = value;
            }
            TSeriesStats& total = out.Totals[s];
            if (total.Count == 0)
                total.Min = total.Max = value;
            total.Min = std::min(total.Min, double(value));
            total.Max = std::max(total.Max, double(value));
            total.Mean += value; // the sum until the end
            ++total.Count;
        }
    }
    for (TSeriesStats& total : out.Totals)
        if (total.Count > 0)
            total.Mean /= static_cast<double>(total.Count);
    return out;
}

std::array<TSeriesStats, kSeriesCount> Stats(const THistoryStore& store, qint64 from, qint64 to) {
    std::array<TSeriesStats, kSeriesCount> stats{};
    std::array<double, kSeriesCount> sums{};
    for (std::size_t i = store.LowerBound(from); i < store.Size(); ++i) {
        const TPoint& point = store.At(i);
        if (point.Time >= to)
            break;
        if (point.IsGap())
            continue;
        for (std::size_t s = 0; s < kSeriesCount; ++s) {
            const double value = SeriesValue(point.Bytes, static_cast<int>(s));
            TSeriesStats& st = stats[s];
            if (st.Count == 0) {
                st.Min = st.Max = value;
            } else {
                st.Min = std::min(st.Min, value);
                st.Max = std::max(st.Max, value);
            }
            ++st.Count;
            sums[s] += value;
        }
    }
    for (std::size_t s = 0; s < kSeriesCount; ++s)
        if (stats[s].Count > 0)
            stats[s].Mean = sums[s] / static_cast<double>(stats[s].Count);
    return stats;
}

} // namespace history
