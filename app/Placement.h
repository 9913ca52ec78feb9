#pragma once
// Where a window of a given outer size goes to stand in the middle of a screen.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace design {

// Top-left corner of a window `outer` large centred on `screen`; halves round towards zero, and a
// window larger than the screen overhangs it evenly on both sides.
QPoint CentredTopLeft(const QRect& screen, const QSize& outer);

} // namespace design
