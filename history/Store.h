#pragma once
// The measurements kept: a ring of compact points (time, the block's 14 bytes from the poll period
// to the OS1 state, and a gap mark), oldest dropped first once it is full. 24 bytes a point: a day
// at two polls a second (172,800 points) takes about 4 MB. Points are kept in time order; a clock
// that steps back is taken as no time passing, so the order (and the search by time) holds.
// A change of unit (another serial or location) starts a new segment, named by its identity.

#include "history/Feed.h"
#include "history/Series.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace history {

struct TPoint {
    qint64 Time = 0; // milliseconds since the epoch, UTC
    TKeptBytes Bytes{};
    std::uint8_t Gap = 0; // a TGapReason, 0 for a measurement
    std::uint8_t Spare = 0;

    bool IsGap() const { return Gap != 0; }
};
static_assert(sizeof(TPoint) == 24, "a point is kept in 24 bytes");

struct TSegment {
    std::uint64_t First; // the sequence number of its first point
    unit::TUnitIdentity Unit;
};

class THistoryStore : public THistoryFeed {
public:
    // A day at two polls a second, with room for the gaps among them.
    static constexpr std::size_t kDayCapacity = 200'000;
    // `capacity` 0: nothing is ever dropped (a log read from a file keeps all of it).
    explicit THistoryStore(std::size_t capacity = kDayCapacity);

    void Measurement(qint64 time, const TDataBlock& data, const unit::TUnitIdentity& unit) override;
    void Gap(qint64 time, TGapReason reason) override;
    // A point as kept; what the log reader and the tests feed.
    void Append(const TPoint& point, const unit::TUnitIdentity& unit);
    void Clear();
    // Halves a store that keeps everything (capacity 0), for a log too long to keep whole: each
    // four measurements in a row (no gap, one scale, one unit among them) become two, the lowest
    // and the highest value of each byte, at the first one's time and the last one's. Every
    // series keeps its extremes, each within the time of its four points.
    void Coarsen();

    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    // 0 is the oldest point kept.
    const TPoint& At(std::size_t index) const {
        std::size_t slot = head_ + index;
        if (slot >= points_.size())
            slot -= points_.size();
        return points_[slot];
    }
    // The first point at or after `time` (Size() when none).
    std::size_t LowerBound(qint64 time) const;
    // The unit a point was measured on.
    const unit::TUnitIdentity& UnitAt(std::size_t index) const;
    // Every segment some point kept still belongs to, oldest first.
    std::vector<TSegment> Segments() const;

    // The sequence number of the oldest point kept and of the next point to come: points are
    // numbered from the first ever appended, so a view can tell which are new since it looked.
    std::uint64_t FirstSequence() const { return firstSequence_; }
    std::uint64_t EndSequence() const { return firstSequence_ + size_; }

    // Grows with every change, so a view knows when to draw again.
    std::uint64_t Revision() const { return revision_; }
    // The bytes the points take, for the memory budget.
    std::size_t MemoryBytes() const;

private:
    void Push(const TPoint& point);

    std::vector<TPoint> points_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    std::uint64_t firstSequence_ = 0; // of the oldest point kept
    std::vector<TSegment> segments_;
    bool segmentOpen_ = false;
    std::uint64_t revision_ = 0;
};

} // namespace history
