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

// One point into its column.
void Take(TReduction& out, const TPoint& point) {
    const auto column = static_cast<std::size_t>(out.ColumnOf(point.Time));
    if (point.IsGap()) {
        out.HasGap[column] = 1;
        return;
    }
    const bool first = out.HasData[column] == 0;
    out.HasData[column] = 1;
    ++out.Points[column];
    const auto values = ValuesOf(point.Bytes);
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        const float value = values[s];
        TColumnValues& c = out.Series[s][column];
        if (first) {
            c = {value, value, value, value, value};
        } else {
            c.Min = std::min(c.Min, value);
            c.Max = std::max(c.Max, value);
            c.Last = value;
            c.Sum += value;
        }
    }
}

// The range's min, max and mean, from its columns: a few thousand of them, whatever the points.
void TotalsFromColumns(TReduction& out) {
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        TSeriesStats total;
        double sum = 0;
        const auto& columns = out.Series[s];
        for (std::size_t c = 0; c < static_cast<std::size_t>(out.Columns); ++c) {
            if (!out.HasData[c])
                continue;
            const TColumnValues& v = columns[c];
            if (total.Count == 0) {
                total.Min = v.Min;
                total.Max = v.Max;
            } else {
                total.Min = std::min(total.Min, double(v.Min));
                total.Max = std::max(total.Max, double(v.Max));
            }
            total.Count += out.Points[c];
            sum += v.Sum;
        }
        if (total.Count > 0)
            total.Mean = sum / static_cast<double>(total.Count);
        out.Totals[s] = total;
    }
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
    out.Points.assign(static_cast<std::size_t>(out.Columns), 0);
    for (auto& series : out.Series)
        series.assign(static_cast<std::size_t>(out.Columns), TColumnValues{});
    if (out.Columns == 0)
        return out;

    const std::size_t end = store.Size();
    for (std::size_t i = store.LowerBound(out.From); i < end; ++i) {
        const TPoint& point = store.At(i);
        if (point.Time >= out.To)
            break;
        Take(out, point);
    }
    TotalsFromColumns(out);
    return out;
}

TRange FollowRange(qint64 latest, qint64 span, int columns) {
    // The share of the span left free after the latest measurement.
    constexpr double kLead = 0.02;
    constexpr qint64 kGridColumnMs = 100;
    qint64 to = latest + static_cast<qint64>(static_cast<double>(span) * kLead) + 1;
    const qint64 count = std::max(columns, 1);
    if (span >= kGridColumnMs * count) {
        span = (span + count / 2) / count * count;
        const qint64 width = span / count;
        to = (to + width - 1) / width * width;
    }
    return {to - span, to};
}

TRange ClampedRange(qint64 from, qint64 to, qint64 shortest, qint64 longest) {
    const qint64 span = std::clamp(to - from, shortest, longest);
    const qint64 middle = from + (to - from) / 2;
    return {middle - span / 2, middle - span / 2 + span};
}

std::optional<TRange> WholeRange(const THistoryStore& store, qint64 shortest, qint64 longest) {
    if (store.Empty())
        return std::nullopt;
    const qint64 first = store.At(0).Time;
    const qint64 last = store.At(store.Size() - 1).Time;
    return ClampedRange(first, last + std::max<qint64>((last - first) / 50, 1), shortest, longest);
}

void TLiveReduction::Adopt(const THistoryStore& store, TReduction reduction) {
    reduction_ = std::move(reduction);
    store_ = &store;
    next_ = store.FirstSequence() + store.LowerBound(reduction_.To);
    revision_ = store.Revision();
    seenFirst_ = store.FirstSequence();
    seenEnd_ = store.EndSequence();
    incremental_ = false;
}

const TReduction& TLiveReduction::Update(const THistoryStore& store, qint64 from, qint64 to,
                                         int columns) {
    // Nothing changed (a repaint for the cursor, a reduction adopted): the columns as they are.
    if (store_ == &store && store.Revision() == revision_ && reduction_.From == from &&
        reduction_.To == to && reduction_.Columns == columns) {
        incremental_ = true;
        return reduction_;
    }
    incremental_ = Advance(store, from, to, columns);
    if (!incremental_) {
        reduction_ = Reduce(store, from, to, columns);
        store_ = &store;
        // Every point before the range's end is in; the rest come when the range gets to them.
        next_ = store.FirstSequence() + store.LowerBound(reduction_.To);
    }
    revision_ = store.Revision();
    seenFirst_ = store.FirstSequence();
    seenEnd_ = store.EndSequence();
    return reduction_;
}

bool TLiveReduction::Advance(const THistoryStore& store, qint64 from, qint64 to, int columns) {
    TReduction& r = reduction_;
    const qint64 span = to - from;
    if (store_ != &store || columns != r.Columns || columns <= 0 || span != r.To - r.From ||
        from < r.From)
        return false;
    // The same range takes its new points whatever its columns' width; a range moved on, only
    // by whole columns.
    const qint64 width = span % columns == 0 ? span / columns : 0;
    if (from != r.From && (width == 0 || (from - r.From) % width != 0))
        return false;
    // Only appended to since: one revision per point (a store cleared starts its sequence anew).
    const std::uint64_t end = store.EndSequence();
    if (end < seenEnd_ || store.Revision() - revision_ != end - seenEnd_)
        return false;
    // A point dropped from the ring that the new range would still hold: the range must lose it.
    if (store.FirstSequence() > next_ ||
        (store.FirstSequence() != seenFirst_ && !store.Empty() && store.At(0).Time >= from))
        return false;
    const qint64 shift = from == r.From ? 0 : (from - r.From) / width;
    if (shift >= columns)
        return false;
    if (shift > 0) {
        const auto drop = static_cast<std::ptrdiff_t>(shift);
        const auto slide = [drop](auto& values) {
            std::move(values.begin() + drop, values.end(), values.begin());
            using TValue = typename std::decay_t<decltype(values)>::value_type;
            std::fill(values.end() - drop, values.end(), TValue{});
        };
        slide(r.HasData);
        slide(r.HasGap);
        slide(r.Points);
        for (auto& series : r.Series)
            slide(series);
    }
    r.From = from;
    r.To = to;
    TakeNew(store);
    TotalsFromColumns(r);
    return true;
}

void TLiveReduction::TakeNew(const THistoryStore& store) {
    const std::uint64_t end = store.EndSequence();
    for (; next_ < end; ++next_) {
        const TPoint& point = store.At(static_cast<std::size_t>(next_ - store.FirstSequence()));
        if (point.Time >= reduction_.To)
            break;
        if (point.Time >= reduction_.From)
            Take(reduction_, point);
    }
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
