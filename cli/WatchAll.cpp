#include "cli/WatchAll.h"

#include "cli/StopSignals.h"
#include "hid/HidControllerClass.h"

namespace cli {

TWatchAll::TWatchAll(const TOptions& options, TUnitSet& units, TRecordSink& sink, TIo& io)
    : options_(options), units_(units), sink_(sink), io_(io) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(options_.IntervalMs);
    connect(&tick_, &QTimer::timeout, this, &TWatchAll::Tick);
    units_.Controller().SetOnDeviceChange(TNotifyEvent(this, &TWatchAll::DeviceChanged));
}

TWatchAll::~TWatchAll() {
    // The controller outlives this watch.
    units_.Controller().SetOnDeviceChange(TNotifyEvent());
}

int TWatchAll::Run() {
    TStopSignals stopSignals;
    connect(&stopSignals, &TStopSignals::Stop, this, [this] { Finish(0); });
    QEventLoop loop;
    loop_ = &loop;
    Tick(); // the first period at once
    if (!done_) {
        tick_.start();
        loop.exec();
    }
    loop_ = nullptr;
    tick_.stop();
    if (!writeError_.isEmpty()) {
        Put(io_.Err, QStringLiteral("tarvenik-cli: %1\n").arg(writeError_));
        return 1;
    }
    return status_;
}

void TWatchAll::Finish(int status) {
    if (done_)
        return;
    done_ = true;
    status_ = status;
    tick_.stop();
    if (loop_ != nullptr)
        loop_->quit();
}

void TWatchAll::DeviceChanged(void*) {
    // The slots are not to change under a tick that walks them.
    if (inTick_)
        takePending_ = true;
    else
        units_.TakeNew();
}

void TWatchAll::Tick() {
    if (done_)
        return;
    const QDateTime now = io_.Now();
    std::vector<TRecordRow> period;
    bool rescanned = false;
    inTick_ = true;
    for (TUnitSet::TSlot& slot : units_.Slots()) {
        if (!slot.Device)
            continue;
        const unit::TUnitIdentity identity{slot.Entry.Serial, slot.Entry.Location};
        if (slot.Replugged) {
            slot.Replugged = false;
            period.push_back({now, std::nullopt, QStringLiteral("unplugged"), identity});
            continue;
        }
        TDataBlock data{};
        if (TUnitSet::Present(slot) && units_.Read(slot, data)) {
            period.push_back({now, data, {}, identity});
            continue;
        }
        // One look at the devices present per period tells an unplugged unit from one that
        // did not answer.
        if (!rescanned && TUnitSet::Present(slot)) {
            units_.Rescan();
            rescanned = true;
        }
        if (TUnitSet::Present(slot)) {
            period.push_back({now, std::nullopt, QStringLiteral("no-answer"), identity});
        } else {
            period.push_back({now, std::nullopt, QStringLiteral("unplugged"), identity});
            units_.Release(slot);
        }
    }
    inTick_ = false;
    if (takePending_) {
        takePending_ = false;
        units_.TakeNew();
    }
    if (!sink_.Write(period)) {
        writeError_ = sink_.Error();
        Finish(1);
        return;
    }
    if (options_.Count && ++periods_ >= *options_.Count)
        Finish(0);
}

} // namespace cli
