#pragma once
// The history chart: the store's measurements over a time range, zoomed with the wheel or + and -,
// moved by dragging or with the arrow keys; Home goes to the oldest, End back to the latest and
// on following it. While it follows, new measurements move the range along.

#include "history/ChartRender.h"
#include "history/Reduce.h"
#include "history/Store.h"

#include <QWidget>

namespace history {

class THistoryChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kShortestSpan = 10'000;              // 10 s
    static constexpr qint64 kLongestSpan = 31LL * 24 * 3600'000; // a month
    static constexpr qint64 kDefaultSpan = 10 * 60'000;          // ten minutes

    explicit THistoryChart(QWidget* parent = nullptr);

    // The store shown (not owned); null shows an empty chart.
    void SetStore(const THistoryStore* store);
    const THistoryStore* Store() const { return store_; }
    // The store has changed: a following chart moves to its latest measurement.
    void Refresh();

    const TChartView& View() const { return view_; }
    void SetRange(qint64 from, qint64 to);
    // Shows the whole store.
    void ShowAll();
    // The pixel columns the plot has now.
    int Columns() const;
    // A reduction of the store over the range shown, made elsewhere (off this thread): drawn
    // without reducing again, if it was made for the range and columns shown.
    void Adopt(TReduction reduction);
    void SetFollow(bool follow);
    bool Follow() const { return follow_; }
    void SetSeriesVisible(int series, bool visible);
    bool SeriesVisible(int series) const { return view_.Visible[static_cast<std::size_t>(series)]; }
    // Zooms by `factor` (below 1 in, above 1 out) around the time at `x`, or the middle.
    void Zoom(double factor, std::optional<double> x = std::nullopt);
    // Moves by a share of the span shown: -0.1 a tenth back in time.
    void Pan(double share);

    // What a screen reader says about the range: its first and last time, each series' min, max
    // and mean.
    QString RangeDescription() const;

signals:
    void FollowChanged(bool follow);
    void SeriesVisibilityChanged(int series, bool visible);
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Changed();
    void StopFollowing();
    qint64 Span() const { return view_.To - view_.From; }

    const THistoryStore* store_ = nullptr;
    TChartView view_;
    // Kept from poll to poll; the description reads its totals too (a cache, hence mutable).
    mutable TLiveReduction reduction_;
    const TReduction& Reduction() const;
    // The plot's picture, kept so a poll draws only the columns it changed.
    TPlotPicture picture_;
    bool follow_ = true;
    // The span a following chart shows once the data is longer; shorter data is shown whole.
    qint64 followSpan_ = kDefaultSpan;
    std::optional<QPointF> dragFrom_;
    qint64 dragRangeFrom_ = 0;
};

} // namespace history
