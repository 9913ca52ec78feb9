#pragma once
// Where the window goes: centred on a screen the first time, and later where the user left it,
// brought back onto a screen when that place lies off every screen there is now (a monitor
// unplugged, a smaller resolution).

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QSettings;

namespace design {

// Top-left corner of a window `outer` large centred on `screen`; halves round towards zero, and a
// window larger than the screen overhangs it evenly on both sides.
QPoint CentredTopLeft(const QRect& screen, const QSize& outer);

// Top-left corner for a window `outer` large last left at `saved`, given the screens' areas and
// the primary screen's: unchanged when it lies whole on a screen; moved the shortest way onto the
// screen it overlaps most when it sticks out; centred on `primary` when it overlaps none. A window
// larger than its screen keeps its top-left corner (and so its title bar) on it.
QPoint OnScreenTopLeft(const QPoint& saved, const QSize& outer, const QList<QRect>& screens,
                       const QRect& primary);

// The position kept in `settings`, if one was kept and reads as a point.
std::optional<QPoint> RememberedPosition(const QSettings& settings);
void RememberPosition(QSettings& settings, const QPoint& topLeft);

} // namespace design
