#pragma once
// Drawing the history chart with QPainter: the legend with each series' min, max and mean over the
// range shown, the time axis below, volts on the left, counts on the right, the series as lines
// from the min/max reduction (one column per device pixel, so a high-DPI screen gets all its
// detail), and the cursor line with the values under it. No widget: the chart, its export and the
// benchmark draw the same way.

#include "history/Reduce.h"
#include "history/Store.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <array>
#include <optional>

class QPainter;

namespace history {

struct TChartView {
    qint64 From = 0, To = 1; // the time range shown, [From, To)
    std::array<bool, kSeriesCount> Visible{true, true, true, true, true, true};
    std::optional<double> CursorX; // in the painter's logical pixels
};

// The parts of the chart in logical pixels, for a size and font.
struct TChartLayout {
    QRectF Legend;
    QRectF Plot;
    double LegendRowHeight = 0;
    double LegendColumnWidth = 0;
};
TChartLayout LayoutChart(QSizeF size, const QFont& font);

// The series a legend entry at `point` stands for, if any.
std::optional<int> LegendEntryAt(const TChartLayout& layout, QPointF point);

// The pixel columns of the plot: one per device pixel.
int PlotColumns(const TChartLayout& layout, double dpr);

// `dpr`: device pixels per logical pixel of the target.
void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view);
// The same with the reduction of the view's range into PlotColumns columns already made (a chart
// keeps it from one poll to the next).
void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view, const TReduction& reduction);

// The plot's picture (grid, gap bands, series, in device pixels) kept by a chart from one
// drawing to the next. A following chart moves by whole columns: the picture is then scrolled by
// as many and only the columns that changed are drawn, from the first one whose reduction differs
// from what was drawn there. Anything else (size, zoom, the value axes, the series shown, lines
// that would cross into the columns kept) draws it whole.
struct TPlotPicture {
    QImage Image;
    TReduction Drawn; // the columns the picture shows
    TChartView View;
    std::array<double, 4> Ranges{}; // the volts' and the counts' low and high
    double Dpr = 0;
    // How many drawings there were, and how many of them drew only the changed columns.
    std::size_t Drawings = 0, Partial = 0;
};
// The same, keeping the plot's picture in `picture`.
void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view, const TReduction& reduction, TPlotPicture& picture);

// The index of the measurement nearest to `time` within `tolerance` milliseconds, if any.
std::optional<std::size_t> NearestMeasurement(const THistoryStore& store, qint64 time,
                                              qint64 tolerance);

} // namespace history
