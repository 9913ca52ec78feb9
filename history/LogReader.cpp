#include "history/LogReader.h"

#include "framework/Files.h"
#include "history/HistoryLogging.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace history {

namespace {

// A JSON record with its raw block and both traces is under 2 KB; a longer line is no record.
constexpr qsizetype kLongestLine = 64 * 1024;
constexpr qint64 kChunk = 1 << 20;

QByteArrayView WithoutLineEnd(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    return line;
}

} // namespace

TLogReader::TLogReader(const QString& path, std::size_t pointBudget)
    : path_(path), budget_(std::max<std::size_t>(pointBudget, 64)) {}

void TLogReader::Reset() {
    offset_ = 0;
    pending_.clear();
    skipping_ = false;
    sawFirstLine_ = false;
    format_ = TFormat::Unknown;
    layout_.reset();
    records_ = malformed_ = otherUnits_ = kept_ = 0;
    stride_ = 1;
    units_.clear();
    logs_.clear();
    byIdentity_.clear();
}

qint64 TLogReader::Unread() const {
    return std::max<qint64>(0, QFileInfo(path_).size() - offset_ - pending_.size());
}

const THistoryStore* TLogReader::Store(const unit::TUnitIdentity& unit) const {
    const auto it = byIdentity_.find({unit.Serial, unit.Location});
    return it == byIdentity_.end() ? nullptr : &it->second->Store;
}

TLogReader::TUnitLog* TLogReader::LogOf(const unit::TUnitIdentity& unit) {
    const auto it = byIdentity_.find({unit.Serial, unit.Location});
    if (it != byIdentity_.end())
        return it->second;
    if (logs_.size() >= kMostUnits)
        return nullptr;
    logs_.push_back(std::make_unique<TUnitLog>());
    TUnitLog* log = logs_.back().get();
    log->Identity = unit;
    byIdentity_.emplace(TKey{unit.Serial, unit.Location}, log);
    units_.push_back(unit);
    return log;
}

void TLogReader::Flush(TUnitLog& log) {
    TBucket& bucket = log.Bucket;
    if (bucket.Count == 0)
        return;
    const std::size_t before = log.Store.Size();
    log.Store.Append(bucket.Low, log.Identity);
    if (bucket.Count > 1)
        log.Store.Append(bucket.High, log.Identity);
    kept_ += log.Store.Size() - before;
    bucket.Count = 0;
}

void TLogReader::FlushAll() {
    for (auto& log : logs_)
        Flush(*log);
}

void TLogReader::Keep(TUnitLog& log, const TPoint& point) {
    constexpr std::size_t kScale = block::kScaleByte - kFirstKeptByte;
    TBucket& bucket = log.Bucket;
    if (stride_ == 1 || point.IsGap()) {
        Flush(log);
        const std::size_t before = log.Store.Size();
        log.Store.Append(point, log.Identity);
        kept_ += log.Store.Size() - before;
    } else {
        if (bucket.Count > 0 && bucket.Low.Bytes[kScale] != point.Bytes[kScale])
            Flush(log); // values of another scale are not compared
        if (bucket.Count == 0) {
            bucket.Low = bucket.High = point;
        } else {
            for (std::size_t b = 0; b < kKeptBytes; ++b) {
                bucket.Low.Bytes[b] = std::min(bucket.Low.Bytes[b], point.Bytes[b]);
                bucket.High.Bytes[b] = std::max(bucket.High.Bytes[b], point.Bytes[b]);
            }
            bucket.High.Time = point.Time;
        }
        if (++bucket.Count >= stride_)
            Flush(log);
    }
    if (kept_ <= budget_)
        return;
    // Over the budget: everything kept is halved, and the records to come are taken at the
    // coarser step (four records a pair the first time, twice as many each time after).
    kept_ = 0;
    for (auto& each : logs_) {
        each->Store.Coarsen();
        kept_ += each->Store.Size();
    }
    stride_ = stride_ == 1 ? 4 : stride_ * 2;
    if (stride_ == 4)
        qCInfo(lcHistory).noquote()
            << path_ << "holds more than" << budget_ << "points: it is kept reduced";
}

bool TLogReader::Open() {
    file_.close();
    framework::TFileKind kind = framework::TFileKind::Regular;
    QString why;
    if (framework::OpenRegularFile(path_, file_, kind, why))
        return true;
    state_ = TState::Unreadable;
    switch (kind) {
    case framework::TFileKind::Regular:
        error_ = QCoreApplication::translate("history", "Не удалось открыть файл: %1").arg(why);
        break;
    case framework::TFileKind::Folder:
        error_ = QCoreApplication::translate("history", "Это папка, а не файл журнала.");
        break;
    case framework::TFileKind::Pipe:
        error_ = QCoreApplication::translate(
            "history", "Это канал, а не файл журнала: журнал открывается только из файла.");
        break;
    case framework::TFileKind::Device:
        error_ = QCoreApplication::translate("history", "Это устройство, а не файл журнала.");
        break;
    case framework::TFileKind::Other:
        error_ = QCoreApplication::translate("history", "Это не обычный файл.");
        break;
    }
    qCWarning(lcHistory).noquote() << "cannot open" << path_ << "-"
                                   << (why.isEmpty() ? QStringLiteral("not a regular file") : why);
    return false;
}

