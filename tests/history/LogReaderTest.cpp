#include "HistoryTestSupport.h"

#include "history/LogReader.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

using namespace history;
using namespace historytest;

namespace {

std::uint8_t Byte(const TPoint& point, int index) {
    return point.Bytes[static_cast<std::size_t>(index - kFirstKeptByte)];
}

qint64 At(const char* isoTime) {
    return *ParseTime(QByteArrayView(isoTime));
}

void Append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

const unit::TUnitIdentity kCurrentUnit{QStringLiteral("SN-0001"), QStringLiteral("1-1.2")};
const unit::TUnitIdentity kUnitS{QStringLiteral("S"), QStringLiteral("L")};
const unit::TUnitIdentity kUnitA1{QStringLiteral("A-1"), QStringLiteral("1-1")};
const unit::TUnitIdentity kUnitB2{QStringLiteral("B-2"), QStringLiteral("1-2")};

const QByteArray kHeader =
    "time,os1_min_v,os1_max_v,os2_voltage_v,os2_pulse_time,os1_time_1,os1_time_0,os1_state,"
    "position,scale,poll_period,threshold0_v,threshold1_v,os2_length,os2_delay,event,serial,"
    "location\r\n";
const QByteArray kRecord =
    "2025-03-01T14:05:09.250+01:00,0.69,1.72,2.20,17,30,31,1,120,64,10,0.86,2.58,20,5,,S,L\r\n";

} // namespace

TEST(ParseTime, TheWrittenLayoutAndOthers) {
    EXPECT_EQ(At("2025-03-01T14:05:09.250+01:00"), 1'740'834'309'250);
    EXPECT_EQ(At("2025-03-01T13:05:09.250Z"), 1'740'834'309'250);
    EXPECT_EQ(At("1969-12-31T19:00:00.000-05:00"), 0);
    EXPECT_FALSE(ParseTime("2025-13-01T00:00:00.000+00:00"));
    EXPECT_FALSE(ParseTime(""));
    EXPECT_FALSE(ParseTime("yesterday"));
}

TEST(LogReader, TheCurrentCsvLayoutWithAGapRecord) {
    TLogReader reader(Data("current.csv"));
    ASSERT_TRUE(reader.ReadMore()) << reader.Error().toStdString();
    EXPECT_EQ(reader.Records(), 5u);
    EXPECT_EQ(reader.Malformed(), 0u);
    ASSERT_EQ(reader.Units().size(), 1u);
    const THistoryStore* store = reader.Store(kCurrentUnit);
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->Size(), 5u);
    const TPoint& first = store->At(0);
    EXPECT_EQ(first.Time, At("2025-03-01T14:05:09.250+01:00"));
    // Volts read back to the counts they were written from, at the record's scale.
    EXPECT_EQ(Byte(first, block::kOs1Min), 40);
    EXPECT_EQ(Byte(first, block::kOs1Max), 100);
    EXPECT_EQ(Byte(first, block::kOs2Voltage), 128);
    EXPECT_EQ(Byte(first, block::kOs2PulseTime), 17);
    EXPECT_EQ(Byte(first, block::kOs1Time1), 30);
    EXPECT_EQ(Byte(first, block::kOs1Time0), 31);
    EXPECT_EQ(Byte(first, block::kThreshold1), 150);
    EXPECT_EQ(Byte(store->At(2), block::kOs1Max), 250);
    EXPECT_EQ(store->At(3).Gap, static_cast<std::uint8_t>(TGapReason::Unplugged));
    EXPECT_EQ(Byte(store->At(4), block::kScaleByte), 32);
    EXPECT_EQ(Byte(store->At(4), block::kOs1Min), 42);
    EXPECT_EQ(store->UnitAt(0).Location, QStringLiteral("1-1.2"));
}

TEST(LogReader, TheOlderCsvLayoutWithoutSerialAndLocation) {
    TLogReader reader(Data("older.csv"));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 4u);
    EXPECT_EQ(reader.Malformed(), 0u);
    ASSERT_EQ(reader.Units().size(), 1u);
    EXPECT_TRUE(reader.Units()[0].Serial.isEmpty());
    const THistoryStore* store = reader.Store({});
    ASSERT_EQ(store->Size(), 4u);
    EXPECT_EQ(store->At(0).Time, At("2024-12-01T04:59:59.500Z"));
    EXPECT_EQ(Byte(store->At(1), block::kOs1Max), 21);
    EXPECT_EQ(store->At(2).Gap, static_cast<std::uint8_t>(TGapReason::NoAnswer));
    EXPECT_EQ(Byte(store->At(3), block::kOs1Time0), 9);
}

