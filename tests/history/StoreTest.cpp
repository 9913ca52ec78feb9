#include "HistoryTestSupport.h"

#include "history/Series.h"
#include "history/Store.h"

#include <gtest/gtest.h>

using namespace history;
using namespace historytest;

namespace {

const unit::TUnitIdentity kUnitA{QStringLiteral("A"), QStringLiteral("1-1")};
const unit::TUnitIdentity kUnitB{QStringLiteral("B"), QStringLiteral("1-2")};

} // namespace

TEST(HistoryStore, KeepsADayAtTwoPollsASecondInUnderTenMegabytes) {
    THistoryStore store;
    for (qint64 i = 0; i < 172'800; ++i)
        store.Measurement(kStart + i * kPoll, Block(static_cast<std::uint8_t>(i)), kUnitA);
    ASSERT_EQ(store.Size(), 172'800u);
    EXPECT_EQ(store.At(0).Time, kStart);
    EXPECT_LT(store.MemoryBytes(), 10u * 1024 * 1024);
}

TEST(HistoryStore, DropsTheOldestWhenFull) {
    THistoryStore store(4);
    for (int i = 0; i < 6; ++i)
        store.Measurement(kStart + i * kPoll, Block(static_cast<std::uint8_t>(i)), kUnitA);
    ASSERT_EQ(store.Size(), 4u);
    EXPECT_EQ(store.At(0).Time, kStart + 2 * kPoll);
    EXPECT_EQ(SeriesValue(store.At(0).Bytes, 0), 2 * 1.1 / 64);
    EXPECT_EQ(store.At(3).Time, kStart + 5 * kPoll);
    EXPECT_EQ(store.LowerBound(kStart + 3 * kPoll), 1u);
}

TEST(HistoryStore, AChangeOfUnitStartsASegmentAndDroppedSegmentsGo) {
    THistoryStore store(3);
    store.Measurement(kStart, Block(1), kUnitA);
    store.Measurement(kStart + 1, Block(2), kUnitB);
    store.Measurement(kStart + 2, Block(3), kUnitB);
    EXPECT_EQ(store.UnitAt(0).Serial, QStringLiteral("A"));
    EXPECT_EQ(store.UnitAt(2).Serial, QStringLiteral("B"));
    ASSERT_EQ(store.Segments().size(), 2u);
    store.Measurement(kStart + 3, Block(4), kUnitB); // A's only point goes
    ASSERT_EQ(store.Segments().size(), 1u);
    EXPECT_EQ(store.UnitAt(0).Serial, QStringLiteral("B"));
}

TEST(HistoryStore, UnitsWithOneSerialAreToldApartByTheirLocation) {
    THistoryStore store;
    const unit::TUnitIdentity otherPort{kUnitA.Serial, QStringLiteral("1-3")};
    store.Measurement(kStart, Block(1), kUnitA);
    store.Measurement(kStart + kPoll, Block(2), otherPort);
    ASSERT_EQ(store.Segments().size(), 2u);
    EXPECT_EQ(store.UnitAt(1).Location, otherPort.Location);
}

TEST(HistoryStore, ARunOfGapsIsOneAndNothingBeforeAMeasurementIsAGap) {
    THistoryStore store;
    store.Gap(kStart, TGapReason::Unplugged);
    EXPECT_TRUE(store.Empty());
    store.Measurement(kStart + 1, Block(1), kUnitA);
    store.Gap(kStart + 2, TGapReason::NoAnswer);
    store.Gap(kStart + 3, TGapReason::Unticked);
    ASSERT_EQ(store.Size(), 2u);
    EXPECT_EQ(store.At(1).Gap, static_cast<std::uint8_t>(TGapReason::NoAnswer));
}

TEST(HistoryStore, AClockSteppingBackKeepsTheOrder) {
    THistoryStore store;
    store.Measurement(kStart + 1000, Block(1), kUnitA);
    store.Measurement(kStart, Block(2), kUnitA);
    EXPECT_EQ(store.At(1).Time, kStart + 1000);
    EXPECT_EQ(store.LowerBound(kStart + 1000), 0u);
}

TEST(HistoryStore, GapWordsAreThoseOfTheLog) {
    EXPECT_EQ(GapEvent(TGapReason::Unplugged), QStringLiteral("unplugged"));
    EXPECT_EQ(GapEvent(TGapReason::NoAnswer), QStringLiteral("no-answer"));
    for (TGapReason r : {TGapReason::Unticked, TGapReason::FailedRead, TGapReason::NoAnswer,
                         TGapReason::Unplugged})
        EXPECT_EQ(GapFromEvent(GapEvent(r)), r);
    EXPECT_EQ(GapFromEvent(QStringLiteral("something new")), TGapReason::FailedRead);
}
