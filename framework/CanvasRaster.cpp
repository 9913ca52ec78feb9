#include "framework/CanvasRaster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace framework::raster {

namespace {

using Wide = __int128; // squares of products of clamped coordinates need more than 64 bits

int ClampCoordinate(int v) {
    return std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
}

QPoint ClampPoint(QPoint p) {
    return {ClampCoordinate(p.x()), ClampCoordinate(p.y())};
}

// One pixel wide: step along the major axis, the minor offset of step k is k * minor / major
// rounded to nearest, halves towards the start. Only the steps whose major coordinate lies inside
// the clip are visited.
void ThinLine(QPoint from, QPoint to, const QRect& clip, std::vector<QPoint>& out) {
    const std::int64_t dx = std::int64_t(to.x()) - from.x();
    const std::int64_t dy = std::int64_t(to.y()) - from.y();
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? dx : dy;
    const std::int64_t minor = xMajor ? dy : dx;
    const std::int64_t steps = std::llabs(major);
    const std::int64_t rise = std::llabs(minor);
    const std::int64_t majorSign = major < 0 ? -1 : 1;
    const std::int64_t minorSign = minor < 0 ? -1 : 1;
    const std::int64_t majorStart = xMajor ? from.x() : from.y();
    const std::int64_t minorStart = xMajor ? from.y() : from.x();
    const std::int64_t majorLow = xMajor ? clip.left() : clip.top();
    const std::int64_t majorHigh = xMajor ? clip.right() : clip.bottom();

    // Steps whose major coordinate majorStart + majorSign * k lies in [majorLow, majorHigh].
    std::int64_t first = majorSign > 0 ? majorLow - majorStart : majorStart - majorHigh;
    std::int64_t last = majorSign > 0 ? majorHigh - majorStart : majorStart - majorLow;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, steps - 1); // the end point is left out

    if (first > last)
        return;
    // offset(k) = (2 k rise + steps - 1) div (2 steps), kept up incrementally: rise <= steps, so
    // the remainder passes the divisor at most once per step.
    const std::int64_t divisor = 2 * steps;
    const std::int64_t numerator = 2 * first * rise + steps - 1;
    std::int64_t offset = numerator / divisor;
    std::int64_t remainder = numerator % divisor;
    for (std::int64_t k = first; k <= last; ++k) {
        const std::int64_t m = majorStart + majorSign * k;
        const std::int64_t n = minorStart + minorSign * offset;
        const QPoint p = xMajor ? QPoint(int(m), int(n)) : QPoint(int(n), int(m));
        if (clip.contains(p))
            out.push_back(p);
        remainder += 2 * rise;
        if (remainder >= divisor) {
            remainder -= divisor;
            ++offset;
        }
    }
}

// Wider than a pixel: the line through the pixel centres, thickened by half the width to either
// side and cut flat at its ends. A pixel is painted when its centre lies inside, with the far end
// and the side facing +x (+y for a horizontal line) left open, so that even widths put their extra
// pixel before the line.
void WideLine(QPoint from, QPoint to, int width, const QRect& clip, std::vector<QPoint>& out) {
    const std::int64_t dx = std::int64_t(to.x()) - from.x();
    const std::int64_t dy = std::int64_t(to.y()) - from.y();
    const std::int64_t length2 = dx * dx + dy * dy;
    // Normal pointing to +x, or to +y when the line is horizontal.
    std::int64_t nx = -dy, ny = dx;
    if (nx < 0 || (nx == 0 && ny < 0)) {
        nx = -nx;
        ny = -ny;
    }
    const Wide limit = Wide(width) * width * length2; // (width * length)^2

    const int left = std::max(clip.left(), std::min(from.x(), to.x()) - width);
    const int right = std::min(clip.right(), std::max(from.x(), to.x()) + width);
    const int top = std::max(clip.top(), std::min(from.y(), to.y()) - width);
    const int bottom = std::min(clip.bottom(), std::max(from.y(), to.y()) + width);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const std::int64_t ux = std::int64_t(x) - from.x();
            const std::int64_t uy = std::int64_t(y) - from.y();
            const std::int64_t along = ux * dx + uy * dy;
            if (along < 0 || along >= length2)
                continue;
            // Side distance times the length; inside when -width/2 <= distance < width/2.
            const Wide across = Wide(ux) * nx + Wide(uy) * ny;
            const Wide across4 = 4 * across * across;
            const bool inside = across < 0 ? across4 <= limit : across4 < limit;
            if (inside)
                out.emplace_back(x, y);
        }
    }
}

} // namespace

void LinePixels(QPoint from, QPoint to, int penWidth, const QRect& clip, std::vector<QPoint>& out) {
    from = ClampPoint(from);
    to = ClampPoint(to);
    if (from == to || clip.isEmpty())
        return;
    const int width = std::clamp(penWidth, 1, kMaxPenWidth);
    if (width == 1)
        ThinLine(from, to, clip, out);
    else
        WideLine(from, to, width, clip, out);
}

QRect FillArea(int left, int top, int right, int bottom, const QRect& clip) {
    if (right <= left || bottom <= top || clip.isEmpty())
        return {};
    const int l = std::max(left, clip.left());
    const int t = std::max(top, clip.top());
    // right and bottom are exclusive here, inclusive in QRect
    const int r = std::min(right - 1, clip.right());
    const int b = std::min(bottom - 1, clip.bottom());
    if (r < l || b < t)
        return {};
    return QRect(QPoint(l, t), QPoint(r, b));
}

} // namespace framework::raster
