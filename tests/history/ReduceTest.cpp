#include "HistoryTestSupport.h"

#include "history/ChartRender.h"
#include "history/Reduce.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

using namespace history;
using namespace historytest;

namespace {

const unit::TUnitIdentity kUnit{QStringLiteral("A"), {}};
constexpr int kDay = 172'800;
constexpr double kVolt = 1.1 / 64; // one count at scale 64

// A day of flat points with one spike of OS1 min at `spikeAt`.
THistoryStore FlatDayWithSpike(int spikeAt) {
    THistoryStore store;
    for (int i = 0; i < kDay; ++i)
        store.Measurement(kStart + i * kPoll, Block(i == spikeAt ? 250 : 40), kUnit);
    return store;
}

} // namespace

TEST(Reduce, ASpikeInADayStaysInItsColumnsMaxAtEveryZoom) {
    const int spikeAt = 123'457;
    const THistoryStore store = FlatDayWithSpike(spikeAt);
    const qint64 spikeTime = kStart + spikeAt * kPoll;
    for (int columns : {1, 7, 300, 1920, 3840, 200'000}) {
        const TReduction r = Reduce(store, kStart, kStart + kDay * kPoll, columns);
        const int spikeColumn = r.ColumnOf(spikeTime);
        int columnsAtSpike = 0;
        for (int c = 0; c < columns; ++c) {
            if (!r.HasData[static_cast<std::size_t>(c)])
                continue;
            const TColumnValues& v = r.Series[0][static_cast<std::size_t>(c)];
            EXPECT_FLOAT_EQ(v.Min, c == spikeColumn && columns > kDay ? 250 * kVolt : 40 * kVolt)
                << columns << " columns, column " << c;
            if (v.Max > 40 * kVolt + 1e-6) {
                ++columnsAtSpike;
                EXPECT_EQ(c, spikeColumn);
                EXPECT_FLOAT_EQ(v.Max, 250 * kVolt);
            }
        }
        EXPECT_EQ(columnsAtSpike, 1) << columns << " columns";
    }
}

TEST(Reduce, AZoomedInRangeHoldsOnlyItsPoints) {
    const THistoryStore store = FlatDayWithSpike(10);
    const TReduction r = Reduce(store, kStart + 20 * kPoll, kStart + 30 * kPoll, 10);
    for (int c = 0; c < 10; ++c) {
        EXPECT_TRUE(r.HasData[static_cast<std::size_t>(c)]);
        EXPECT_FLOAT_EQ(r.Series[0][static_cast<std::size_t>(c)].Max, 40 * kVolt);
    }
}

TEST(Reduce, AGapIsMarkedInItsColumnAtEveryZoom) {
    THistoryStore store;
    for (int i = 0; i < 1000; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), kUnit);
    const qint64 gapTime = kStart + 1000 * kPoll;
    store.Gap(gapTime, TGapReason::Unplugged);
    for (int i = 0; i < 1000; ++i)
        store.Measurement(kStart + (1200 + i) * kPoll, Block(40), kUnit);
    const qint64 end = kStart + 2200 * kPoll;
    for (int columns : {1, 2, 5, 64, 1920, 5000, 100'000}) {
        const TReduction r = Reduce(store, kStart, end, columns);
        int gaps = 0;
        for (int c = 0; c < columns; ++c)
            gaps += r.HasGap[static_cast<std::size_t>(c)];
        EXPECT_EQ(gaps, 1) << columns;
        EXPECT_TRUE(r.HasGap[static_cast<std::size_t>(r.ColumnOf(gapTime))]) << columns;
    }
}

TEST(Reduce, NoLineCrossesAGapWhenDrawn) {
    // Two stretches at different heights with a gap between: the pixel columns of the gap stay
    // free of the line, whatever the zoom.
    THistoryStore store;
    for (int i = 0; i < 600; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), kUnit);
    store.Gap(kStart + 600 * kPoll, TGapReason::NoAnswer);
    for (int i = 0; i < 600; ++i)
        store.Measurement(kStart + (1200 + i) * kPoll, Block(200), kUnit);
    for (qint64 span : {1800 * kPoll, 20'000 * kPoll}) {
        QImage image(800, 400, QImage::Format_RGB32);
        TChartView view;
        view.From = kStart;
        view.To = kStart + span;
        view.Visible = {true, false, false, false, false, false};
        {
            QPainter painter(&image);
            RenderChart(painter, image.size(), 1.0, store, view);
        }
        const TChartLayout layout = LayoutChart(image.size(), QFont());
        const auto xOf = [&](qint64 t) {
            return layout.Plot.left() + double(t - view.From) / double(span) * layout.Plot.width();
        };
        const QRgb line = SeriesInfo(0).Colour.rgb();
        int before = 0, inside = 0;
        for (int x = int(layout.Plot.left()) + 1; x < int(layout.Plot.right()); ++x)
            for (int y = int(layout.Plot.top()) + 1; y < int(layout.Plot.bottom()); ++y) {
                if (image.pixel(x, y) != line)
                    continue;
                if (x < xOf(kStart + 599 * kPoll) - 1)
                    ++before;
                else if (x > xOf(kStart + 600 * kPoll) + 1 && x < xOf(kStart + 1200 * kPoll) - 1)
                    ++inside;
            }
        EXPECT_GT(before, 0) << span;
        EXPECT_EQ(inside, 0) << span;
    }
}

TEST(Stats, MinMaxAndMeanOfTheRange) {
    THistoryStore store;
    store.Measurement(kStart, Block(10), kUnit);
    store.Measurement(kStart + kPoll, Block(20), kUnit);
    store.Gap(kStart + 2 * kPoll, TGapReason::FailedRead);
    store.Measurement(kStart + 3 * kPoll, Block(60), kUnit);
    const auto all = Stats(store, kStart, kStart + 4 * kPoll);
    EXPECT_EQ(all[0].Count, 3u);
    EXPECT_DOUBLE_EQ(all[0].Min, 10 * kVolt);
    EXPECT_DOUBLE_EQ(all[0].Max, 60 * kVolt);
    EXPECT_NEAR(all[0].Mean, 30 * kVolt, 1e-12);
    const auto first = Stats(store, kStart, kStart + kPoll);
    EXPECT_EQ(first[0].Count, 1u);
}

namespace {

// The reduction a chart following the latest poll keeps, checked against one made afresh.
void ExpectSame(const TReduction& kept, const TReduction& fresh, qint64 poll) {
    ASSERT_EQ(kept.Columns, fresh.Columns);
    EXPECT_EQ(kept.HasData, fresh.HasData) << "poll " << poll;
    EXPECT_EQ(kept.HasGap, fresh.HasGap) << "poll " << poll;
    EXPECT_EQ(kept.Points, fresh.Points) << "poll " << poll;
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        for (std::size_t c = 0; c < static_cast<std::size_t>(kept.Columns); ++c) {
            if (!fresh.HasData[c])
                continue;
            const TColumnValues &a = kept.Series[s][c], &b = fresh.Series[s][c];
            ASSERT_TRUE(a.Min == b.Min && a.Max == b.Max && a.First == b.First && a.Last == b.Last)
                << "poll " << poll << ", series " << s << ", column " << c;
        }
        EXPECT_EQ(kept.Totals[s].Count, fresh.Totals[s].Count);
        EXPECT_EQ(kept.Totals[s].Max, fresh.Totals[s].Max);
        EXPECT_NEAR(kept.Totals[s].Mean, fresh.Totals[s].Mean, 1e-9);
    }
}

} // namespace

