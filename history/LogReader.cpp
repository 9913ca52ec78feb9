#include "history/LogReader.h"

#include "history/HistoryLogging.h"

#include <QCoreApplication>

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

TLogReader::TLogReader(const QString& path) : path_(path), file_(path) {}

void TLogReader::Reset() {
    offset_ = 0;
    pending_.clear();
    skipping_ = false;
    sawFirstLine_ = false;
    format_ = TFormat::Unknown;
    layout_.reset();
    records_ = malformed_ = 0;
    units_.clear();
    stores_.clear();
    breaks_.clear();
}

const THistoryStore* TLogReader::Store(const QString& serial) const {
    const auto it = stores_.find(serial);
    return it == stores_.end() ? nullptr : it->second.get();
}

THistoryStore& TLogReader::StoreOf(const QString& serial) {
    auto& store = stores_[serial];
    if (!store) {
        store = std::make_unique<THistoryStore>(0);
        units_.push_back(serial);
    }
    return *store;
}

bool TLogReader::ReadMore() {
    restarted_ = false;
    if (state_ != TState::Reading)
        return false;
    // Opened afresh each time: a log replaced by a new file is read from the new one.
    file_.close();
    if (!file_.open(QIODevice::ReadOnly)) {
        state_ = TState::Unreadable;
        error_ = QCoreApplication::translate("history", "Не удалось открыть файл: %1")
                     .arg(file_.errorString());
        qCWarning(lcHistory).noquote() << "cannot open" << path_ << "-" << file_.errorString();
        return false;
    }
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
    QByteArray chunk;
    while (!(chunk = file_.read(kChunk)).isEmpty()) {
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
            for (auto& [serial, store] : stores_)
                if (!store->Empty())
                    store->Gap(store->At(store->Size() - 1).Time, TGapReason::NoRecords);
            for (auto& [serial, breaks] : breaks_)
                breaks.Break();
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
    THistoryStore& store = StoreOf(record->Unit.Serial);
    TRunBreaks& breaks = breaks_[record->Unit.Serial];
    if (record->Point.IsGap())
        breaks.Break();
    else if (const auto end = breaks.Record(record->Point.Time))
        store.Gap(*end, TGapReason::NoRecords);
    store.Append(record->Point, record->Unit);
    return true;
}

} // namespace history