TEST(LogReader, JsonLinesOfSeveralUnitsGoIntoOneStoreEach) {
    TLogReader reader(Data("units.jsonl"));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 6u);
    EXPECT_EQ(reader.Malformed(), 0u);
    ASSERT_EQ(reader.Units().size(), 2u);
    const THistoryStore* a = reader.Store(kUnitA1);
    const THistoryStore* b = reader.Store(kUnitB2);
    ASSERT_EQ(a->Size(), 4u);
    ASSERT_EQ(b->Size(), 2u);
    EXPECT_EQ(Byte(a->At(2), block::kOs1Min), 42);
    EXPECT_EQ(Byte(b->At(0), block::kOs1Max), 110);
    EXPECT_TRUE(b->At(1).IsGap());
    // The record without its raw block, from its named values.
    EXPECT_EQ(Byte(a->At(3), block::kOs1Min), 43);
    EXPECT_EQ(Byte(a->At(3), block::kOs2Voltage), 125);
    EXPECT_EQ(Byte(a->At(3), block::kOs1Time0), 37);
}

TEST(LogReader, BadLinesAreSkippedAndCounted) {
    TLogReader reader(Data("hostile.csv"));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 2u);
    EXPECT_EQ(reader.Malformed(), 9u);
    ASSERT_EQ(reader.Units().size(), 2u);
    EXPECT_EQ(reader.Units()[1].Serial, QStringLiteral("quoted, serial"));
}

// Nothing in a log the unit could not have measured is drawn: a position or count past a byte, a
// voltage past 255 counts at the record's scale (4.38 V at 64, as written to two decimals).
TEST(LogReader, ValuesTheUnitCannotGiveAreBadLines) {
    TLogReader json(Data("out-of-range.jsonl"));
    ASSERT_TRUE(json.ReadMore());
    EXPECT_EQ(json.Records(), 1u);
    EXPECT_EQ(json.Malformed(), 7u);
    TLogReader csv(Data("out-of-range.csv"));
    ASSERT_TRUE(csv.ReadMore());
    EXPECT_EQ(csv.Records(), 2u);
    EXPECT_EQ(csv.Malformed(), 4u);
    const THistoryStore* store = csv.Store(kUnitS);
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->Size(), 2u);
    EXPECT_EQ(Byte(store->At(1), block::kOs1Max), 255);
}

// `watch --all` over two units that share a serial: the location tells them apart.
TEST(LogReader, UnitsWithOneSerialAreToldApartByTheirLocation) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("all.csv"));
    QByteArray other = kRecord;
    other.replace(",S,L", ",S,M");
    other.replace(",17,", ",99,");
    Append(path, kHeader + kRecord + other);
    TLogReader reader(path);
    ASSERT_TRUE(reader.ReadMore());
    ASSERT_EQ(reader.Units().size(), 2u);
    EXPECT_EQ(reader.Units()[1].Location, QStringLiteral("M"));
    const THistoryStore* second = reader.Store(reader.Units()[1]);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->Size(), 1u);
    EXPECT_EQ(Byte(second->At(0), block::kOs2PulseTime), 99);
    EXPECT_EQ(reader.Store(kUnitS)->Size(), 1u);
}

// A log past the point budget is kept reduced, within the budget, and no peak is lost.
TEST(LogReader, ALogLongerThanTheBudgetIsKeptReducedWithItsPeaks) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("long.csv"));
    QByteArray all = kHeader;
    const int records = 5000;
    for (int i = 0; i < records; ++i) {
        QByteArray line = kRecord;
        const qint64 time = At("2025-03-01T14:05:09.250+01:00") + i * 500;
        line.replace(0, 29,
                     QDateTime::fromMSecsSinceEpoch(time, QTimeZone(3600))
                         .toString(Qt::ISODateWithMs)
                         .toLatin1());
        // OS1 max 1.72 V (100 counts) but for one record of 4.38 V, OS1 min one of 0.00 V.
        if (i == 3001)
            line.replace(",1.72,", ",4.38,");
        if (i == 1234)
            line.replace(",0.69,", ",0.00,");
        all += line;
    }
    Append(path, all);
    const std::size_t budget = 400;
    TLogReader reader(path, budget);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), static_cast<std::size_t>(records));
    EXPECT_GT(reader.Stride(), 1u);
    const THistoryStore* store = reader.Store(kUnitS);
    ASSERT_NE(store, nullptr);
    EXPECT_LE(store->Size(), budget);
    EXPECT_GE(store->Size(), budget / 4);
    int highest = 0, lowest = 255;
    for (std::size_t i = 0; i < store->Size(); ++i) {
        highest = std::max<int>(highest, Byte(store->At(i), block::kOs1Max));
        lowest = std::min<int>(lowest, Byte(store->At(i), block::kOs1Min));
        if (i > 0) {
            EXPECT_LE(store->At(i - 1).Time, store->At(i).Time);
        }
    }
    EXPECT_EQ(highest, 255);
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(store->At(0).Time, At("2025-03-01T14:05:09.250+01:00"));
    EXPECT_EQ(store->At(store->Size() - 1).Time,
              At("2025-03-01T14:05:09.250+01:00") + (records - 1) * 500);
}