TEST(LiveReduction, FollowingPollByPollMatchesAFreshReductionWithSpikeAndGap) {
    // 300 columns of 2 s: ten minutes shown, moved by whole columns as the chart moves.
    constexpr int kColumns = 300;
    constexpr qint64 kWidth = 2000;
    for (std::size_t capacity : {std::size_t{0}, std::size_t{1500}}) {
        THistoryStore store(capacity);
        TLiveReduction live;
        int incremental = 0;
        for (int i = 0; i < 3000; ++i) {
            const qint64 time = kStart + i * kPoll;
            if (i == 1000)
                store.Gap(time, TGapReason::NoAnswer);
            else if (i < 1000 || i > 1100)
                store.Measurement(time, Block(i == 2000 ? 250 : 40 + i % 7), kUnit);
            const qint64 to = (time + kWidth) / kWidth * kWidth;
            const qint64 from = to - kColumns * kWidth;
            const TReduction& kept = live.Update(store, from, to, kColumns);
            incremental += live.Incremental();
            ExpectSame(kept, Reduce(store, from, to, kColumns), i);
            if (HasFailure())
                return;
            // The spike and the gap stay in their columns as the range moves over them.
            const auto column = [&](int poll) {
                return static_cast<std::size_t>(kept.ColumnOf(kStart + poll * kPoll));
            };
            if (i >= 2000 && kStart + 2000 * kPoll >= from) {
                EXPECT_FLOAT_EQ(kept.Series[0][column(2000)].Max, 250 * kVolt);
            }
            if (i >= 1000 && kStart + 1000 * kPoll >= from) {
                EXPECT_TRUE(kept.HasGap[column(1000)]);
            }
        }
        // Most polls took only their new point (a ring that drops points still in range can't).
        EXPECT_GT(incremental, capacity == 0 ? 2900 : 1000) << capacity;
    }
}

