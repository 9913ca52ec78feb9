// The poll's cost: one whole cycle against the virtual unit (read, drawing, labels, readouts), and
// the oscillogram drawing alone.

#include "app/DataBlock.h"
#include "app/Oscillogram.h"
#include "app/Unit1.h"
#include "framework/Canvas.h"
#include "platform/virtual/VirtualUnitControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>

#include <random>

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
    // A cycle asks the exchange thread for the block and ends when its answer has been applied.
    for (auto _ : state) {
        form.TimerTimer(form.Timer);
        while (form.UnitBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    form.CheckBox1->setChecked(false);
    unit.Reset();
    state.SetLabel(fixed ? "fixed busy block" : "live virtual unit");
}
BENCHMARK(BM_PollCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

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
