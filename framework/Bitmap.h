#pragma once
// TBitmap: a picture of pixels over a QImage.
//
// Pixels are shared between bitmaps assigned from one another (QImage's
// implicit sharing) and copied only when one side is written, so handing a
// bitmap on is cheap and never changes the original.
//
// A new bitmap has the screen's usual layout, 32 bits per pixel
// (QImage::Format_RGB32). SetPixelFormat24 converts to three bytes per pixel
// in the order blue, green, red (QImage::Format_BGR888), rows padded to a
// whole number of 32-bit words.
//
// Rows lie top-down in memory: ScanLine(y + 1) - ScanLine(y) is
// +BytesPerLine(), a positive multiple of 4. An encoder may therefore hand all
// rows to its library in one call, stepping from row to row by that amount.
//
// Resizing keeps the pixels that still fit, anchored at the top-left corner;
// pixels that the new size adds are white. A bitmap with a zero side holds no
// pixels but remembers its other side, so width and height may be set one
// after the other.

#include "framework/Graphic.h"

#include <QImage>

namespace framework {

class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    TBitmap(int width, int height);

    QString ClassName() const override { return QStringLiteral("TBitmap"); }

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // A negative side raises EInvalidGraphic; a size whose pixels cannot be
    // allocated, or would take more than 1 GiB, raises EOutOfMemory and
    // leaves the bitmap as it was.
    void SetWidth(int value) override { SetSize(value, height_); }
    void SetHeight(int value) override { SetSize(width_, value); }
    void SetSize(int width, int height);
    bool Empty() const override { return width_ == 0 || height_ == 0; }

    // From another TBitmap: shares its pixels, size and pixel format.
    void AssignFrom(const TGraphic& Source) override;

    // Converts the pixels to 24-bit blue-green-red; does nothing when they
    // already are. Bitmaps sharing the old pixels keep them unchanged.
    void SetPixelFormat24();
    bool IsPixelFormat24() const { return format_ == QImage::Format_BGR888; }
    QImage::Format Format() const { return format_; }

    // The address of row y, for 0 <= y < Height(); any other row raises
    // EInvalidGraphic "Scan line index out of range". The writable form takes
    // a private copy of shared pixels first; the const form never copies.
    uchar* ScanLine(int y);
    const uchar* ConstScanLine(int y) const;
    qsizetype BytesPerLine() const { return image_.bytesPerLine(); }

    // The pixels, to paint into (QPainter) or to read. Painting must not
    // change the image's size; use SetImage to put a different image in.
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    // Takes image as the bitmap's pixels (shared, not copied). Images of
    // fewer than 8 bits per pixel are converted to 32 bits.
    void SetImage(const QImage& image);

private:
    void CheckRow(int y) const;

    int width_ = 0;
    int height_ = 0;
    QImage::Format format_ = QImage::Format_RGB32;
    QImage image_; // null while a side is 0
};

} // namespace framework
