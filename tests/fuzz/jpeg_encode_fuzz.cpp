// Pictures come from the window, at any size the window manager allows, in
// whatever layout the capture gives: any of them, with any settings, must
// compress without a fault and read back at its own size.

#include "JpegDecoder.h"
#include "imaging/jpeg.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const int width = data[0] % 80; // 0 included: an empty picture
    const int height = data[1] % 80;
    const std::uint8_t quality = data[2];
    const std::uint8_t flags = data[3];
    data += 4;
    size -= 4;

    framework::TBitmap bitmap(width, height);
    if (flags & 4)
        bitmap.SetPixelFormat24();
    size_t next = 0;
    for (int y = 0; !bitmap.Empty() && y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        const qsizetype used = qsizetype(width) * bitmap.Image().depth() / 8;
        for (qsizetype i = 0; i < used; ++i)
            row[i] = data[next++ % size];
    }

    imaging::TJPEGImage image;
    image.AssignFrom(bitmap);
    image.JpegQuality = quality;
    image.GrayEncode = flags & 1;
    image.ProgressiveSave = flags & 2;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.SaveJpegStream(buffer);

    if (width == 0 || height == 0) {
        if (buffer.size() != 0)
            std::abort();
        return 0;
    }
    const testing_jpeg::Decoded decoded = testing_jpeg::Decode(buffer.data());
    if (!decoded.ok || decoded.width != width || decoded.height != height ||
        decoded.components != ((flags & 1) ? 1 : 3) || decoded.progressive != bool(flags & 2))
        std::abort();
    return 0;
}