bool TLogReader::ReadMore() {
    restarted_ = false;
    if (state_ != TState::Reading)
        return false;
    // Opened afresh each time: a log replaced by a new file is read from the new one.
    if (!Open())
        return false;
    if (file_.size() < offset_) {
        // Cut shorter or replaced: what was read no longer is the file.
        Reset();
        restarted_ = true;
    }
    if (!file_.seek(offset_ + pending_.size()) && offset_ + pending_.size() != 0) {
        state_ = TState::Unreadable;
        error_ = QCoreApplication::translate("history", "Не удалось прочитать файл: %1")
                     .arg(file_.errorString());
        return false;
    }
    const qint64 size = file_.size();
    QByteArray chunk;
    while (!(chunk = file_.read(kChunk)).isEmpty()) {
        if (Stop && Stop->load(std::memory_order_relaxed)) {
            state_ = TState::Cancelled;
            error_ = QCoreApplication::translate("history", "Открытие отменено.");
            file_.close();
            return false;
        }
        if (OnProgress)
            OnProgress(file_.pos(), size);
        qsizetype start = 0;
        while (start < chunk.size()) {
            const qsizetype end = chunk.indexOf('\n', start);
            if (end < 0) {
                if (!skipping_)
                    pending_.append(chunk.constData() + start, chunk.size() - start);
                else
                    offset_ += chunk.size() - start;
                if (pending_.size() > kLongestLine) {
                    ++malformed_;
                    skipping_ = true;
                    offset_ += pending_.size();
                    pending_.clear();
                }
                break;
            }
            const qsizetype length = end + 1 - start;
            if (skipping_) {
                skipping_ = false;
                offset_ += length;
            } else if (pending_.isEmpty()) {
                Line(QByteArrayView(chunk.constData() + start, length));
                offset_ += length;
            } else {
                pending_.append(chunk.constData() + start, length);
                offset_ += pending_.size();
                const QByteArray line = std::move(pending_);
                pending_.clear();
                Line(line);
            }
            start = end + 1;
            if (state_ != TState::Reading)
                return false;
        }
    }
    if (file_.error() != QFileDevice::NoError) {
        qCWarning(lcHistory).noquote() << "reading" << path_ << "failed -" << file_.errorString();
        file_.unsetError();
    }
    // A last line without its line end is taken when it is a whole record; otherwise it is a
    // record still being written, and waits for its end.
    if (!pending_.isEmpty() && !skipping_) {
        const QByteArray line = pending_;
        if (Line(line, false)) {
            offset_ += pending_.size();
            pending_.clear();
        }
    }
    // What a reduced log has gathered of its last records is shown too.
    FlushAll();
    file_.close();
    return state_ == TState::Reading;
}

bool TLogReader::TakeFirstLine(QByteArrayView line) {
    sawFirstLine_ = true;
    if (line.startsWith("{")) {
        format_ = TFormat::Json;
        return false; // the line is a record too
    }
    layout_ = TCsvLayout::FromHeader(line.startsWith("\xEF\xBB\xBF") ? line.sliced(3) : line);
    if (layout_) {
        format_ = TFormat::Csv;
        return true;
    }
    state_ = TState::NotALog;
    error_ = QCoreApplication::translate(
        "history", "Это не журнал измерений Tarvenik: первая строка не заголовок журнала и не "
                   "запись JSON.");
    qCInfo(lcHistory).noquote() << path_ << "is no log of the unit";
    return true;
}

bool TLogReader::Line(QByteArrayView raw, bool whole) {
    const QByteArrayView line = WithoutLineEnd(raw);
    if (line.isEmpty())
        return true;
    if (!sawFirstLine_) {
        const bool mayBeLog =
            line.startsWith("{") || line.startsWith("time") || line.startsWith("\xEF\xBB\xBF");
        if (!whole && mayBeLog && !line.startsWith("{"))
            return false; // a header is taken once its line has ended
        if (TakeFirstLine(line))
            return true;
    }
    if (format_ == TFormat::Csv && line.startsWith("time")) {
        // A header again: the output of another run was appended (`watch --csv >> file`).
        if (auto layout = TCsvLayout::FromHeader(line)) {
            layout_ = std::move(layout);
            for (auto& log : logs_) {
                Flush(*log);
                if (!log->Store.Empty()) {
                    TPoint gap;
                    gap.Time = log->Store.At(log->Store.Size() - 1).Time;
                    gap.Gap = static_cast<std::uint8_t>(TGapReason::NoRecords);
                    Keep(*log, gap);
                }
                log->Breaks.Break();
            }
            return true;
        }
    }
    std::optional<TLogLine> record =
        format_ == TFormat::Csv ? layout_->Parse(line) : ParseJsonLine(line);
    if (!record) {
        if (!whole)
            return false;
        if (format_ == TFormat::Json && records_ == 0 && malformed_ == 0 && !line.startsWith("{")) {
            state_ = TState::NotALog;
            error_ = QCoreApplication::translate("history", "Это не журнал измерений Tarvenik.");
            return true;
        }
        // Dropped by design: one bad line must not cost the rest of the log.
        if (malformed_ == 0)
            qCInfo(lcHistory).noquote() << path_ << "has lines that are no record; skipped";
        ++malformed_;
        return true;
    }
    ++records_;
    TUnitLog* log = LogOf(record->Unit);
    if (!log) {
        if (otherUnits_++ == 0)
            qCInfo(lcHistory).noquote() << path_ << "holds more than" << kMostUnits
                                        << "units: the records of the others are not kept";
        return true;
    }
    if (record->Point.IsGap()) {
        log->Breaks.Break();
    } else if (const auto end = log->Breaks.Record(record->Point.Time)) {
        TPoint gap;
        gap.Time = *end;
        gap.Gap = static_cast<std::uint8_t>(TGapReason::NoRecords);
        Keep(*log, gap);
    }
    Keep(*log, record->Point);
    return true;
}

} // namespace history
