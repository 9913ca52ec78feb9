#include "widgets/NumSpinFaces.h"
#include "widgets/NumText.h"

#include <benchmark/benchmark.h>

namespace {

const QChar kComma(u',');

void BM_ParseFixedPoint(benchmark::State& state) {
    const QString text = QStringLiteral("3,99");
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::ParseFloatText(text, kComma));
}
BENCHMARK(BM_ParseFixedPoint);

void BM_ParseLongFixedPoint(benchmark::State& state) {
    const QString text = QStringLiteral(" -123456789012,345678901234e-7 ");
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::ParseFloatText(text, kComma));
}
BENCHMARK(BM_ParseLongFixedPoint);

void BM_ParseInteger(benchmark::State& state) {
    const QString text = QStringLiteral("255");
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::ParseIntegerText(text));
}
BENCHMARK(BM_ParseInteger);

void BM_ParseHex(benchmark::State& state) {
    const QString text = QStringLiteral("7FFFFFFF");
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::ParseHexText(text));
}
BENCHMARK(BM_ParseHex);

void BM_FormatFixedPoint(benchmark::State& state) {
    long double v = 3.99L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(numspin::FormatFixed(v, 2, kComma));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FormatFixedPoint);

void BM_FormatInteger(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::FormatInteger(255));
}
BENCHMARK(BM_FormatInteger);

void BM_FormatHex(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(numspin::FormatHex(2147483647));
}
BENCHMARK(BM_FormatHex);

// One step of a fixed-point field: read, add, clamp, write.
void BM_StepFixedPoint(benchmark::State& state) {
    QString text = QStringLiteral("0,01");
    for (auto _ : state) {
        const long double v = numspin::TextToValue(text, vtFloat, 0.01L, kComma) + 0.01L;
        text = *numspin::ValueToText(numspin::ClampToLimits(v, 0.01L, 4), vtFloat, 2, kComma);
        if (text == QStringLiteral("4,00"))
            text = QStringLiteral("0,01");
    }
}
BENCHMARK(BM_StepFixedPoint);

void BM_RenderThreeFaces(benchmark::State& state) {
    const numspin::TSpinFaceColors colors{0xFFC0C0C0, 0xFF000000, 0xFF808080, 0xFFFFFFFF};
    const QImage up = numspin::LoadSpinGlyph("NUMSPINUP");
    const QImage down = numspin::LoadSpinGlyph("NUMSPINDOWN");
    for (auto _ : state)
        for (auto s : {NotPressed, TopPressed, BottomPressed})
            benchmark::DoNotOptimize(numspin::RenderSpinFace(QSize(18, 18), s, colors, up, down));
}
BENCHMARK(BM_RenderThreeFaces);

} // namespace

BENCHMARK_MAIN();
