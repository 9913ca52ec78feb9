#include "history/ChartRender.h"

#include "history/Axes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace history {

namespace {

constexpr double kAxisWidth = 52;
constexpr double kMargin = 6;
constexpr int kLegendColumns = 2;

struct TValueRange {
    double Low = 0, High = 1;
    double Step = 0.5;
};

// The range of the visible series of one kind, padded and rounded out to its ticks.
TValueRange RangeOf(const TReduction& reduction, const TChartView& view, bool volts) {
    double low = 0, high = 0;
    bool any = false;
    for (int s = 0; s < kSeriesCount; ++s) {
        if (!view.Visible[static_cast<std::size_t>(s)] || SeriesInfo(s).Volts != volts)
            continue;
        const auto& columns = reduction.Series[static_cast<std::size_t>(s)];
        for (int c = 0; c < reduction.Columns; ++c) {
            if (!reduction.HasData[static_cast<std::size_t>(c)])
                continue;
            const TColumnValues& v = columns[static_cast<std::size_t>(c)];
            if (!any) {
                low = v.Min;
                high = v.Max;
                any = true;
            }
            low = std::min(low, double(v.Min));
            high = std::max(high, double(v.Max));
        }
    }
    if (!any)
        return volts ? TValueRange{0, 5, 1} : TValueRange{0, 255, 50};
    if (high - low < (volts ? 0.1 : 2)) {
        const double middle = (high + low) / 2;
        low = middle - (volts ? 0.05 : 1);
        high = middle + (volts ? 0.05 : 1);
    }
    const double step = NiceStep(high - low, 5);
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

double YOf(double value, const TValueRange& range, const QRectF& plot) {
    return plot.bottom() - (value - range.Low) / (range.High - range.Low) * plot.height();
}

QString Number(double value, bool volts) {
    return QLocale::c().toString(value, 'f', volts ? 2 : 1);
}

void DrawLegend(QPainter& painter, const TChartLayout& layout, const TReduction& reduction,
                const TChartView& view) {
    const auto& stats = reduction.Totals;
    const QFontMetricsF metrics(painter.font());
    for (int s = 0; s < kSeriesCount; ++s) {
        const TSeriesInfo& info = SeriesInfo(s);
        const bool visible = view.Visible[static_cast<std::size_t>(s)];
        const double x = layout.Legend.left() + (s % kLegendColumns) * layout.LegendColumnWidth;
        const double y = layout.Legend.top() + (s / kLegendColumns) * layout.LegendRowHeight;
        const QRectF swatch(x, y + layout.LegendRowHeight / 2 - 5, 18, 10);
        painter.setPen(QPen(info.Colour, 1));
        painter.setBrush(visible ? QBrush(info.Colour) : Qt::NoBrush);
        painter.drawRect(swatch);
        QString text = SeriesName(s);
        const TSeriesStats& st = stats[static_cast<std::size_t>(s)];
        if (st.Count > 0)
            text += QStringLiteral("   ") +
                    QCoreApplication::translate("history", "мин %1  макс %2  ср %3")
                        .arg(Number(st.Min, info.Volts), Number(st.Max, info.Volts),
                             Number(st.Mean, info.Volts));
        painter.setPen(visible ? QColor(Qt::black) : QColor(Qt::gray));
        painter.drawText(QRectF(x + 24, y, layout.LegendColumnWidth - 28, layout.LegendRowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, layout.LegendColumnWidth - 28));
    }
}

// The ticks and labels below the plot; the grid lines are the plot picture's.
void DrawTimeAxis(QPainter& painter, const QRectF& plot, const TChartView& view,
                  const std::vector<TTick>& ticks) {
    const QFontMetricsF metrics(painter.font());
    const double span = static_cast<double>(view.To - view.From);
    for (const TTick& tick : ticks) {
        const double x = std::round(plot.left() + static_cast<double>(tick.Time - view.From) /
                                                      span * plot.width());
        painter.setPen(Qt::black);
        painter.drawLine(QLineF(x, plot.bottom(), x, plot.bottom() + 4));
        const double width = metrics.horizontalAdvance(tick.Label) + 4;
        painter.drawText(QRectF(x - width / 2, plot.bottom() + 5, width, metrics.height()),
                         Qt::AlignCenter, tick.Label);
        if (!tick.DateLabel.isEmpty()) {
            const double dateWidth = metrics.horizontalAdvance(tick.DateLabel) + 4;
            painter.drawText(QRectF(x - dateWidth / 2, plot.bottom() + 5 + metrics.height(),
                                    dateWidth, metrics.height()),
                             Qt::AlignCenter, tick.DateLabel);
        }
    }
}

void DrawValueAxis(QPainter& painter, const QRectF& plot, const TValueRange& range, bool left,
                   const QString& unitName) {
    const QFontMetricsF metrics(painter.font());
    for (double value : ValueTicks(range.Low, range.High, range.Step)) {
        const double y = std::round(YOf(value, range, plot));
        painter.setPen(Qt::black);
        const double edge = left ? plot.left() : plot.right();
        painter.drawLine(QLineF(edge, y, edge + (left ? -4 : 4), y));
        const QRectF box =
            left ? QRectF(0, y - metrics.height() / 2, edge - 6, metrics.height())
                 : QRectF(edge + 6, y - metrics.height() / 2, kAxisWidth - 6, metrics.height());
        painter.drawText(box, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                         ValueText(value, range.Step));
    }
    // The right one ends at the chart's edge, so a long unit name stays whole.
    const QRectF label =
        left ? QRectF(0, plot.top() - metrics.height() - 2, kAxisWidth, metrics.height())
             : QRectF(plot.right() - kAxisWidth, plot.top() - metrics.height() - 2,
                      2 * kAxisWidth - 2, metrics.height());
    painter.drawText(label, left ? Qt::AlignLeft : Qt::AlignRight, unitName);
}

// Each column's min..max as a vertical run of device pixels, reaching to the previous column's
// last value when the line comes from there, written straight into a layer: a day of noisy data
// fills most of the plot, far faster this way than stroke by stroke. A line that spans empty
// columns (points sparser than pixels) is drawn as a line. No line enters or leaves a column
// holding a gap.
// Only the columns from `begin` on are written; false, with nothing written, when a line from a
// column before `begin` would have to be drawn (the columns kept would change).
bool DrawSeries(QImage& layer, std::vector<QLineF>& spans, const TReduction& reduction, int series,
                const TValueRange& range, double dpr, int begin) {
    const auto& columns = reduction.Series[static_cast<std::size_t>(series)];
    const QRgb colour = SeriesInfo(series).Colour.rgba();
    const int height = layer.height();
    const double scale = (height - 1) / (range.High - range.Low);
    const auto row = [&](float value) {
        return std::clamp(static_cast<int>(std::lround((range.High - value) * scale)), 0,
                          height - 1);
    };
    const int width = std::min(reduction.Columns, layer.width());
    // Each column's run, then written row by row: the layer is filled in memory order.
    // An empty column starts below the layer, so no row falls in it.
    std::vector<int> tops(static_cast<std::size_t>(width), height + 1),
        lengths(static_cast<std::size_t>(width), 0);
    bool joined = false;
    int previousColumn = -1, previousRow = 0;
    for (int c = 0; c < width; ++c) {
        const auto index = static_cast<std::size_t>(c);
        const bool gap = reduction.HasGap[index] != 0;
        if (!reduction.HasData[index]) {
            if (gap)
                joined = false;
            continue;
        }
        const TColumnValues& v = columns[index];
        int top = row(v.Max), bottom = row(v.Min);
        if (joined && !gap) {
            if (previousColumn == c - 1) {
                top = std::min(top, previousRow);
                bottom = std::max(bottom, previousRow);
            } else if (c >= begin) {
                if (previousColumn < begin)
                    return false;
                spans.emplace_back((previousColumn + 0.5) / dpr, previousRow / dpr, (c + 0.5) / dpr,
                                   row(v.First) / dpr);
            }
        }
        tops[index] = top;
        lengths[index] = bottom - top;
        previousColumn = c;
        previousRow = row(v.Last);
        joined = !gap;
    }
    uchar* bits = layer.bits();
    const qsizetype stride = layer.bytesPerLine();
    const auto from = static_cast<std::size_t>(std::clamp(begin, 0, width));
    int filled = 0, first = height, last = -1;
    for (std::size_t c = from; c < tops.size(); ++c)
        if (tops[c] <= height) {
            ++filled;
            first = std::min(first, tops[c]);
            last = std::max(last, tops[c] + lengths[c]);
        }
    if (filled * 8 < width - static_cast<int>(from)) {
        // Few columns (a short range): each run on its own is cheaper than a sweep of the rows.
        for (std::size_t c = from; c < tops.size(); ++c)
            for (int y = tops[c]; y <= std::min(tops[c] + lengths[c], height - 1); ++y)
                reinterpret_cast<QRgb*>(bits + y * stride)[c] = colour;
        return true;
    }
    for (int y = first; y <= last; ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        for (std::size_t c = from; c < static_cast<std::size_t>(width); ++c)
            if (static_cast<unsigned>(y - tops[c]) <= static_cast<unsigned>(lengths[c]))
                line[c] = colour;
    }
    return true;
}

// The first column of `now` whose reduction differs from column `c + shift` of `was` (the columns
// drawn before the range moved on by `shift` columns).
int FirstChanged(const TReduction& was, const TReduction& now, int shift) {
    for (int c = 0; c < now.Columns; ++c) {
        const int o = c + shift;
        if (o >= was.Columns)
            return c;
        const auto i = static_cast<std::size_t>(c), j = static_cast<std::size_t>(o);
        if (now.HasData[i] != was.HasData[j] || now.HasGap[i] != was.HasGap[j])
            return c;
        if (!now.HasData[i])
            continue;
        for (std::size_t s = 0; s < static_cast<std::size_t>(kSeriesCount); ++s) {
            const TColumnValues& a = now.Series[s][i];
            const TColumnValues& b = was.Series[s][j];
            if (a.Min != b.Min || a.Max != b.Max || a.First != b.First || a.Last != b.Last)
                return c;
        }
    }
    return now.Columns;
}

// The plot's picture from column `begin` on: white, the grid, the gap bands, the series. False
// when it could not be drawn from there (see DrawSeries); drawn whole, it always is.
bool DrawPlot(QImage& image, const QRectF& plot, const TReduction& reduction,
              const TChartView& view, const TValueRange& volts, const TValueRange& counts,
              double dpr, int begin, const std::vector<TTick>& ticks) {
    const QRectF area(plot.left() + begin / dpr, plot.top(), plot.width() - begin / dpr + 1,
                      plot.height() + 1);
    {
        QPainter painter(&image);
        painter.translate(-plot.left(), -plot.top());
        painter.setClipRect(area);
        painter.fillRect(area, Qt::white);
        painter.setPen(QColor(0xe4, 0xe4, 0xe4));
        for (double value : ValueTicks(volts.Low, volts.High, volts.Step)) {
            const double y = std::round(YOf(value, volts, plot));
            painter.drawLine(QLineF(plot.left(), y, plot.right(), y));
        }
        const double span = static_cast<double>(view.To - view.From);
        for (const TTick& tick : ticks) {
            const double x = std::round(plot.left() + static_cast<double>(tick.Time - view.From) /
                                                          span * plot.width());
            painter.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
        }
        // Gaps as a light band from the gap to the next measurement, so a pause is seen as one.
        bool inGap = false;
        double gapStart = 0;
        for (int c = 0; c <= reduction.Columns; ++c) {
            const bool end = c == reduction.Columns;
            const auto index = static_cast<std::size_t>(std::min(c, reduction.Columns - 1));
            const double x = plot.left() + c / dpr;
            if (!end && reduction.HasGap[index] && !inGap) {
                inGap = true;
                gapStart = x;
            } else if (inGap && (end || (reduction.HasData[index] && !reduction.HasGap[index]))) {
                painter.fillRect(QRectF(gapStart, plot.top(), x - gapStart, plot.height()),
                                 QColor(0xf0, 0xf0, 0xf0));
                inGap = false;
            }
        }
    }
    for (int s = 0; s < kSeriesCount; ++s) {
        if (!view.Visible[static_cast<std::size_t>(s)])
            continue;
        std::vector<QLineF> spans;
        if (!DrawSeries(image, spans, reduction, s, SeriesInfo(s).Volts ? volts : counts, dpr,
                        begin))
            return false;
        if (!spans.empty()) {
            // Drawn in turn, so the series keep their order of drawing.
            QPainter painter(&image);
            painter.setClipRect(area.translated(-plot.topLeft()));
            painter.setPen(QPen(SeriesInfo(s).Colour, 0)); // one device pixel at any DPR
            painter.drawLines(spans.data(), static_cast<int>(spans.size()));
        }
    }
    return true;
}

// Moves the picture's pixels `columns` to the left; those coming in on the right are drawn after.
void ScrollLeft(QImage& image, int columns) {
    const int width = image.width();
    if (columns <= 0 || columns >= width)
        return;
    const qsizetype stride = image.bytesPerLine();
    uchar* bits = image.bits();
    const auto bytes = static_cast<std::size_t>(width - columns) * sizeof(QRgb);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = bits + y * stride;
        std::memmove(line, line + columns * static_cast<qsizetype>(sizeof(QRgb)), bytes);
    }
}

void DrawCursor(QPainter& painter, const QRectF& plot, const THistoryStore& store,
                const TChartView& view, double cursorX) {
    if (cursorX < plot.left() || cursorX > plot.right())
        return;
    const double span = static_cast<double>(view.To - view.From);
    const auto time =
        view.From + static_cast<qint64>((cursorX - plot.left()) / plot.width() * span);
    const auto tolerance = static_cast<qint64>(span / plot.width() * 8);
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 0, Qt::DashLine));
    painter.drawLine(QLineF(cursorX, plot.top(), cursorX, plot.bottom()));
    const auto nearest = NearestMeasurement(store, time, std::max<qint64>(tolerance, 1));
    QStringList lines;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(nearest ? store.At(*nearest).Time : time);
    lines << QLocale::c().toString(at, QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"));
    if (nearest) {
        const TPoint& point = store.At(*nearest);
        for (int s = 0; s < kSeriesCount; ++s)
            lines << SeriesName(s) + QStringLiteral(": ") +
                         Number(SeriesValue(point.Bytes, s), SeriesInfo(s).Volts);
    } else {
        lines << QCoreApplication::translate("history", "нет измерений");
    }
    const QFontMetricsF metrics(painter.font());
    double width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    QRectF box(cursorX + 8, plot.top() + 8, width + 12, lines.size() * metrics.height() + 8);
    if (box.right() > plot.right())
        box.moveRight(cursorX - 8);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(QColor(255, 255, 240, 235));
    painter.drawRect(box);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(
            QPointF(box.left() + 6, box.top() + 4 + metrics.ascent() + i * metrics.height()),
            lines[i]);
}

} // namespace

