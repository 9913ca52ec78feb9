// tarvenik-cli's watch as fast as it goes: `watch --interval 0` against the virtual unit, in this
// process, records per second and CPU per record, with the records going to a stream (as to
// stdout) and to a file (one write each).

#include "cli/Commands.h"
#include "platform/virtual/VirtualUnitControl.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <ctime>
#include <ostream>
#include <sstream>
#include <streambuf>

namespace {

constexpr int kRecordsPerRun = 1000;

class TNullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_WatchIntervalZero(benchmark::State& state) {
    virtualunit::VirtualUnitControl unit = virtualunit::resolveVirtualUnitControl();
    if (!unit.complete()) {
        state.SkipWithError("virtual unit modules not beside the benchmark");
        return;
    }
    unit.Reset();
    const bool toFile = state.range(0) != 0;
    QStringList arguments{"watch", "--csv",   "--interval",
                          "0",     "--count", QString::number(kRecordsPerRun)};
    if (toFile)
        arguments << "--output"
                  << "/dev/null";
    TNullBuffer nullBuffer;
    std::ostream out(&nullBuffer);
    std::ostringstream err;
    cli::TIo io{.Out = out, .Err = err};

    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        if (cli::RunCli(arguments, io) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
    }
    const double records = static_cast<double>(state.iterations()) * kRecordsPerRun;
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
    state.counters["cpu_us_per_record"] = (ProcessCpuSeconds() - cpuBefore) * 1e6 / records;
    state.SetLabel(toFile ? "to a file" : "to a stream");
}
BENCHMARK(BM_WatchIntervalZero)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