TEST(LiveReduction, AnyOtherChangeReducesAfresh) {
    THistoryStore store;
    for (int i = 0; i < 100; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), kUnit);
    TLiveReduction live;
    const qint64 to = kStart + 100 * kPoll;
    live.Update(store, to - 100'000, to, 100);
    live.Update(store, to - 100'000, to, 100);
    EXPECT_TRUE(live.Incremental());
    live.Update(store, to - 99'500, to + 500, 100); // not by a whole column
    EXPECT_FALSE(live.Incremental());
    live.Update(store, to - 200'000, to, 100); // zoomed out
    EXPECT_FALSE(live.Incremental());
    store.Clear();
    store.Measurement(to, Block(90), kUnit);
    const TReduction& after = live.Update(store, to - 200'000, to + 2000, 100);
    EXPECT_FALSE(live.Incremental());
    EXPECT_EQ(after.Totals[0].Count, 1u);
}

// A chart showing all of a short store keeps its range while points come: they go into its
// columns, however many milliseconds a column holds; a reduction made elsewhere is taken as is.
TEST(LiveReduction, TheSameRangeTakesNewPointsAndAnAdoptedReductionIsKept) {
    THistoryStore store;
    TLiveReduction live;
    const qint64 from = kStart, to = kStart + 10'007; // 10,007 ms in 300 columns
    for (int i = 0; i < 20; ++i) {
        store.Measurement(kStart + i * kPoll, Block(static_cast<std::uint8_t>(40 + i)), kUnit);
        const TReduction& kept = live.Update(store, from, to, 300);
        if (i > 0) {
            EXPECT_TRUE(live.Incremental()) << i;
        }
        ExpectSame(kept, Reduce(store, from, to, 300), i);
    }
    TLiveReduction adopted;
    TReduction made = Reduce(store, from, to, 300);
    made.Series[0][0].Max = 99; // marked, to tell it from one made anew
    adopted.Adopt(store, made);
    EXPECT_EQ(adopted.Update(store, from, to, 300).Series[0][0].Max, 99);
    store.Measurement(kStart + 20 * kPoll, Block(60), kUnit);
    ExpectSame(adopted.Update(store, from, to + 1, 300), Reduce(store, from, to + 1, 300), 21);
}

// A following chart scrolls its plot picture and draws only the columns a poll changed: poll
// after poll, across a gap and a spike, the chart must be the one a whole drawing gives.
TEST(PlotPicture, PollByPollItIsTheWholeDrawing) {
    THistoryStore store;
    qint64 time = kStart;
    for (int i = 0; i < 7200; ++i)
        store.Measurement(time += kPoll, Block(static_cast<std::uint8_t>(40 + i * 7 % 30)), kUnit);
    const QSize size(800, 480);
    const int columns = PlotColumns(LayoutChart(size, QFont()), 1.0);
    const qint64 span = 3600'000;
    TLiveReduction live;
    TPlotPicture picture;
    TChartView view;
    QImage drawn(size, QImage::Format_RGB32), whole(size, QImage::Format_RGB32);
    for (int poll = 0; poll < 240; ++poll) {
        if (poll == 60)
            store.Gap(time + 100, TGapReason::Unplugged);
        const std::uint8_t os1Min = poll == 120 ? 250 : static_cast<std::uint8_t>(40 + poll % 30);
        store.Measurement(time += (poll == 60 ? 20'000 : kPoll), Block(os1Min), kUnit);
        const TRange range = FollowRange(time, span, columns);
        view.From = range.From;
        view.To = range.To;
        {
            QPainter painter(&drawn);
            RenderChart(painter, size, 1.0, store, view,
                        live.Update(store, view.From, view.To, columns), picture);
        }
        if (poll % 20 != 19 && poll != 61 && poll != 121)
            continue;
        {
            QPainter painter(&whole);
            RenderChart(painter, size, 1.0, store, view);
        }
        ASSERT_EQ(drawn, whole) << "poll " << poll;
    }
    // Most polls drew only their columns.
    EXPECT_GT(picture.Partial, picture.Drawings / 2);
}
