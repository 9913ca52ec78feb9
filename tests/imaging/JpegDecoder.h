#pragma once
// Reads back what the encoder wrote, with libjpeg's own decompressor, so the
// tests check the file as any JPEG reader sees it.

#include "framework/Bitmap.h"

#include <QByteArray>
#include <QColor>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace imaging {
class TJPEGImage;
}

namespace testing_jpeg {

struct Component {
    int id, hSampling, vSampling, quantTable;
};

struct Decoded {
    bool ok = false;
    int errorCode = 0;
    int width = 0, height = 0, components = 0;
    bool jfif = false;
    int jfifMajor = 0, jfifMinor = 0, densityUnit = -1, xDensity = 0, yDensity = 0;
    bool progressive = false;
    std::vector<Component> componentInfo;
    // Quantisation tables 0..3 in natural (row by row) order.
    std::array<std::optional<std::array<int, 64>>, 4> quantTables;
    std::vector<std::uint8_t> samples; // RGB or gray, row by row

    QColor At(int x, int y) const;
};

Decoded Decode(const QByteArray& jpeg);

// The example tables of the JPEG standard (Annex K, K.1 and K.2), row by row.
extern const std::array<int, 64> kLuminanceK1;
extern const std::array<int, 64> kChrominanceK2;
// A table scaled as the library does for a quality, baseline forced.
std::array<int, 64> Scaled(const std::array<int, 64>& table, int quality);

// The library's own baseline compression of a 24-bit bitmap, with its
// defaults at the given quality and the floating-point or the accurate
// integer transform; empty when the library fails.
QByteArray ReferenceEncode(const framework::TBitmap& bgr24, int quality, bool floatDct);

// What a save of image writes: the bytes it puts into an in-memory stream.
QByteArray Save(imaging::TJPEGImage& image);

// Makes bitmap 24-bit of one colour, given as the bytes blue, green, red.
void FillBgr(framework::TBitmap& bitmap, std::uint8_t b, std::uint8_t g, std::uint8_t r);

} // namespace testing_jpeg
