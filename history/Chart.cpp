#include "history/Chart.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace history {

THistoryChart::THistoryChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HistoryChart"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(480, 320);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QCoreApplication::translate("history", "График истории измерений"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    view_.From = now - kDefaultSpan;
    view_.To = now;
}

void THistoryChart::SetStore(const THistoryStore* store) {
    store_ = store;
    reduction_.Forget();
    Refresh();
}

void THistoryChart::Refresh() {
    if (follow_ && store_ && !store_->Empty()) {
        const qint64 first = store_->At(0).Time;
        const qint64 latest = store_->At(store_->Size() - 1).Time;
        if (latest - first < followSpan_) {
            // Less data than the span: all of it, across the chart (a few points, reduced
            // afresh each time at little cost).
            const qint64 lead = (latest - first) / 50 + 1;
            view_.From = first;
            view_.To = first + std::clamp(latest - first + lead, kShortestSpan, followSpan_);
        } else {
            // Moved by whole columns, so the reduction drawn is kept and only new points are
            // added.
            const TRange range = FollowRange(
                latest, followSpan_, PlotColumns(LayoutChart(size(), font()), devicePixelRatioF()));
            view_.From = range.From;
            view_.To = range.To;
        }
    }
    Changed();
}

void THistoryChart::SetRange(qint64 from, qint64 to) {
    const TRange range = ClampedRange(from, to, kShortestSpan, kLongestSpan);
    view_.From = range.From;
    view_.To = range.To;
    Changed();
}

void THistoryChart::ShowAll() {
    if (!store_)
        return;
    if (const auto range = WholeRange(*store_, kShortestSpan, kLongestSpan)) {
        view_.From = range->From;
        view_.To = range->To;
        Changed();
    }
}

int THistoryChart::Columns() const {
    return PlotColumns(LayoutChart(size(), font()), devicePixelRatioF());
}

void THistoryChart::Adopt(TReduction reduction) {
    // Made for another size, range or store: left to be made again when drawn.
    if (store_ && reduction.From == view_.From && reduction.To == view_.To &&
        reduction.Columns == Columns())
        reduction_.Adopt(*store_, std::move(reduction));
}

void THistoryChart::SetFollow(bool follow) {
    if (follow_ == follow)
        return;
    follow_ = follow;
    // Following again keeps the span shown then.
    if (follow_)
        followSpan_ = std::max(Span(), kShortestSpan);
    emit FollowChanged(follow_);
    Refresh();
}

void THistoryChart::StopFollowing() {
    if (follow_) {
        follow_ = false;
        emit FollowChanged(false);
    }
}

void THistoryChart::SetSeriesVisible(int series, bool visible) {
    if (series < 0 || series >= kSeriesCount || SeriesVisible(series) == visible)
        return;
    view_.Visible[static_cast<std::size_t>(series)] = visible;
    emit SeriesVisibilityChanged(series, visible);
    Changed();
}

void THistoryChart::Zoom(double factor, std::optional<double> x) {
    const TChartLayout layout = LayoutChart(size(), font());
    const double share =
        x ? std::clamp((*x - layout.Plot.left()) / layout.Plot.width(), 0.0, 1.0) : 0.5;
    const auto pivot = view_.From + static_cast<qint64>(share * static_cast<double>(Span()));
    const qint64 span = std::clamp(static_cast<qint64>(static_cast<double>(Span()) * factor),
                                   kShortestSpan, kLongestSpan);
    view_.From = pivot - static_cast<qint64>(share * static_cast<double>(span));
    view_.To = view_.From + span;
    // Zooming a following chart keeps it on the latest measurement, at the span chosen once
    // there is that much data.
    if (follow_) {
        followSpan_ = span;
        Refresh();
    } else
        Changed();
}

void THistoryChart::Pan(double share) {
    const auto shift = static_cast<qint64>(share * static_cast<double>(Span()));
    if (shift < 0)
        StopFollowing();
    view_.From += shift;
    view_.To += shift;
    Changed();
}

void THistoryChart::Changed() {
    update();
    if (QAccessible::isActive())
        setAccessibleDescription(RangeDescription());
    emit ViewChanged();
}

QString THistoryChart::RangeDescription() const {
    const QLocale c = QLocale::c();
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
    QString text = QCoreApplication::translate("history", "С %1 по %2.")
                       .arg(c.toString(QDateTime::fromMSecsSinceEpoch(view_.From), format),
                            c.toString(QDateTime::fromMSecsSinceEpoch(view_.To), format));
    if (!store_) {
        return text + QLatin1Char(' ') + QCoreApplication::translate("history", "Нет измерений.");
    }
    // The drawing's own totals: a screen reader's description costs a poll no pass over a day.
    const auto& stats = Reduction().Totals;
    if (stats[0].Count == 0)
        return text + QLatin1Char(' ') + QCoreApplication::translate("history", "Нет измерений.");
    for (int s = 0; s < kSeriesCount; ++s) {
        const TSeriesStats& st = stats[static_cast<std::size_t>(s)];
        const int decimals = SeriesInfo(s).Volts ? 2 : 1;
        text += QLatin1Char(' ') +
                QCoreApplication::translate("history", "%1: мин %2, макс %3, среднее %4.")
                    .arg(SeriesName(s), c.toString(st.Min, 'f', decimals),
                         c.toString(st.Max, 'f', decimals), c.toString(st.Mean, 'f', decimals));
    }
    return text;
}

const TReduction& THistoryChart::Reduction() const {
    static const THistoryStore kEmpty(1);
    return reduction_.Update(store_ ? *store_ : kEmpty, view_.From, view_.To, Columns());
}

void THistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    static const THistoryStore kEmpty(1);
    const TReduction& reduction = Reduction();
    RenderChart(painter, size(), devicePixelRatioF(), store_ ? *store_ : kEmpty, view_, reduction,
                picture_);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void THistoryChart::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps == 0)
        return;
    Zoom(std::pow(1.25, -steps / 120.0), event->position().x());
    event->accept();
}

void THistoryChart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        Zoom(0.5);
        break;
    case Qt::Key_Minus:
        Zoom(2.0);
        break;
    case Qt::Key_Left:
        Pan(-0.1);
        break;
    case Qt::Key_Right:
        Pan(0.1);
        break;
    case Qt::Key_Home:
        StopFollowing();
        ShowAll();
        break;
    case Qt::Key_End:
        SetFollow(true);
        Refresh();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void THistoryChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const TChartLayout layout = LayoutChart(size(), font());
    if (const auto series = LegendEntryAt(layout, event->position())) {
        SetSeriesVisible(*series, !SeriesVisible(*series));
        return;
    }
    dragFrom_ = event->position();
    dragRangeFrom_ = view_.From;
}

void THistoryChart::mouseMoveEvent(QMouseEvent* event) {
    view_.CursorX = event->position().x();
    if (dragFrom_) {
        const TChartLayout layout = LayoutChart(size(), font());
        const double dx = event->position().x() - dragFrom_->x();
        const qint64 span = Span();
        const auto shift =
            static_cast<qint64>(-dx / layout.Plot.width() * static_cast<double>(span));
        if (shift != 0)
            StopFollowing();
        view_.From = dragRangeFrom_ + shift;
        view_.To = view_.From + span;
        Changed();
        return;
    }
    update();
}

void THistoryChart::mouseReleaseEvent(QMouseEvent*) {
    dragFrom_.reset();
}

void THistoryChart::leaveEvent(QEvent*) {
    view_.CursorX.reset();
    update();
}

} // namespace history
