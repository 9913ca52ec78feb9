#include "framework/Canvas.h"

#include "framework/CanvasRaster.h"

#include <algorithm>

namespace framework {

TCanvas::TCanvas(QImage bitmap) : bitmap_(std::move(bitmap)) {
    if (bitmap_.format() != QImage::Format_RGB32)
        bitmap_ = bitmap_.convertToFormat(QImage::Format_RGB32);
}

void TCanvas::MoveTo(int x, int y) {
    penPos_ = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    scratch_.clear();
    raster::LinePixels(penPos_, to, Pen.Width, bitmap_.rect(), scratch_);
    penPos_ = to;
    if (scratch_.empty())
        return;
    const QRgb rgb = Pen.Color.ToRgb();
    uchar* bits = bitmap_.bits(); // detaches once, not once per pixel
    const qsizetype stride = bitmap_.bytesPerLine();
    for (const QPoint& p : scratch_)
        reinterpret_cast<QRgb*>(bits + p.y() * stride)[p.x()] = rgb;
    Changed();
}

void TCanvas::FillRect(int left, int top, int right, int bottom) {
    const QRect area = raster::FillArea(left, top, right, bottom, bitmap_.rect());
    if (area.isEmpty())
        return;
    const QRgb rgb = Brush.Color.ToRgb();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bitmap_.scanLine(y));
        std::fill(row + area.left(), row + area.right() + 1, rgb);
    }
    Changed();
}

TColor TCanvas::Pixel(int x, int y) const {
    if (!bitmap_.rect().contains(x, y))
        return clBlack;
    return TColor::FromRgb(bitmap_.pixel(x, y));
}

void TCanvas::Changed() {
    if (onChange_)
        onChange_();
}

} // namespace framework