TChartLayout LayoutChart(QSizeF size, const QFont& font) {
    const QFontMetricsF metrics(font);
    TChartLayout layout;
    layout.LegendRowHeight = std::ceil(metrics.height() + 4);
    const int rows = (kSeriesCount + kLegendColumns - 1) / kLegendColumns;
    layout.Legend = QRectF(kMargin, kMargin, std::max(0.0, size.width() - 2 * kMargin),
                           rows * layout.LegendRowHeight);
    layout.LegendColumnWidth = layout.Legend.width() / kLegendColumns;
    const double top = layout.Legend.bottom() + metrics.height() + 8;
    const double bottom = size.height() - 2 * metrics.height() - 10;
    layout.Plot = QRectF(kAxisWidth, top, std::max(1.0, size.width() - 2 * kAxisWidth),
                         std::max(1.0, bottom - top));
    return layout;
}

std::optional<int> LegendEntryAt(const TChartLayout& layout, QPointF point) {
    if (!layout.Legend.contains(point) || layout.LegendColumnWidth <= 0)
        return std::nullopt;
    const int column =
        static_cast<int>((point.x() - layout.Legend.left()) / layout.LegendColumnWidth);
    const int row = static_cast<int>((point.y() - layout.Legend.top()) / layout.LegendRowHeight);
    const int series = row * kLegendColumns + std::min(column, kLegendColumns - 1);
    if (series < 0 || series >= kSeriesCount)
        return std::nullopt;
    return series;
}

