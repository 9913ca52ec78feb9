#pragma once
// Min/max reduction of the points in a time range to one entry per pixel column: each column keeps
// the lowest and highest value of every series among its points, and the first and last (for the
// lines between columns). Whatever the zoom, every point lands in exactly one column, so no peak
// is lost, and the cost is one pass over the points in range, so a day draws as fast as the
// pixels allow. A column that holds a gap is marked: the line breaks there at every zoom.

#include "history/Series.h"
#include "history/Store.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace history {

struct TColumnValues {
    float Min = 0, Max = 0, First = 0, Last = 0;
    double Sum = 0; // of the column's values, for the range's mean
};

// Min, max and mean of one series over the measurements in [from, to).
struct TSeriesStats {
    double Min = 0, Max = 0, Mean = 0;
    std::size_t Count = 0;
};

struct TReduction {
    qint64 From = 0, To = 0; // the range [From, To) split evenly into the columns
    int Columns = 0;
    std::vector<std::uint8_t> HasData; // 1 where a column holds a measurement
    std::vector<std::uint8_t> HasGap;  // 1 where a column holds a gap
    std::vector<std::uint32_t> Points; // the measurements in each column
    std::array<std::vector<TColumnValues>, kSeriesCount> Series;
    // Over the whole range, from the same pass.
    std::array<TSeriesStats, kSeriesCount> Totals{};

    // The column a time falls in, -1 before the range, Columns after it.
    int ColumnOf(qint64 time) const;
};

TReduction Reduce(const THistoryStore& store, qint64 from, qint64 to, int columns);

// The range a chart following the latest measurement `latest` shows, about `span` long in
// `columns` columns: a little room after the latest, and, once a column holds 100 ms or more, the
// span rounded to whole milliseconds a column (a change of under one part in a hundred) and the
// range moved by whole columns only, so that TLiveReduction keeps the columns from poll to poll.
struct TRange {
    qint64 From = 0, To = 0;
};
TRange FollowRange(qint64 latest, qint64 span, int columns);
// The range that shows all of a store with a little room after its latest point, its span kept
// within [shortest, longest] around its middle; nothing for an empty store.
std::optional<TRange> WholeRange(const THistoryStore& store, qint64 shortest, qint64 longest);
// A range's span kept within [shortest, longest] around its middle.
TRange ClampedRange(qint64 from, qint64 to, qint64 shortest, qint64 longest);

// A reduction kept from one poll to the next. A chart that follows the latest measurement moves by
// whole columns (the range's start on a multiple of the column's width), so the columns it still
// shows keep their points: Update() shifts them, reduces only the points appended since and takes
// the totals from the columns, a cost of the new points and the columns rather than of a day of
// points. Any other change (another store, zoom, a move back, a store cleared, points dropped from
// the store that the range still held) reduces anew.
class TLiveReduction {
public:
    const TReduction& Update(const THistoryStore& store, qint64 from, qint64 to, int columns);
    const TReduction& Current() const { return reduction_; }
    void Forget() { store_ = nullptr; }
    // Takes a reduction of `store` made elsewhere (a log's reading thread) as if Update had made
    // it: the next Update of the same range costs nothing.
    void Adopt(const THistoryStore& store, TReduction reduction);
    // Whether the last Update took only the new points.
    bool Incremental() const { return incremental_; }

private:
    bool Advance(const THistoryStore& store, qint64 from, qint64 to, int columns);
    // Takes the points from sequence `next_` on that fall before the range's end.
    void TakeNew(const THistoryStore& store);

    TReduction reduction_;
    const THistoryStore* store_ = nullptr;
    std::uint64_t revision_ = 0;                // the store's revision when last seen
    std::uint64_t seenFirst_ = 0, seenEnd_ = 0; // and its first and end sequences
    std::uint64_t next_ = 0;                    // the sequence of the first point not reduced yet
    bool incremental_ = false;
};

std::array<TSeriesStats, kSeriesCount> Stats(const THistoryStore& store, qint64 from, qint64 to);

} // namespace history
