#pragma once
// `watch --all`: every attached unit read once per interval, the period's records (one per unit)
// handed to the sink together. A unit attached meanwhile is taken at the device change; one that
// goes away gets a record of the gap and is taken again when it comes back; one that fails a read
// gets a record saying so. None of that holds up the others: each is read once per period and
// never waited for.

#include "cli/Io.h"
#include "cli/Options.h"
#include "cli/Sinks.h"
#include "cli/UnitSet.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace cli {

class TWatchAll : public QObject {
    Q_OBJECT
public:
    TWatchAll(const TOptions& options, TUnitSet& units, TRecordSink& sink, TIo& io);
    ~TWatchAll() override;

    // Runs an event loop until the watch ends; answers the exit status.
    int Run();
    // One period: a record for every unit held.
    void Tick();

private:
    void Finish(int status);
    void DeviceChanged(void* sender);

    const TOptions& options_;
    TUnitSet& units_;
    TRecordSink& sink_;
    TIo& io_;
    QEventLoop* loop_ = nullptr;
    QTimer tick_;
    long long periods_ = 0;
    bool done_ = false;
    bool inTick_ = false;
    bool takePending_ = false; // a device change met inside a tick, taken after it
    int status_ = 0;
    QString writeError_;
};

} // namespace cli
