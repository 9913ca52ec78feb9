#pragma once
// `watch`: one record per read, every interval, until the count is reached, SIGINT, SIGTERM or
// SIGHUP arrives (after the record in hand), or the unit fails. With --reconnect an unplugged unit
// is waited for, and a unit whose requests time out is read on until it answers again; a record
// marks each gap ("unplugged", "no-answer").

#include "cli/Io.h"
#include "cli/Options.h"
#include "cli/Sinks.h"
#include "cli/UnitLink.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace cli {

class TWatch : public QObject {
    Q_OBJECT
public:
    // A watch needs this many failed reads in a row, the unit still attached, to give up.
    static constexpr int kFailuresToGiveUp = 3;
    // While waiting for the unit to come back, how often an attached one is tried again (one
    // refused for reading and writing may be let in a moment later).
    static constexpr int kRetryMs = 1000;

    // The link's unit is open.
    TWatch(const TOptions& options, TUnitLink& link, TRecordSink& sink, TIo& io);
    ~TWatch() override;

    // Runs an event loop until the watch ends; answers the exit status. Throws TUnitFailure when
    // the unit fails us.
    int Run();

private:
    void Tick();
    void Answered(const unit::TUnitAnswer& answer);
    void Finish(int status);
    void Fail(TFailure failure);
    bool Emit(const TRecordRow& row);
    void StartWaiting();
    void TryReconnect();

    const TOptions& options_;
    TUnitLink& link_;
    TRecordSink& sink_;
    TIo& io_;
    QEventLoop* loop_ = nullptr;
    QTimer tick_;
    QTimer retry_;
    long long records_ = 0;
    int failures_ = 0;
    bool waiting_ = false;
    bool stalled_ = false; // the gap of a unit that stopped answering is marked
    bool done_ = false;
    int status_ = 0;
    TFailure failure_ = TFailure::None;
    QString writeError_;
};

} // namespace cli
