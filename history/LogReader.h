#pragma once
// A log file read into the history, one store per unit, without holding the file in memory: it is
// read in chunks and each line parsed as it comes. A line that is no record is skipped and
// counted. A file that is still being written to is read on from where it stopped: ReadMore()
// takes what was appended since, and a file cut shorter or replaced is read again from its start.
// Where one run of the programs ends and another begins in the same file (a header line again, or
// a silence TRunBreaks tells), the lines break.

#include "history/LogRecord.h"
#include "history/RunBreaks.h"
#include "history/Store.h"

#include <QFile>
#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace history {

class TLogReader {
public:
    enum class TState { Reading, NotALog, Unreadable };

    explicit TLogReader(const QString& path);

    // Reads on; false when the file can't be read or is no log (Error() says which).
    bool ReadMore();

    TState State() const { return state_; }
    const QString& Error() const { return error_; }
    const QString& Path() const { return path_; }
    std::size_t Records() const { return records_; }
    std::size_t Malformed() const { return malformed_; }
    // Whether the last ReadMore began the file anew (it had been cut shorter or replaced).
    bool Restarted() const { return restarted_; }

    // The units found, in the order of their first record; a log of the older layout has one
    // unit with an empty serial.
    const std::vector<QString>& Units() const { return units_; }
    const THistoryStore* Store(const QString& serial) const;

private:
    void Reset();
    // Takes one line; a line that has not ended yet (`whole` false) is taken only when it is a
    // record already, and false returned otherwise.
    bool Line(QByteArrayView line, bool whole = true);
    bool TakeFirstLine(QByteArrayView line);
    THistoryStore& StoreOf(const QString& serial);

    QString path_;
    QFile file_;
    qint64 offset_ = 0;     // the bytes consumed: whole lines only
    QByteArray pending_;    // a line begun but not ended yet
    bool skipping_ = false; // inside a line too long to be a record
    bool sawFirstLine_ = false;
    enum class TFormat { Unknown, Csv, Json } format_ = TFormat::Unknown;
    std::optional<TCsvLayout> layout_;
    TState state_ = TState::Reading;
    QString error_;
    std::size_t records_ = 0;
    std::size_t malformed_ = 0;
    bool restarted_ = false;
    std::vector<QString> units_;
    std::map<QString, std::unique_ptr<THistoryStore>> stores_;
    std::map<QString, TRunBreaks> breaks_;
};

} // namespace history
