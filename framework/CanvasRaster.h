#pragma once
// Which pixels a canvas operation paints, apart from any image: pure arithmetic, so the drawing
// rules can be checked exactly.
//
// A line runs from its start point towards its end point and leaves the end point out, so a
// polyline paints every joint once. A one-pixel line is the classic Bresenham line; where the exact
// line passes midway between two pixels, the one nearer the start point's row (or column) is
// taken. A wider pen is centred on the line and cut flat at both ends: a vertical line at x with
// width w paints the columns x - w/2 .. x - w/2 + w - 1, rows from the start row up to but not
// including the end row.
//
// Coordinates beyond +-kCoordinateLimit are pulled back to it, and pen widths are kept within
// 1..kMaxPenWidth (0 or less draws one pixel wide), so no input can overflow the arithmetic or
// make a call run for longer than the clip area takes.

#include <QPoint>
#include <QRect>

#include <vector>

namespace framework::raster {

inline constexpr int kCoordinateLimit = 1 << 28;
inline constexpr int kMaxPenWidth = 0xFFFF;

// Appends to `out` the pixels inside `clip` that a line from `from` to `to` paints with a pen
// `penWidth` pixels wide. Each pixel appears once.
void LinePixels(QPoint from, QPoint to, int penWidth, const QRect& clip, std::vector<QPoint>& out);

// The part of `clip` covered by a rectangle whose right and bottom edges are left out, as the
// rectangle (left, top)-(right, bottom) is filled. Empty when right <= left or bottom <= top.
QRect FillArea(int left, int top, int right, int bottom, const QRect& clip);

} // namespace framework::raster
