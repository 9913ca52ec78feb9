#include "HistoryTestSupport.h"

#include "history/Export.h"
#include "history/LogReader.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace history;
using namespace historytest;

TEST(ExportCsv, TheRangeReadsBackToTheSameValues) {
    THistoryStore store;
    const unit::TUnitIdentity unit{QStringLiteral("S,1"), QStringLiteral("1-1")};
    for (int i = 0; i < 300; ++i) {
        TDataBlock b = Block(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i));
        b[block::kScaleByte] = static_cast<std::uint8_t>(i % 3 == 0 ? 64 : 20 + i % 50);
        b[block::kThreshold0] = static_cast<std::uint8_t>(i * 7);
        b[block::kOs1State] = static_cast<std::uint8_t>(i % 2);
        store.Measurement(kStart + i * kPoll, b, unit);
        if (i == 100)
            store.Gap(kStart + i * kPoll + 100, TGapReason::Unplugged);
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("range.csv"));
    QString error;
    const qint64 from = kStart + 50 * kPoll, to = kStart + 250 * kPoll;
    ASSERT_TRUE(ExportCsv(store, from, to, path, &error)) << error.toStdString();

    TLogReader reader(path);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Malformed(), 0u);
    const THistoryStore* back = reader.Store(unit);
    ASSERT_NE(back, nullptr);
    const std::size_t first = store.LowerBound(from);
    ASSERT_EQ(back->Size(), store.LowerBound(to) - first);
    for (std::size_t i = 0; i < back->Size(); ++i) {
        const TPoint& was = store.At(first + i);
        const TPoint& is = back->At(i);
        EXPECT_EQ(is.Time, was.Time) << i;
        EXPECT_EQ(is.Gap, was.Gap) << i;
        if (!was.IsGap()) {
            EXPECT_EQ(is.Bytes, was.Bytes) << i;
        }
    }
    EXPECT_EQ(back->UnitAt(0).Location, unit.Location);
}

TEST(ExportCsv, AFileThatCannotBeWrittenSaysWhy) {
    THistoryStore store;
    store.Measurement(kStart, Block(1), {});
    QString error;
    EXPECT_FALSE(
        ExportCsv(store, kStart, kStart + 1, QStringLiteral("/nonexistent/x.csv"), &error));
    EXPECT_FALSE(error.isEmpty());
}
