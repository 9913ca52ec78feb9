#include "history/Store.h"

#include <algorithm>
#include <cstring>

namespace history {

namespace {

const unit::TUnitIdentity kNoUnit{};

} // namespace

QString GapEvent(TGapReason reason) {
    switch (reason) {
    case TGapReason::Unticked:
        return QStringLiteral("disconnected");
    case TGapReason::FailedRead:
        return QStringLiteral("failed-read");
    case TGapReason::NoAnswer:
        return QStringLiteral("no-answer");
    case TGapReason::Unplugged:
        return QStringLiteral("unplugged");
    case TGapReason::NoRecords:
        return QStringLiteral("no-records");
    }
    return QStringLiteral("failed-read");
}

TGapReason GapFromEvent(const QString& event) {
    for (TGapReason reason : {TGapReason::Unticked, TGapReason::FailedRead, TGapReason::NoAnswer,
                              TGapReason::Unplugged, TGapReason::NoRecords})
        if (event == GapEvent(reason))
            return reason;
    return TGapReason::FailedRead;
}

THistoryStore::THistoryStore(std::size_t capacity) : capacity_(capacity) {
    if (capacity_ > 0)
        points_.reserve(capacity_);
}

void THistoryStore::Measurement(qint64 time, const TDataBlock& data,
                                const unit::TUnitIdentity& unit) {
    TPoint point;
    point.Time = time;
    std::memcpy(point.Bytes.data(), data.data() + kFirstKeptByte, kKeptBytes);
    Append(point, unit);
}

void THistoryStore::Gap(qint64 time, TGapReason reason) {
    // A run of gaps is one gap: the first says why the measurements stopped.
    if (size_ > 0 && At(size_ - 1).IsGap())
        return;
    if (size_ == 0)
        return; // nothing to break
    TPoint point;
    point.Time = time;
    point.Gap = static_cast<std::uint8_t>(reason);
    Push(point);
}

void THistoryStore::Append(const TPoint& point, const unit::TUnitIdentity& unit) {
    if (point.IsGap()) {
        Gap(point.Time, static_cast<TGapReason>(point.Gap));
        return;
    }
    if (!segmentOpen_ || segments_.back().Unit.Serial != unit.Serial) {
        segments_.push_back({firstSequence_ + size_, unit});
        segmentOpen_ = true;
    }
    Push(point);
}

void THistoryStore::Push(const TPoint& point) {
    TPoint kept = point;
    if (size_ > 0)
        kept.Time = std::max(kept.Time, At(size_ - 1).Time);
    if (capacity_ == 0 || points_.size() < capacity_) {
        points_.push_back(kept);
        ++size_;
    } else {
        // Full: the newest takes the oldest's slot.
        points_[head_] = kept;
        head_ = (head_ + 1) % points_.size();
        ++firstSequence_;
        while (segments_.size() > 1 && segments_[1].First <= firstSequence_)
            segments_.erase(segments_.begin());
    }
    ++revision_;
}

void THistoryStore::Clear() {
    points_.clear();
    head_ = size_ = 0;
    firstSequence_ = 0;
    segments_.clear();
    segmentOpen_ = false;
    ++revision_;
}

std::size_t THistoryStore::LowerBound(qint64 time) const {
    std::size_t low = 0, high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (At(middle).Time < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const unit::TUnitIdentity& THistoryStore::UnitAt(std::size_t index) const {
    const std::uint64_t sequence = firstSequence_ + index;
    const auto after = std::upper_bound(
        segments_.begin(), segments_.end(), sequence,
        [](std::uint64_t s, const TSegment& segment) { return s < segment.First; });
    if (after == segments_.begin())
        return kNoUnit;
    return std::prev(after)->Unit;
}

std::vector<TSegment> THistoryStore::Segments() const {
    return segments_;
}

std::size_t THistoryStore::MemoryBytes() const {
    std::size_t bytes = sizeof(*this) + points_.capacity() * sizeof(TPoint);
    for (const TSegment& segment : segments_)
        bytes += sizeof(TSegment) + (segment.Unit.Serial.size() + segment.Unit.Location.size()) * 2;
    return bytes;
}

} // namespace history
