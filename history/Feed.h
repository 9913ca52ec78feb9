#pragma once
// What the history is fed with: a measurement (a block the unit answered with, and which unit it
// was) or a gap in the measurements and why. The window feeds it from its poll; a log file is read
// into the same interface.

#include "unit/Block.h"
#include "unit/Record.h"

#include <QtGlobal>

#include <cstdint>

namespace history {

// Why there are no measurements from a time on. Stored in one byte; 0 is a measurement.
enum class TGapReason : std::uint8_t {
    Unticked = 1,   // the user disconnected
    FailedRead = 2, // a read the unit refused
    NoAnswer = 3,   // the unit let the request time out
    Unplugged = 4,  // the unit went away
    NoRecords = 5,  // a log stops for a while: the program stopped, or wrote nothing
};

// The log's word for a gap reason ("unplugged", "no-answer", ...), and back; an unknown word is a
// gap all the same, of the closest kind (a failed read).
QString GapEvent(TGapReason reason);
TGapReason GapFromEvent(const QString& event);

class THistoryFeed {
public:
    virtual ~THistoryFeed() = default;
    // `time`: milliseconds since the epoch (UTC).
    virtual void Measurement(qint64 time, const TDataBlock& data,
                             const unit::TUnitIdentity& unit) = 0;
    virtual void Gap(qint64 time, TGapReason reason) = 0;
};

} // namespace history
