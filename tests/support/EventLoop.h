#pragma once
// Running the Qt event loop from a test: what has been posted so far, or until something has
// happened.

#include <QCoreApplication>

#include <chrono>
#include <thread>

namespace testsupport {

// Delivers what has been posted so far (a controller's initial message, say).
inline void DeliverPosted() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Runs the event loop until `done` holds or `limit` has passed. Only where a real thread or a
// real file descriptor is involved; answers `done()`.
template <typename Condition>
bool PumpUntil(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::yield();
    }
    return true;
}

} // namespace testsupport
