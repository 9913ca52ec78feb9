#pragma once
// Making a shown window the active one, as the user's click on it would, so that keys and focus
// reach its controls.

#include <QTest>
#include <QWidget>

namespace testsupport {

// Asks the window system to activate `window` and waits for it; answers whether it is active.
inline bool MakeActive(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace testsupport
