#pragma once
// Where `watch` puts its records: a stream (stdout) or a file. A period's records (one per unit
// watched) are handed over together: the line formats write them one after the other, each whole
// and flushed; the Prometheus format writes them as one exposition, and a file of it is replaced
// whole each period.

#include "cli/Options.h"
#include "unit/Block.h"
#include "unit/Record.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace cli {

// One record: a read the unit answered, or an event (no data) such as the unit going away.
struct TRecordRow {
    QDateTime Time;
    std::optional<TDataBlock> Data;
    QString Event;
    unit::TUnitIdentity Unit;
};

class TRecordSink {
public:
    virtual ~TRecordSink() = default;
    // False when the records could not be written; Error() says why.
    virtual bool Write(const std::vector<TRecordRow>& period) = 0;
    virtual QString Error() const = 0;
};

struct TSinkSetup {
    TRecordFormat Format = TRecordFormat::Plain;
    // The plain format names the unit of each record (several units are watched).
    bool PlainIdentity = false;
};

// A stream gets the CSV header before its first record.
std::unique_ptr<TRecordSink> MakeStreamSink(std::ostream& stream, const TSinkSetup& setup);
// A line format's file is appended to and gets the header only when it is new or empty; a CSV
// file begun without the serial and location columns goes on without them, said once on
// `notices`. A Prometheus file is replaced whole (a temporary file in its folder, then a rename).
std::unique_ptr<TRecordSink> MakeFileSink(const QString& path, const TSinkSetup& setup,
                                          std::ostream& notices);

// One record in a line format, with its line end.
QString RecordText(const TSinkSetup& setup, const TRecordRow& row,
                   unit::TLayout layout = unit::TLayout::Current);

} // namespace cli
