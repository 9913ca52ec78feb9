#include "history/Store.h"

#include "unit/Block.h"

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
    // Two units may share a serial (or have none): the location tells them apart.
    if (!segmentOpen_ || segments_.back().Unit.Serial != unit.Serial ||
        segments_.back().Unit.Location != unit.Location) {
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

void THistoryStore::Coarsen() {
    if (capacity_ != 0 || size_ < 4)
        return;
    constexpr std::size_t kScale = block::kScaleByte - kFirstKeptByte;
    std::vector<TPoint> out;
    out.reserve(size_ / 2 + 4);
    std::vector<TSegment> segments;
    std::size_t segment = 0;
    std::size_t i = 0;
    while (i < size_) {
        while (segment + 1 < segments_.size() && segments_[segment + 1].First <= i)
            ++segment;
        // Every segment of such a store has points: each is met, in order, once.
        if (segments.size() <= segment && segment < segments_.size())
            segments.push_back({out.size(), segments_[segment].Unit});
        const std::size_t end =
            segment + 1 < segments_.size() ? segments_[segment + 1].First : size_;
        const TPoint& first = points_[i];
        std::size_t n = 0;
        while (n < 4 && i + n < end && !points_[i + n].IsGap() &&
               points_[i + n].Bytes[kScale] == first.Bytes[kScale])
            ++n;
        if (n < 4) {
            out.push_back(first);
            ++i;
            continue;
        }
        TPoint low = first, high = first;
        for (std::size_t k = 1; k < 4; ++k)
            for (std::size_t b = 0; b < kKeptBytes; ++b) {
                low.Bytes[b] = std::min(low.Bytes[b], points_[i + k].Bytes[b]);
                high.Bytes[b] = std::max(high.Bytes[b], points_[i + k].Bytes[b]);
            }
        high.Time = points_[i + 3].Time;
        out.push_back(low);
        out.push_back(high);
        i += 4;
    }
    points_ = std::move(out);
    size_ = points_.size();
    head_ = 0;
    segments_ = std::move(segments);
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
