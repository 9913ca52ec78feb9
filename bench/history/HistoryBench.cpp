// The history's costs: a redraw of the chart at full HD over a day and over a minute of points
// (six series), the reduction alone, feeding one measurement, and reading a log of a million
// records, alone and opened in the window as a job. The log is written once into a temporary
// folder.

#include "history/ChartRender.h"
#include "history/LogReader.h"
#include "history/Reduce.h"
#include "history/Store.h"
#include "history/Window.h"
#include "unit/Record.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

constexpr qint64 kStart = 1'740'000'000'000;
constexpr qint64 kPoll = 500;
constexpr int kDay = 172'800;

TDataBlock NoisyBlock(std::mt19937& random) {
    TDataBlock b{};
    b[block::kScaleByte] = 64;
    for (int index : {block::kOs1Min, block::kOs1Max, block::kOs2Voltage, block::kOs2PulseTime,
                      block::kOs1Time1, block::kOs1Time0})
        b[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(random());
    return b;
}

const history::THistoryStore& Day() {
    static const history::THistoryStore store = [] {
        history::THistoryStore s;
        std::mt19937 random(7);
        for (int i = 0; i < kDay; ++i)
            s.Measurement(kStart + i * kPoll, NoisyBlock(random), {QStringLiteral("A"), {}});
        return s;
    }();
    return store;
}

// range(0): the seconds shown, the latest of the day.
void BM_RedrawFullHd(benchmark::State& state) {
    const history::THistoryStore& store = Day();
    QImage image(1920, 1080, QImage::Format_RGB32);
    history::TChartView view;
    view.To = kStart + kDay * kPoll;
    view.From = view.To - state.range(0) * 1000;
    view.CursorX = 900;
    for (auto _ : state) {
        QPainter painter(&image);
        history::RenderChart(painter, image.size(), 1.0, store, view);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(std::to_string(store.LowerBound(view.To) - store.LowerBound(view.From)) +
                   " points x 6 series");
}
BENCHMARK(BM_RedrawFullHd)->Arg(24 * 3600)->Arg(60)->Unit(benchmark::kMillisecond);

void BM_ReduceDay(benchmark::State& state) {
    const history::THistoryStore& store = Day();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            history::Reduce(store, kStart, kStart + kDay * kPoll, 1800).HasData.data());
}
BENCHMARK(BM_ReduceDay)->Unit(benchmark::kMillisecond);

// One live poll into a chart following a full day at 1920x1080: the measurement goes into the
// store, the range moves on as the chart's does, and the kept reduction takes the new point;
// range(0) 1 draws the chart too. The day's store is copied, so the polls go on from its end.
void BM_LivePollFullHd(benchmark::State& state) {
    history::THistoryStore store = Day();
    QImage image(1920, 1080, QImage::Format_RGB32);
    const int columns = history::PlotColumns(history::LayoutChart(image.size(), QFont()), 1.0);
    const qint64 span = 24 * 3600'000LL;
    std::mt19937 random(11);
    const unit::TUnitIdentity unit{QStringLiteral("A"), {}};
    history::TLiveReduction live;
    history::TPlotPicture picture;
    history::TChartView view;
    qint64 time = store.At(store.Size() - 1).Time;
    std::size_t incremental = 0, polls = 0;
    for (auto _ : state) {
        store.Measurement(time += kPoll, NoisyBlock(random), unit);
        const history::TRange range = history::FollowRange(time, span, columns);
        view.From = range.From;
        view.To = range.To;
        const history::TReduction& reduction = live.Update(store, view.From, view.To, columns);
        incremental += live.Incremental();
        ++polls;
        if (state.range(0)) {
            QPainter painter(&image);
            history::RenderChart(painter, image.size(), 1.0, store, view, reduction, picture);
        }
        benchmark::DoNotOptimize(reduction.Totals.data());
    }
    state.counters["incremental_share"] =
        polls ? static_cast<double>(incremental) / static_cast<double>(polls) : 0;
    if (state.range(0))
        state.counters["partial_draw_share"] =
            picture.Drawings
                ? static_cast<double>(picture.Partial) / static_cast<double>(picture.Drawings)
                : 0;
    state.SetLabel(state.range(0) ? "reduce and draw" : "reduce only");
}
BENCHMARK(BM_LivePollFullHd)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FeedOne(benchmark::State& state) {
    history::THistoryStore store;
    std::mt19937 random(1);
    const TDataBlock b = NoisyBlock(random);
    const unit::TUnitIdentity unit{QStringLiteral("A"), QStringLiteral("1-1")};
    qint64 time = kStart;
    for (auto _ : state)
        store.Measurement(time += kPoll, b, unit);
    state.counters["bytes_24h"] = static_cast<double>(store.MemoryBytes());
}
BENCHMARK(BM_FeedOne)->Iterations(kDay);

// A CSV log of `records` records, written once into a temporary folder.
QString LogOf(qint64 records) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log-%1.csv").arg(records));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    std::mt19937 random(3);
    QByteArray chunk = unit::CsvHeader().toUtf8();
    const unit::TUnitIdentity unit{QStringLiteral("SN-0001"), QStringLiteral("1-1.2")};
    for (qint64 i = 0; i < records; ++i) {
        chunk += unit::CsvRecord(QDateTime::fromMSecsSinceEpoch(kStart + i * kPoll),
                                 NoisyBlock(random), unit)
                     .toUtf8();
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return path;
}

// range(0): records in the log.
void BM_OpenLog(benchmark::State& state) {
    const QString path = LogOf(state.range(0));
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the log");
        return;
    }
    std::size_t records = 0;
    for (auto _ : state) {
        history::TLogReader reader(path);
        reader.ReadMore();
        records = reader.Records();
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["file_MB"] = static_cast<double>(QFile(path).size()) / 1e6;
}
BENCHMARK(BM_OpenLog)->Arg(1'000'000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The window opening a log as the user does, at 1920x1080: the time from OpenLog to the chart
// drawn with all of it, and meanwhile the worst round trip of an event posted to the window's
// thread every 10 ms from another thread (what a click or a poll waits). range(0): records.
void BM_OpenLogInWindow(benchmark::State& state) {
    const QString path = LogOf(state.range(0));
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the log");
        return;
    }
    history::THistoryStore live;
    history::THistoryWindow window(&live);
    window.resize(1920, 1080);
    window.show();
    QObject target;
    double worstMs = 0, totalMs = 0, drawMs = 0;
    for (auto _ : state) {
        std::atomic<bool> ticking{true};
        std::atomic<qint64> worst{0};
        QElapsedTimer clock;
        clock.start();
        // Posted from a thread of its own: a blocked event loop can't hold the posting back.
        std::thread ticker([&] {
            while (ticking) {
                const qint64 posted = clock.nsecsElapsed();
                QMetaObject::invokeMethod(
                    &target,
                    [&worst, &clock, posted] {
                        const qint64 trip = clock.nsecsElapsed() - posted;
                        qint64 was = worst.load();
                        while (trip > was && !worst.compare_exchange_weak(was, trip)) {
                        }
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        bool done = false;
        const QMetaObject::Connection opened = QObject::connect(
            &window, &history::THistoryWindow::LogOpened, [&done] { done = true; });
        window.OpenLog(path);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const qint64 shown = clock.nsecsElapsed();
        window.Chart->repaint(); // the first full chart
        const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        drawMs = std::max(drawMs, static_cast<double>(clock.nsecsElapsed() - shown) / 1e6);
        // The round trips of the last posts are in before the ticker stops.
        QCoreApplication::processEvents();
        ticking = false;
        ticker.join();
        QCoreApplication::processEvents();
        QObject::disconnect(opened);
        state.SetIterationTime(elapsed);
        totalMs = std::max(totalMs, elapsed * 1000);
        worstMs = std::max(worstMs, static_cast<double>(worst.load()) / 1e6);
        window.ShowLive();
    }
    state.counters["worst_round_trip_ms"] = worstMs;
    state.counters["slowest_open_ms"] = totalMs;
    state.counters["first_draw_ms"] = drawMs;
}
BENCHMARK(BM_OpenLogInWindow)
    ->Arg(1'000'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
