#include "app/Placement.h"

#include "app/AppLogging.h"

#include <QSettings>

#include <algorithm>

namespace design {

namespace {

const QString kPositionKey = QStringLiteral("window/position");

long long OverlapArea(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

// Moves `start`, one axis, so that [start, start + length) lies within [low, low + room); when it
// can't, its start is kept on it.
int Clamp(int start, int length, int low, int room) {
    const int high = low + room - length;
    return std::max(low, std::min(start, std::max(low, high)));
}

} // namespace

QPoint CentredTopLeft(const QRect& screen, const QSize& outer) {
    return screen.topLeft() +
           QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

QPoint OnScreenTopLeft(const QPoint& saved, const QSize& outer, const QList<QRect>& screens,
                       const QRect& primary) {
    const QRect window(saved, outer);
    const QRect* best = nullptr;
    long long bestArea = 0;
    for (const QRect& screen : screens) {
        if (screen.contains(window))
            return saved;
        if (const long long area = OverlapArea(window, screen); area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (best == nullptr)
        return CentredTopLeft(primary, outer);
    return {Clamp(saved.x(), outer.width(), best->left(), best->width()),
            Clamp(saved.y(), outer.height(), best->top(), best->height())};
}

std::optional<QPoint> RememberedPosition(const QSettings& settings) {
    const QVariant value = settings.value(kPositionKey);
    if (value.typeId() != QMetaType::QPoint)
        return std::nullopt;
    return value.toPoint();
}

void RememberPosition(QSettings& settings, const QPoint& topLeft) {
    settings.setValue(kPositionKey, topLeft);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcApp) << "the window's position could not be kept in" << settings.fileName()
                         << "- the window opens centred next time";
}

} // namespace design
