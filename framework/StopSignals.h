#pragma once
// SIGINT, SIGTERM and SIGHUP as an event: while an object of this class lives, each writes its
// number into a pipe and the event loop delivers it as Stop(), after whatever the loop was doing
// has finished. The handler is reset by its first signal, so a second one ends the program at
// once, as it would without this. On Windows the console's Ctrl+C, Ctrl+Break and close events
// stand for SIGINT and SIGTERM (StopSignalsWindows.cpp).

#include <QObject>

#include <cstddef>
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

    // A stop signal has come to the live object, delivered as Stop() yet or not: a write that
    // gave way to it is no failure of the output.
    static bool Came();

signals:
    void Stop(int signal);

private:
    void Readable();

    int readFd_ = -1;
    int writeFd_ = -1;
    bool installed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

#ifndef _WIN32
// Writes all of `size` bytes to `fd`, waiting for room beside the live TStopSignals' pipe, so
// that a reader who stopped reading (a full pipe, a FIFO, a terminal on hold) cannot keep a stop
// signal waiting: the handler's flags let a plain write(2) go on waiting after one. What the
// output takes at once is written even after a stop. Answers 0 when all was written, else the
// system's error: EINTR when a stop signal came while the output had no room, the rest
// unwritten. With no TStopSignals alive, a plain write.
int WriteUnlessStopped(int fd, const char* bytes, std::size_t size);
#endif

#ifdef _WIN32
// The console control handler, as the system calls it on a thread of its own (CTRL_C_EVENT, ...):
// true when a live TStopSignals took the event.
int __stdcall ConsoleControl(unsigned long type);
#endif

} // namespace framework