TEST(LogReader, AFileThatIsNoLogSaysSo) {
    for (const char* name : {"notalog.txt"}) {
        TLogReader reader(Data(name));
        EXPECT_FALSE(reader.ReadMore());
        EXPECT_EQ(reader.State(), TLogReader::TState::NotALog);
        EXPECT_FALSE(reader.Error().isEmpty());
        EXPECT_TRUE(reader.Units().empty());
    }
    TLogReader missing(Data("no-such-file.csv"));
    EXPECT_FALSE(missing.ReadMore());
    EXPECT_EQ(missing.State(), TLogReader::TState::Unreadable);
}

TEST(LogReader, AFileAppendedToWhileOpenIsReadOn) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("live.csv"));
    Append(path, kHeader + kRecord);
    TLogReader reader(path);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 1u);

    // A record caught half written is neither taken nor counted bad until its end comes.
    QByteArray next = kRecord;
    next.replace("09.250", "09.750");
    next.replace(",17,", ",18,");
    Append(path, next.left(40));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 1u);
    EXPECT_EQ(reader.Malformed(), 0u);
    Append(path, next.mid(40));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 2u);
    EXPECT_EQ(reader.Malformed(), 0u);
    const THistoryStore* store = reader.Store(kUnitS);
    ASSERT_EQ(store->Size(), 2u);
    EXPECT_EQ(Byte(store->At(1), block::kOs2PulseTime), 18);

    // Written anew (shorter): read again from its start. Cut rather than removed, as a writer
    // can do while the reader holds it open (Windows refuses to remove an open file).
    ASSERT_TRUE(QFile::resize(path, 0));
    Append(path, kHeader);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_TRUE(reader.Restarted());
    EXPECT_EQ(reader.Records(), 0u);
}

TEST(LogReader, LinesSplitAcrossReadChunksAndManyOfThem) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.csv"));
    QByteArray all = kHeader;
    for (int i = 0; i < 20'000; ++i)
        all += kRecord; // more than one chunk of the reader, lines across chunk ends
    Append(path, all);
    TLogReader reader(path);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 20'000u);
    EXPECT_EQ(reader.Malformed(), 0u);
}

TEST(LogReader, RunsAppendedToOneFileAreNotJoined) {
    // Two runs of the panel's --log (no records in between, only a silence of minutes, and one poll
    // three periods late that is no break), then a run of `watch --csv >> file` behind its header.
    TLogReader reader(Data("two-runs.csv"));
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Records(), 10u);
    EXPECT_EQ(reader.Malformed(), 0u);
    const THistoryStore* store = reader.Store(kCurrentUnit);
    ASSERT_NE(store, nullptr);
    std::vector<int> shape; // the pulse time of each record, -1 for a break
    for (std::size_t i = 0; i < store->Size(); ++i)
        shape.push_back(store->At(i).IsGap() ? -1 : Byte(store->At(i), block::kOs2PulseTime));
    EXPECT_EQ(shape, (std::vector<int>{1, 2, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10}));
    // The line ends a period after the run's last record, not where the next run begins.
    EXPECT_EQ(store->At(5).Time, At("2025-03-01T14:05:12.500+01:00"));
    EXPECT_EQ(store->At(5).Gap, static_cast<std::uint8_t>(TGapReason::NoRecords));
}

TEST(RunBreaks, EachRunIsMeasuredByItsOwnPeriod) {
    TRunBreaks breaks;
    qint64 t = kStart;
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(breaks.Record(t += kPoll));
    EXPECT_EQ(breaks.Record(t + 10 * kPoll), t + kPoll);
    t += 10 * kPoll;
    // The next run polls every 10 s: its steps are no breaks, however short the last run's were.
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(breaks.Record(t += 10'000));
    EXPECT_TRUE(breaks.Record(t + 50'000));
    // A clock set back starts another run as well.
    EXPECT_FALSE(breaks.Record(t + 60'000));
    EXPECT_TRUE(breaks.Record(t));
    // Polls faster than the shortest break: a stall of a few periods is no break.
    TRunBreaks fast;
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(fast.Record(kStart + i * 10));
    EXPECT_FALSE(fast.Record(kStart + 900));
}