std::optional<std::size_t> NearestMeasurement(const THistoryStore& store, qint64 time,
                                              qint64 tolerance) {
    // The points on either side of the time; a gap there means no value, not the one beyond it.
    const std::size_t at = store.LowerBound(time);
    std::optional<std::size_t> best;
    qint64 bestDistance = tolerance;
    for (std::size_t i : {at, at - 1}) {
        if (i >= store.Size() || store.At(i).IsGap())
            continue;
        const qint64 distance = std::abs(store.At(i).Time - time);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

int PlotColumns(const TChartLayout& layout, double dpr) {
    return std::max(1, static_cast<int>(std::floor(layout.Plot.width() * dpr)));
}

void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view) {
    const int columns = PlotColumns(LayoutChart(size, painter.font()), dpr);
    RenderChart(painter, size, dpr, store, view, Reduce(store, view.From, view.To, columns));
}

void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view, const TReduction& reduction) {
    TPlotPicture picture;
    RenderChart(painter, size, dpr, store, view, reduction, picture);
}

void RenderChart(QPainter& painter, QSizeF size, double dpr, const THistoryStore& store,
                 const TChartView& view, const TReduction& reduction, TPlotPicture& picture) {
    const TChartLayout layout = LayoutChart(size, painter.font());
    const QRectF& plot = layout.Plot;
    painter.setRenderHint(QPainter::Antialiasing, false);
    // White around the plot; the plot's picture covers the rest.
    const QRectF whole(QPointF(0, 0), size);
    painter.fillRect(QRectF(0, 0, size.width(), plot.top()), Qt::white);
    painter.fillRect(QRectF(0, plot.top(), plot.left(), plot.height() + 1), Qt::white);
    painter.fillRect(
        QRectF(plot.right(), plot.top(), whole.right() - plot.right(), plot.height() + 1),
        Qt::white);
    painter.fillRect(QRectF(0, plot.bottom(), size.width(), whole.bottom() - plot.bottom()),
                     Qt::white);
    DrawLegend(painter, layout, reduction, view);
    const TValueRange volts = RangeOf(reduction, view, true);
    const TValueRange counts = RangeOf(reduction, view, false);
    const QFontMetricsF metrics(painter.font());
    const double tickSpacing = metrics.horizontalAdvance(QStringLiteral("00:00:00")) + 24;
    const std::vector<TTick> ticks = TimeTicks(view.From, view.To, plot.width(), tickSpacing);
    DrawTimeAxis(painter, plot, view, ticks);
    DrawValueAxis(painter, plot, volts, true, QCoreApplication::translate("history", "В"));
    DrawValueAxis(painter, plot, counts, false, QCoreApplication::translate("history", "отсчёты"));

    const QSize pixels(reduction.Columns,
                       std::max(1, static_cast<int>(std::floor(plot.height() * dpr))));
    const std::array<double, 4> ranges{volts.Low, volts.High, counts.Low, counts.High};
    const TReduction& was = picture.Drawn;
    const qint64 span = view.To - view.From;
    // Drawn before over the same span and value axes, at the same place or moved on by whole
    // columns.
    int begin = 0;
    if (picture.Image.size() == pixels && picture.Dpr == dpr && picture.Ranges == ranges &&
        picture.View.Visible == view.Visible && was.Columns == reduction.Columns &&
        reduction.Columns > 0 && was.To - was.From == span && was.From == picture.View.From &&
        reduction.From == view.From) {
        qint64 shift = -1;
        if (view.From == was.From)
            shift = 0;
        else if (span % reduction.Columns == 0 && view.From > was.From &&
                 (view.From - was.From) % (span / reduction.Columns) == 0)
            shift = (view.From - was.From) / (span / reduction.Columns);
        if (shift >= 0 && shift < reduction.Columns) {
            begin = FirstChanged(was, reduction, static_cast<int>(shift));
            // The column before the first drawn must hold a value: the line comes from there.
            if (begin > 0 && !reduction.HasData[static_cast<std::size_t>(begin - 1)])
                begin = 0;
            if (begin > 0)
                ScrollLeft(picture.Image, static_cast<int>(shift));
        }
    }
    if (picture.Image.size() != pixels) {
        picture.Image = QImage(pixels, QImage::Format_RGB32);
        begin = 0;
    }
    picture.Image.setDevicePixelRatio(dpr);
    if (begin < reduction.Columns &&
        !DrawPlot(picture.Image, plot, reduction, view, volts, counts, dpr, begin, ticks)) {
        begin = 0;
        DrawPlot(picture.Image, plot, reduction, view, volts, counts, dpr, 0, ticks);
    }
    ++picture.Drawings;
    picture.Partial += begin > 0;
    picture.Drawn = reduction;
    picture.View = view;
    picture.Ranges = ranges;
    picture.Dpr = dpr;
    painter.drawImage(plot.topLeft(), picture.Image);

    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    if (view.CursorX)
        DrawCursor(painter, plot, store, view, *view.CursorX);
}

} // namespace history
