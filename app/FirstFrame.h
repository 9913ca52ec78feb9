#pragma once
// Work the first frame does not show waits until the window has painted it: start-up is measured
// to the window on screen, and a user waits for that frame.

#include <QWidget>

#include <functional>

namespace startup {

// Runs `then` once, from the event loop, after the first paint of `window` (a top-level widget);
// never if the window goes first.
void AfterFirstFrame(QWidget& window, std::function<void()> then);

} // namespace startup
