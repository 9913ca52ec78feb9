// The poll's cost: one whole cycle against the virtual unit (read, drawing, labels, readouts), and
// the oscillogram drawing alone; and how late the window's event loop runs while the unit stalls.

#include "app/DataBlock.h"
#include "app/HistoryLink.h"
#include "app/Oscillogram.h"
#include "app/Unit1.h"
#include "framework/Canvas.h"
#include "platform/virtual/VirtualUnitControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// A block with busy traces, so every line has length to draw.
TDataBlock BusyBlock() {
    TDataBlock b{};
    std::mt19937 random(3);
    for (auto& byte : b)
        byte = static_cast<std::uint8_t>(random());
    b[block::kScaleByte] = 64;
    b[block::kPosition] = 120;
    b[block::kOs2Voltage] = 40;
    return b;
}

void BM_PollCycle(benchmark::State& state) {
    virtualunit::VirtualUnitControl unit = virtualunit::resolveVirtualUnitControl();
    if (!unit.complete()) {
        state.SkipWithError("virtual unit modules not beside the benchmark");
        return;
    }
    unit.Reset();
    const bool fixed = state.range(0) != 0;
    const bool historyShown = state.range(0) == 2;
    const bool historyOff = state.range(0) == 3;
    if (fixed) {
        const TDataBlock b = BusyBlock();
        unit.SetFixedBlock(0, b.data());
    }
    TTarvenik_Control_Form form;
    QCoreApplication::sendPostedEvents(); // the controller's first scan
    QCoreApplication::processEvents();
    form.CheckBox1->setChecked(true);
    while (form.UnitBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!form.Get_Tarvenik_Dev()) {
        state.SkipWithError("no unit");
        return;
    }
    // 2: the history window open and following, redrawn after each poll. 3: nothing recorded, to
    // weigh the recording against 1.
    if (historyShown)
        form.History->Open();
    form.History->Recording = !historyOff;
    // A cycle asks the exchange thread for the block and ends when its answer has been applied.
    for (auto _ : state) {
        form.TimerTimer(form.Timer);
        while (form.UnitBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    form.CheckBox1->setChecked(false);
    unit.Reset();
    state.SetLabel(historyShown ? "fixed busy block, history shown"
                   : historyOff ? "fixed busy block, history not recorded"
                   : fixed      ? "fixed busy block"
                                : "live virtual unit");
}
BENCHMARK(BM_PollCycle)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// How late the window's event loop runs while the unit keeps every request waiting, as the
// Windows HID stack lets it: connecting (the read-back), given up on by the window's watch after
// 6 s, then polling on its own timer as the program does. A 10 ms timer on the
// window's thread measures how late each of its ticks comes; the worst and the median are
// reported, in milliseconds.
void BM_EventLoopLatencyWhileStalled(benchmark::State& state) {
    virtualunit::VirtualUnitControl unit = virtualunit::resolveVirtualUnitControl();
    if (!unit.complete()) {
        state.SkipWithError("virtual unit modules not beside the benchmark");
        return;
    }
    constexpr int kTickMs = 10;
    const int runMs = static_cast<int>(state.range(0));
    std::vector<double> late;
    for (auto _ : state) {
        unit.Reset();
        TTarvenik_Control_Form form;
        QCoreApplication::sendPostedEvents(); // the controller's first scan
        QCoreApplication::processEvents();
        unit.SetStall(0, 1);

        QElapsedTimer clock;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(kTickMs);
        qint64 last = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            late.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - kTickMs));
            last = now;
        });
        QEventLoop loop;
        QTimer::singleShot(runMs, &loop, &QEventLoop::quit);
        clock.start();
        ticker.start();
        form.CheckBox1->setChecked(true); // the read-back and then the polls, all stalled
        loop.exec();
        ticker.stop();
        if (form.windowTitle() != QStringLiteral("Устройство не отвечает :("))
            state.SkipWithError("the unit's stall was not seen");
        unit.SetStall(0, 0); // the waiting requests are answered now
        form.CheckBox1->setChecked(false);
    }
    unit.Reset();
    if (late.empty()) {
        state.SkipWithError("the ticker never ran");
        return;
    }
    std::sort(late.begin(), late.end());
    state.counters["max_ms"] = late.back();
    state.counters["median_ms"] = late[late.size() / 2];
    state.counters["ticks"] = static_cast<double>(late.size());
}
BENCHMARK(BM_EventLoopLatencyWhileStalled)
    ->Arg(12'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_OscillogramDraw(benchmark::State& state) {
    QImage bitmap(470, 255, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    framework::TCanvas canvas(bitmap);
    const TDataBlock b = BusyBlock();
    for (auto _ : state) {
        oscillogram::Draw(canvas, b, 470, 255);
        benchmark::DoNotOptimize(canvas.Bitmap().constBits());
    }
}
BENCHMARK(BM_OscillogramDraw)->Unit(benchmark::kMicrosecond);

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
