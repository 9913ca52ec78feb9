#pragma once
// A log file read into the history, one store per unit, without holding the file in memory: it is
// read in chunks and each line parsed as it comes. A line that is no record is skipped and
// counted. A file that is still being written to is read on from where it stopped: ReadMore()
// takes what was appended since, and a file cut shorter or replaced is read again from its start.
// Where one run of the programs ends and another begins in the same file (a header line again, or
// a silence TRunBreaks tells), the lines break.
//
// Only a regular file is read: a folder, a FIFO or a device is refused with a message, and a FIFO
// never waited on. A log longer than the point budget is kept reduced: once the points kept pass
// it, every store is halved (THistoryStore::Coarsen) and from then on each run of Stride() records
// of a unit is kept as two points, its lowest and its highest values, so no peak is lost and the
// memory stays within the budget however long the file.

#include "history/LogRecord.h"
#include "history/RunBreaks.h"
#include "history/Store.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace history {

class TLogReader {
public:
    enum class TState { Reading, NotALog, Unreadable, Cancelled };

    // 2,000,000 points of 24 bytes: 48 MB, eleven days of one unit polled twice a second kept
    // whole, and still hundreds of points for each pixel column of the widest chart.
    static constexpr std::size_t kPointBudget = 2'000'000;
    // Units past this many (each costs a store of its own, and a line in the unit choice) are
    // not kept; their records are counted as such.
    static constexpr std::size_t kMostUnits = 256;

    explicit TLogReader(const QString& path, std::size_t pointBudget = kPointBudget);

    // Reads on; false when the file can't be read, is no log, or the reading was stopped (Error()
    // says which).
    bool ReadMore();

    // When set, ReadMore looks at it between chunks and stops, Cancelled, once it is true; and
    // tells how far it got (bytes read of the file's size). For a reading on another thread.
    const std::atomic<bool>* Stop = nullptr;
    std::function<void(qint64 done, qint64 total)> OnProgress;

    TState State() const { return state_; }
    const QString& Error() const { return error_; }
    const QString& Path() const { return path_; }
    std::size_t Records() const { return records_; }
    std::size_t Malformed() const { return malformed_; }
    // Records of units past kMostUnits, not kept.
    std::size_t OtherUnitsRecords() const { return otherUnits_; }
    // How many records of a unit each pair of points kept stands for: 1 while the log is kept
    // whole.
    std::size_t Stride() const { return stride_; }
    // Whether the last ReadMore began the file anew (it had been cut shorter or replaced).
    bool Restarted() const { return restarted_; }
    // The bytes the file holds beyond those read, as far as its size tells.
    qint64 Unread() const;

    // The units found, by serial and location, in the order of their first record; a log of the
    // older layout has one unit with neither.
    const std::vector<unit::TUnitIdentity>& Units() const { return units_; }
    const THistoryStore* Store(const unit::TUnitIdentity& unit) const;

private:
    struct TBucket {
        TPoint Low, High;
        std::size_t Count = 0;
    };
    struct TUnitLog {
        unit::TUnitIdentity Identity;
        THistoryStore Store{0};
        TRunBreaks Breaks;
        TBucket Bucket;
    };
    using TKey = std::pair<QString, QString>;

    void Reset();
    bool Open();
    // Takes one line; a line that has not ended yet (`whole` false) is taken only when it is a
    // record already, and false returned otherwise.
    bool Line(QByteArrayView line, bool whole = true);
    bool TakeFirstLine(QByteArrayView line);
    TUnitLog* LogOf(const unit::TUnitIdentity& unit);
    // A point into a unit's store, through its bucket once the log is kept reduced.
    void Keep(TUnitLog& log, const TPoint& point);
    void Flush(TUnitLog& log);
    void FlushAll();

    QString path_;
    std::size_t budget_;
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
    std::size_t otherUnits_ = 0;
    std::size_t stride_ = 1;
    std::size_t kept_ = 0; // the points of every store
    bool restarted_ = false;
    std::vector<unit::TUnitIdentity> units_;
    std::vector<std::unique_ptr<TUnitLog>> logs_;
    std::map<TKey, TUnitLog*> byIdentity_;
};

} // namespace history
