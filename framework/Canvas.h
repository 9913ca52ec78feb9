#pragma once
// Drawing on a bitmap with a pen and a brush, in the manner of a Windows device context: lines
// leave their end point out, a wide pen is centred on its line, rectangles leave their right and
// bottom edges out. The pixel rules are those of CanvasRaster.h. Drawing outside the bitmap is
// clipped away.

#include "framework/Color.h"

#include <QImage>
#include <QPoint>

#include <functional>
#include <vector>

namespace framework {

struct TPen {
    TColor Color = clBlack;
    int Width = 1; // pixels; 0 or less draws one pixel wide
};

struct TBrush {
    TColor Color = clWhite;
};

class TCanvas {
public:
    // Draws into `bitmap`, which is held as a 32-bit RGB image. The image is implicitly shared:
    // copies taken through Bitmap() keep the pixels they had.
    explicit TCanvas(QImage bitmap);

    TPen Pen;
    TBrush Brush;

    void MoveTo(int x, int y);
    // Draws with Pen from the pen position to (x, y), leaving (x, y) itself out, and moves the pen
    // position there.
    void LineTo(int x, int y);
    QPoint PenPos() const { return penPos_; }

    // Fills (left, top)-(right, bottom) with Brush; the right column and bottom row are left out.
    void FillRect(int left, int top, int right, int bottom);

    int Width() const { return bitmap_.width(); }
    int Height() const { return bitmap_.height(); }
    const QImage& Bitmap() const { return bitmap_; }
    TColor Pixel(int x, int y) const; // black outside the bitmap

    // Called after every operation that changed pixels, so a control can repaint.
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void Changed();

    QImage bitmap_;
    QPoint penPos_;
    std::vector<QPoint> scratch_;
    std::function<void()> onChange_;
};

} // namespace framework
