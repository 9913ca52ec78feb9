#include "app/Placement.h"

namespace design {

QPoint CentredTopLeft(const QRect& screen, const QSize& outer) {
    return screen.topLeft() +
           QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

} // namespace design
