#include "cli/Watch.h"

#include "framework/StopSignals.h"

#include <QEventLoop>

namespace cli {

TWatch::TWatch(const TOptions& options, TUnitLink& link, TRecordSink& sink, TIo& io)
    : options_(options), link_(link), sink_(sink), io_(io) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(options_.IntervalMs);
    connect(&tick_, &QTimer::timeout, this, &TWatch::Tick);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &TWatch::TryReconnect);
}

TWatch::~TWatch() {
    // The session outlives this watch.
    link_.Session().FollowDevices(nullptr);
}

int TWatch::Run() {
    framework::TStopSignals stopSignals;
    connect(&stopSignals, &framework::TStopSignals::Stop, this, [this] { Finish(0); });
    // Unplug and replug reach the controller through the event loop; with --reconnect the watch
    // looks for its unit at each change.
    if (options_.Reconnect)
        link_.Session().FollowDevices([this] { TryReconnect(); });

    QEventLoop loop;
    loop_ = &loop;
    Tick(); // the first record at once
    if (!done_) {
        // Without an interval the next read follows each answer; a timer would only spin.
        if (options_.IntervalMs > 0)
            tick_.start();
        loop.exec();
    }
    loop_ = nullptr;
    tick_.stop();
    retry_.stop();
    if (failure_ != TFailure::None)
        throw TUnitFailure{failure_, link_.Path()};
    if (!writeError_.isEmpty()) {
        Put(io_.Err, QStringLiteral("tarvenik-cli: %1\n").arg(writeError_));
        return 1;
    }
    return status_;
}

void TWatch::Finish(int status) {
    if (done_)
        return;
    done_ = true;
    status_ = status;
    tick_.stop();
    retry_.stop();
    if (loop_ != nullptr)
        loop_->quit();
}

void TWatch::Fail(TFailure failure) {
    failure_ = failure;
    Finish(1);
}

bool TWatch::Emit(const TRecordRow& row) {
    if (sink_.Write({row}))
        return true;
    // A write that waited on its reader gave way to a stop signal: the watch ends as stopped.
    if (framework::TStopSignals::Came()) {
        Finish(0);
        return false;
    }
    writeError_ = sink_.Error();
    Finish(1);
    return false;
}

// The read runs on the session's exchange thread, so a stop signal is served at once whatever
// the unit does; a period whose read is still out gets none.
void TWatch::Tick() {
    if (done_ || waiting_ || link_.Session().Busy())
        return;
    link_.Session().AskRead([this](const unit::TUnitAnswer& answer) {
        Answered(answer);
        if (options_.IntervalMs == 0 && !done_ && !waiting_)
            QTimer::singleShot(0, this, &TWatch::Tick);
    });
}

void TWatch::Answered(const unit::TUnitAnswer& answer) {
    if (done_)
        return;
    const TDataBlock& data = answer.Block;
    const bool answered = answer.Read;
    const QDateTime now = io_.Now();
    const unit::TUnitIdentity identity{link_.Held().Serial, link_.Held().Location};
    if (answered) {
        failures_ = 0;
        stalled_ = false;
        if (!Emit({now, data, {}, identity}))
            return;
        ++records_;
        if (options_.Count && records_ >= *options_.Count)
            Finish(0);
        return;
    }
    if (answer.NoAnswer) {
        // A unit that lets a request time out is there but hung: with --reconnect the gap is
        // marked once and the watch waits for the unit to answer again.
        if (!options_.Reconnect) {
            Fail(TFailure::NoAnswer);
            return;
        }
        if (!stalled_ && Emit({now, std::nullopt, QStringLiteral("no-answer"), identity}))
            stalled_ = true;
        return;
    }
    const TFailure failure = link_.Diagnose();
    if (failure == TFailure::Unplugged) {
        if (!options_.Reconnect) {
            Fail(failure);
            return;
        }
        if (Emit({now, std::nullopt, QStringLiteral("unplugged"), identity}))
            StartWaiting();
        return;
    }
    if (options_.Format == TRecordFormat::Prometheus &&
        !Emit({now, std::nullopt, QStringLiteral("no-answer"), identity}))
        return;
    if (++failures_ >= kFailuresToGiveUp)
        Fail(TFailure::NotAnswering);
}

void TWatch::StartWaiting() {
    waiting_ = true;
    failures_ = 0;
    tick_.stop();
    link_.Release();
    retry_.start();
    TryReconnect(); // it may be back already
}

void TWatch::TryReconnect() {
    if (done_ || !waiting_ || link_.Open() != TFailure::None)
        return;
    waiting_ = false;
    retry_.stop();
    if (options_.IntervalMs > 0)
        tick_.start();
    else
        QTimer::singleShot(0, this, &TWatch::Tick);
}

} // namespace cli
