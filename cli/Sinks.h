#pragma once
// Where `watch` puts its records: a stream (stdout) or a file appended to. Each record is written
// whole and flushed before the next read.

#include "cli/Options.h"
#include "unit/Block.h"
#include "unit/RecordFile.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <ostream>

namespace cli {

class TRecordSink {
public:
    virtual ~TRecordSink() = default;
    // False when the record could not be written; Error() says why.
    virtual bool Write(const QString& record) = 0;
    virtual QString Error() const = 0;
};

// A stream gets the CSV header before its first record.
std::unique_ptr<TRecordSink> MakeStreamSink(std::ostream& stream, TRecordFormat format);
// A file gets the header only when it is new or empty.
std::unique_ptr<TRecordSink> MakeFileSink(const QString& path, TRecordFormat format);

// One record of a read, and the record that marks an event (the unit going away), in a format.
QString RecordText(TRecordFormat format, const QDateTime& time, const TDataBlock& data);
QString EventRecordText(TRecordFormat format, const QDateTime& time, const QString& event);

} // namespace cli
