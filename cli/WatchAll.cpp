#include "cli/WatchAll.h"

#include "framework/StopSignals.h"

namespace cli {

TWatchAll::TWatchAll(const TOptions& options, TUnitSet& units, TRecordSink& sink, TIo& io)
    : options_(options), units_(units), sink_(sink), io_(io) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(options_.IntervalMs);
    connect(&tick_, &QTimer::timeout, this, &TWatchAll::Tick);
    units_.FollowDevices([this] { DeviceChanged(); });
}

TWatchAll::~TWatchAll() {
    // The set outlives this watch.
    units_.FollowDevices(nullptr);
}

int TWatchAll::Run() {
    framework::TStopSignals stopSignals;
    connect(&stopSignals, &framework::TStopSignals::Stop, this, [this] { Finish(0); });
    QEventLoop loop;
    loop_ = &loop;
    Tick(); // the first period at once
    if (!done_) {
        // Without an interval the next period follows the last answer; a timer would only spin.
        if (options_.IntervalMs > 0)
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

void TWatchAll::DeviceChanged() {
    // The slots are not to change under an open period, whose rows are by slot.
    if (open_)
        takePending_ = true;
    else
        units_.TakeNew();
}

void TWatchAll::Tick() {
    if (done_)
        return;
    if (open_)
        ClosePeriod(); // what is still out is that period's "no-answer"
    if (done_)
        return;
    auto& held = units_.Slots();
    ++period_;
    open_ = true;
    rescanned_ = false;
    periodTime_ = io_.Now();
    rows_.assign(held.size(), std::nullopt);
    asked_.assign(held.size(), false);
    pending_ = 0;
    for (std::size_t i = 0; i < held.size(); ++i) {
        TUnitSet::TSlot& slot = held[i];
        if (!slot.Device)
            continue;
        const unit::TUnitIdentity identity{slot.Entry.Serial, slot.Entry.Location};
        if (slot.Replugged) {
            slot.Replugged = false;
            rows_[i] = TRecordRow{periodTime_, std::nullopt, QStringLiteral("unplugged"), identity};
            continue;
        }
        if (!TUnitSet::Present(slot)) {
            rows_[i] = TRecordRow{periodTime_, std::nullopt, QStringLiteral("unplugged"), identity};
            units_.Release(slot);
            continue;
        }
        // A read of an earlier period still out: this period has none of that unit.
        if (TUnitSet::Busy(slot)) {
            rows_[i] = TRecordRow{periodTime_, std::nullopt, QStringLiteral("no-answer"), identity};
            continue;
        }
        const std::uint64_t period = period_;
        asked_[i] = units_.AskRead(slot, [this, period, i](const unit::TUnitAnswer& answer) {
            Answered(period, i, answer);
        });
        if (asked_[i])
            ++pending_;
    }
    if (pending_ == 0)
        ClosePeriod();
}

void TWatchAll::Answered(std::uint64_t period, std::size_t index, const unit::TUnitAnswer& answer) {
    if (done_ || !open_ || period != period_ || index >= rows_.size())
        return; // its period is closed, with a "no-answer" for it
    --pending_;
    TUnitSet::TSlot& slot = units_.Slots()[index];
    const unit::TUnitIdentity identity{slot.Entry.Serial, slot.Entry.Location};
    if (answer.Read) {
        rows_[index] = TRecordRow{periodTime_, answer.Block, {}, identity};
    } else if (answer.Gone) {
        // Gone from under its handle, though a look may still see it (on Windows it may be back
        // with the same DevInst already): taken anew once the period closes.
        rows_[index] = TRecordRow{periodTime_, std::nullopt, QStringLiteral("unplugged"), identity};
        units_.Release(slot);
        takePending_ = true;
    } else {
        // One look at the devices present per period tells an unplugged unit from one that did
        // not answer.
        if (!rescanned_ && TUnitSet::Present(slot)) {
            units_.Rescan();
            rescanned_ = true;
        }
        if (TUnitSet::Present(slot)) {
            rows_[index] =
                TRecordRow{periodTime_, std::nullopt, QStringLiteral("no-answer"), identity};
        } else {
            rows_[index] =
                TRecordRow{periodTime_, std::nullopt, QStringLiteral("unplugged"), identity};
            units_.Release(slot);
        }
    }
    if (pending_ == 0)
        ClosePeriod();
}

void TWatchAll::ClosePeriod() {
    if (!open_)
        return;
    open_ = false;
    std::vector<TRecordRow> period;
    const auto& held = units_.Slots();
    for (std::size_t i = 0; i < rows_.size() && i < held.size(); ++i) {
        if (rows_[i]) {
            period.push_back(*rows_[i]);
        } else if (asked_[i]) {
            const unit::TUnitIdentity identity{held[i].Entry.Serial, held[i].Entry.Location};
            period.push_back({periodTime_, std::nullopt, QStringLiteral("no-answer"), identity});
        }
    }
    if (takePending_) {
        takePending_ = false;
        units_.TakeNew();
    }
    if (!sink_.Write(period)) {
        // A write that waited on its reader gave way to a stop signal: the watch ends as stopped.
        if (framework::TStopSignals::Came()) {
            Finish(0);
            return;
        }
        writeError_ = sink_.Error();
        Finish(1);
        return;
    }
    if (options_.Count && ++periods_ >= *options_.Count) {
        Finish(0);
        return;
    }
    if (options_.IntervalMs == 0)
        QTimer::singleShot(0, this, &TWatchAll::Tick);
}

} // namespace cli
