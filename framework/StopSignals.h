#pragma once
// SIGINT, SIGTERM and SIGHUP as an event: while an object of this class lives, each writes its
// number into a pipe and the event loop delivers it as Stop(), after whatever the loop was doing
// has finished. The handler is reset by its first signal, so a second one ends the program at
// once, as it would without this. On Windows the console's Ctrl+C, Ctrl+Break and close events
// stand for SIGINT and SIGTERM (StopSignalsWindows.cpp).

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace framework {

class TStopSignals : public QObject {
    Q_OBJECT
public:
    TStopSignals();
    ~TStopSignals() override;

    // False when the pipe or the handlers could not be set up (the signals then end the program
    // as usual).
    bool Installed() const { return installed_; }

signals:
    void Stop(int signal);

private:
    void Readable();

    int readFd_ = -1;
    int writeFd_ = -1;
    bool installed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

#ifdef _WIN32
// The console control handler, as the system calls it on a thread of its own (CTRL_C_EVENT, ...):
// true when a live TStopSignals took the event.
int __stdcall ConsoleControl(unsigned long type);
#endif

} // namespace framework
