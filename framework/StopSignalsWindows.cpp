#include "framework/StopSignals.h"

#include "framework/FrameworkLogging.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <csignal>
#include <mutex>

#include <windows.h>

namespace framework {

namespace {

// The console calls its handlers on a thread of its own: the live object is reached under the
// lock, and the event reaches the object's thread queued.
std::mutex gLock;
TStopSignals* gWatcher = nullptr;
bool gStopSent = false;

} // namespace

BOOL WINAPI ConsoleControl(DWORD type) {
    const int signal = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    const std::lock_guard lock(gLock);
    // As with the POSIX handler, only the first one is the program's: a second Ctrl+C goes to the
    // system's handler, which ends the program at once.
    if (gWatcher == nullptr || gStopSent)
        return FALSE;
    gStopSent = true;
    TStopSignals* watcher = gWatcher;
    QMetaObject::invokeMethod(
        watcher, [watcher, signal] { emit watcher->Stop(signal); }, Qt::QueuedConnection);
    // Closing the console or logging off ends the process once this returns: a moment for the
    // record in hand.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(500);
    return TRUE;
}

TStopSignals::TStopSignals() {
    const std::lock_guard lock(gLock);
    if (gWatcher != nullptr) {
        qCWarning(lcFramework) << "Ctrl+C is already being watched";
        return;
    }
    if (!SetConsoleCtrlHandler(ConsoleControl, TRUE)) {
        qCWarning(lcFramework) << "no console control handler:" << qt_error_string(GetLastError());
        return;
    }
    gWatcher = this;
    gStopSent = false;
    installed_ = true;
}

TStopSignals::~TStopSignals() {
    if (!installed_)
        return;
    SetConsoleCtrlHandler(ConsoleControl, FALSE);
    const std::lock_guard lock(gLock);
    gWatcher = nullptr;
}

void TStopSignals::Readable() {}

bool TStopSignals::Came() {
    const std::lock_guard lock(gLock);
    return gWatcher != nullptr && gStopSent;
}

} // namespace framework
