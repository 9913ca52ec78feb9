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
#include <vector>

namespace history {

struct TColumnValues {
    float Min = 0, Max = 0, First = 0, Last = 0;
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
    std::array<std::vector<TColumnValues>, kSeriesCount> Series;
    // Over the whole range, from the same pass.
    std::array<TSeriesStats, kSeriesCount> Totals{};

    // The column a time falls in, -1 before the range, Columns after it.
    int ColumnOf(qint64 time) const;
};

TReduction Reduce(const THistoryStore& store, qint64 from, qint64 to, int columns);

std::array<TSeriesStats, kSeriesCount> Stats(const THistoryStore& store, qint64 from, qint64 to);

} // namespace history
