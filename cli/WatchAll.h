#pragma once
// `watch --all`: every attached unit read once per interval, the period's records (one per unit)
// handed to the sink together. A unit attached meanwhile is taken at the device change; one that
// goes away gets a record of the gap and is taken again when it comes back; one that fails a read
// gets a record saying so. None of that holds up the others: each unit is read on its own
// exchange thread, and a unit whose read is still out when the next period begins gets a
// "no-answer" record for its period.

#include "cli/Io.h"
#include "cli/Options.h"
#include "cli/Sinks.h"
#include "unit/UnitSet.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

namespace cli {

using unit::TUnitSet;

class TWatchAll : public QObject {
    Q_OBJECT
public:
    TWatchAll(const TOptions& options, TUnitSet& units, TRecordSink& sink, TIo& io);
    ~TWatchAll() override;

    // Runs an event loop until the watch ends; answers the exit status.
    int Run();
    // One period begins: the one before is closed, and a read is asked of every unit held.
    void Tick();

private:
    void Answered(std::uint64_t period, std::size_t slot, const unit::TUnitAnswer& answer);
    void ClosePeriod();
    void Finish(int status);
    void DeviceChanged();

    const TOptions& options_;
    TUnitSet& units_;
    TRecordSink& sink_;
    TIo& io_;
    QEventLoop* loop_ = nullptr;
    QTimer tick_;
    long long periods_ = 0;
    // The period under way: its number, time, a row per slot, and the reads still out.
    std::uint64_t period_ = 0;
    bool open_ = false;
    QDateTime periodTime_;
    std::vector<std::optional<TRecordRow>> rows_;
    std::vector<bool> asked_;
    int pending_ = 0;
    bool rescanned_ = false;
    bool done_ = false;
    bool takePending_ = false; // a device change met while a period was open, taken after it
    int status_ = 0;
    QString writeError_;
};

} // namespace cli
