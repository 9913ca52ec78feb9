#pragma once
// One line of a log written by `tarvenik --log` or `tarvenik-cli watch --csv/--jsonl`, parsed
// into a point of the history: the CSV layouts with and without the unit's serial and location,
// and JSON lines; records of reads and event records (a gap).

#include "history/Store.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace history {

// "2025-03-01T14:05:09.250+01:00" (or any ISO 8601 date and time Qt reads) to milliseconds since
// the epoch; nothing for a text that is no time.
std::optional<qint64> ParseTime(QByteArrayView text);

struct TLogLine {
    TPoint Point;
    unit::TUnitIdentity Unit;
};

// The columns of a CSV log, found by name in its header line.
class TCsvLayout {
public:
    // Nothing when the line is no header of a log.
    static std::optional<TCsvLayout> FromHeader(QByteArrayView line);
    std::optional<TLogLine> Parse(QByteArrayView line) const;
    bool HasIdentity() const { return serial_ >= 0; }

private:
    int time_ = -1;
    std::array<int, kKeptBytes> byteColumn_{}; // the column of each kept byte, -1 for none
    std::array<bool, kKeptBytes> volts_{};
    int scale_ = -1, event_ = -1, serial_ = -1, location_ = -1;
    int columns_ = 0;
    // Reused from line to line: a million lines need no allocation each.
    mutable std::vector<QByteArrayView> fields_;
    mutable QByteArray scratch_;
};

// Splits a CSV line (RFC 4180: quoted fields, doubled quotes) without its line end. The fields
// view `line` or, for a quoted one, `scratch`; false for a quote left open.
bool SplitCsv(QByteArrayView line, std::vector<QByteArrayView>& fields, QByteArray& scratch);

// One JSON line; nothing when it is no record.
std::optional<TLogLine> ParseJsonLine(QByteArrayView line);

} // namespace history
