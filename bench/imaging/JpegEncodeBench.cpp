// Compressing a window-sized picture at the screenshot quality: through
// TJPEGImage, and through the bare library with the same settings, which is
// the floor TJPEGImage is measured against (target: within 1.10 x).
#include "imaging/jpeg.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace {

constexpr int kWidth = 503;
constexpr int kHeight = 373;
constexpr int kQuality = 50;

// White like a dialog, a framed trace area with a grid and two traces,
// and rows of text-like specks.
void PaintWindowLike(QImage& image) {
    image.fill(Qt::white);
    for (int x = 10; x < 480; ++x)
        for (int y : {10, 265})
            image.setPixel(x, y, qRgb(0, 0, 0));
    for (int y = 10; y < 266; ++y)
        for (int x : {10, 479})
            image.setPixel(x, y, qRgb(0, 0, 0));
    for (int x = 10; x < 480; x += 47)
        for (int y = 11; y < 265; y += 2)
            image.setPixel(x, y, qRgb(128, 128, 128));
    for (int x = 11; x < 479; ++x) {
        image.setPixel(x, 140 + ((x / 20) % 2 ? 60 : -60), qRgb(255, 0, 0));
        image.setPixel(x, 120 + (x * 7 % 90), qRgb(0, 128, 0));
    }
    std::uint32_t seed = 2026;
    for (int line = 0; line < 8; ++line)
        for (int y = 280 + line * 11; y < 287 + line * 11; ++y)
            for (int x = 20; x < 300; ++x) {
                seed = seed * 1103515245u + 12345u;
                if ((seed >> 28) < 5)
                    image.setPixel(x, y, qRgb(0, 0, 0));
            }
}

framework::TBitmap& WindowPicture(bool twentyFourBit) {
    static framework::TBitmap bgr, captured;
    framework::TBitmap& bitmap = twentyFourBit ? bgr : captured;
    if (bitmap.Empty()) {
        bitmap.SetSize(kWidth, kHeight);
        PaintWindowLike(bitmap.Image());
        if (twentyFourBit)
            bitmap.SetPixelFormat24();
    }
    return bitmap;
}

void EncodeThroughImage(benchmark::State& state, bool twentyFourBit) {
    const framework::TBitmap& bitmap = WindowPicture(twentyFourBit);
    qint64 bytes = 0;
    for (auto _ : state) {
        imaging::TJPEGImage image;
        image.AssignFrom(bitmap);
        image.JpegQuality = kQuality;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.SaveJpegStream(buffer);
        bytes = buffer.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
}

void BM_TJPEGImage(benchmark::State& state) {
    EncodeThroughImage(state, true);
}
// The same from a 32-bit capture, so the 24-bit conversion is included.
void BM_TJPEGImageFrom32Bit(benchmark::State& state) {
    EncodeThroughImage(state, false);
}

void BM_BareLibjpeg(benchmark::State& state) {
    const framework::TBitmap& bitmap = WindowPicture(true);
    std::vector<JSAMPROW> rows;
    for (int y = 0; y < kHeight; ++y)
        rows.push_back(const_cast<JSAMPROW>(bitmap.ConstScanLine(y)));
    unsigned long bytes = 0;
    for (auto _ : state) {
        jpeg_compress_struct info;
        jpeg_error_mgr error;
        info.err = jpeg_std_error(&error);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        bytes = 0;
        jpeg_mem_dest(&info, &buffer, &bytes);
        info.image_width = kWidth;
        info.image_height = kHeight;
        info.input_components = 3;
        info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, kQuality, TRUE);
        info.dct_method = JDCT_FLOAT;
        jpeg_start_compress(&info, TRUE);
        jpeg_write_scanlines(&info, rows.data(), kHeight);
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
    state.counters["bytes"] = double(bytes);
}

} // namespace

BENCHMARK(BM_BareLibjpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TJPEGImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TJPEGImageFrom32Bit)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
