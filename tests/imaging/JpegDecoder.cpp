#include "JpegDecoder.h"

#include "imaging/jpeg.h"

#include <QBuffer>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

namespace testing_jpeg {

namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}
void Quiet(j_common_ptr, int) {}

// Everything that may fail runs here, in a frame that owns no C++ objects.
[[gnu::noinline]] bool ReadAll(jpeg_decompress_struct* info, ErrorJump* error,
                               const unsigned char* data, unsigned long size, Decoded* out) {
    if (setjmp(error->jump))
        return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    out->width = int(info->image_width);
    out->height = int(info->image_height);
    out->components = info->num_components;
    out->jfif = info->saw_JFIF_marker;
    out->jfifMajor = info->JFIF_major_version;
    out->jfifMinor = info->JFIF_minor_version;
    out->densityUnit = info->density_unit;
    out->xDensity = info->X_density;
    out->yDensity = info->Y_density;
    out->progressive = jpeg_has_multiple_scans(info);
    for (int i = 0; i < info->num_components; ++i) {
        const jpeg_component_info& c = info->comp_info[i];
        out->componentInfo.push_back(
            {c.component_id, c.h_samp_factor, c.v_samp_factor, c.quant_tbl_no});
    }
    for (int t = 0; t < 4; ++t) {
        if (!info->quant_tbl_ptrs[t])
            continue;
        std::array<int, 64> table{};
        for (int i = 0; i < 64; ++i)
            table[size_t(i)] = info->quant_tbl_ptrs[t]->quantval[i];
        out->quantTables[size_t(t)] = table;
    }
    jpeg_start_decompress(info);
    const size_t stride = size_t(info->output_width) * size_t(info->output_components);
    out->samples.resize(stride * info->output_height);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->samples.data() + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

[[gnu::noinline]] bool CompressAll(jpeg_compress_struct* info, ErrorJump* error, JSAMPARRAY rows,
                                   int width, int height, int quality, bool floatDct,
                                   unsigned char** buffer, unsigned long* size) {
    if (setjmp(error->jump))
        return false;
    jpeg_create_compress(info);
    jpeg_mem_dest(info, buffer, size);
    info->image_width = JDIMENSION(width);
    info->image_height = JDIMENSION(height);
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    info->dct_method = floatDct ? JDCT_FLOAT : JDCT_ISLOW;
    jpeg_start_compress(info, TRUE);
    jpeg_write_scanlines(info, rows, JDIMENSION(height));
    jpeg_finish_compress(info);
    return true;
}

} // namespace

QByteArray ReferenceEncode(const framework::TBitmap& bgr24, int quality, bool floatDct) {
    std::vector<JSAMPROW> rows;
    for (int y = 0; y < bgr24.Height(); ++y)
        rows.push_back(const_cast<JSAMPROW>(bgr24.ConstScanLine(y)));
    jpeg_compress_struct info;
    std::memset(&info, 0, sizeof info);
    ErrorJump error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOut;
    error.manager.emit_message = Quiet;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = CompressAll(&info, &error, rows.data(), bgr24.Width(), bgr24.Height(), quality,
                                floatDct, &buffer, &size);
    jpeg_destroy_compress(&info);
    QByteArray result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

QColor Decoded::At(int x, int y) const {
    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * size_t(components);
    if (components == 1)
        return QColor(samples[at], samples[at], samples[at]);
    return QColor(samples[at], samples[at + 1], samples[at + 2]);
}

Decoded Decode(const QByteArray& jpeg) {
    Decoded out;
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    ErrorJump error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOut;
    error.manager.emit_message = Quiet;
    out.ok = ReadAll(&info, &error, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                     static_cast<unsigned long>(jpeg.size()), &out);
    if (!out.ok)
        out.errorCode = error.manager.msg_code;
    jpeg_destroy_decompress(&info);
    return out;
}

const std::array<int, 64> kLuminanceK1 = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

const std::array<int, 64> kChrominanceK2 = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

std::array<int, 64> Scaled(const std::array<int, 64>& table, int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::array<int, 64> result{};
    for (size_t i = 0; i < 64; ++i)
        result[i] = std::clamp((table[i] * scale + 50) / 100, 1, 255);
    return result;
}

QByteArray Save(imaging::TJPEGImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.SaveJpegStream(buffer);
    return buffer.data();
}

void FillBgr(framework::TBitmap& bitmap, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    bitmap.SetPixelFormat24();
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
}

} // namespace testing_jpeg
