#include "framework/Bitmap.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstring>

namespace framework {

namespace {

// Far above any window's picture. Refusing larger bitmaps up front keeps an
// absurd size from committing gigabytes that filling would then touch.
constexpr qint64 kMaxPixelBytes = qint64(1) << 30;

QImage AllocateWhite(int width, int height, QImage::Format format) {
    const qint64 bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(width) * bitsPerPixel + 31) / 32 * 4;
    // Divided rather than multiplied: the product of two large sides overflows 64 bits.
    if (bytesPerLine > kMaxPixelBytes / height)
        throw EOutOfMemory();
    QImage image(width, height, format);
    if (image.isNull())
        throw EOutOfMemory();
    image.fill(Qt::white);
    return image;
}

} // namespace

TBitmap::TBitmap(int width, int height) {
    SetSize(width, height);
}

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0)
        throw EInvalidGraphic(QStringLiteral("Invalid bitmap size"));
    if (width == width_ && height == height_)
        return;
    QImage next;
    if (width > 0 && height > 0) {
        next = AllocateWhite(width, height, format_);
        if (!image_.isNull()) {
            const qsizetype bytes = qsizetype(std::min(width, width_)) * image_.depth() / 8;
            const int rows = std::min(height, height_);
            for (int y = 0; y < rows; ++y)
                std::memcpy(next.scanLine(y), image_.constScanLine(y), size_t(bytes));
        }
    }
    image_ = next;
    width_ = width;
    height_ = height;
    Changed();
}

void TBitmap::AssignFrom(const TGraphic& Source) {
    const auto* source = dynamic_cast<const TBitmap*>(&Source);
    if (!source) {
        AssignError(Source);
    }
    if (source == this)
        return;
    image_ = source->image_;
    width_ = source->width_;
    height_ = source->height_;
    format_ = source->format_;
    Changed();
}

void TBitmap::SetPixelFormat24() {
    if (IsPixelFormat24())
        return;
    if (!image_.isNull()) {
        QImage converted = image_.convertToFormat(QImage::Format_BGR888);
        if (converted.isNull())
            throw EOutOfMemory();
        image_ = converted;
    }
    format_ = QImage::Format_BGR888;
    Changed();
}

void TBitmap::CheckRow(int y) const {
    if (image_.isNull() || y < 0 || y >= image_.height())
        throw EInvalidGraphic(QStringLiteral("Scan line index out of range"));
}

uchar* TBitmap::ScanLine(int y) {
    CheckRow(y);
    uchar* row = image_.scanLine(y);
    if (!row) // the private copy could not be allocated
        throw EOutOfMemory();
    return row;
}

const uchar* TBitmap::ConstScanLine(int y) const {
    CheckRow(y);
    return image_.constScanLine(y);
}

void TBitmap::SetImage(const QImage& image) {
    QImage taken = image;
    if (!taken.isNull() && taken.depth() < 8) {
        taken = taken.convertToFormat(QImage::Format_RGB32);
        if (taken.isNull())
            throw EOutOfMemory();
    }
    image_ = taken;
    width_ = taken.width();
    height_ = taken.height();
    if (!taken.isNull())
        format_ = taken.format();
    Changed();
}

} // namespace framework
