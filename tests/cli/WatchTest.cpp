// watch: CSV that a standard parser reads back, the file it appends to, and how it ends: the
// count, a stop signal after the record in hand, an unplug (or, with --reconnect, the unit's
// return, with the gap marked), a unit that stops answering, an output that refuses a record.

#include "CliTestSupport.h"
#include "cli/Sinks.h"
#include "cli/WatchAll.h"
#include "unit/UnitSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <memory>

using namespace clitest;

namespace {

[[maybe_unused]] TDataBlock QuietBlock() {
    TDataBlock b{};
    b[block::kScaleByte] = 64;
    b[block::kOs1Min] = 10;     // 0.17 V
    b[block::kThreshold0] = 58; // 1.00 V
    b[block::kPosition] = 120;
    b[block::kOs2Delay] = 5;
    return b;
}

QStringList Lines(const std::string& text) {
    return QString::fromStdString(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

#ifndef _WIN32
// The CSV file as Python's csv module reads it: one JSON object per row.
std::vector<QJsonObject> ParseCsv(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='') as f:\n"
                                 "    print(json.dumps(list(csv.DictReader(f))))"),
                  path});
    EXPECT_TRUE(python.waitForFinished(10000)) << "python3 did not run";
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    std::vector<QJsonObject> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        rows.push_back(row.toObject());
    return rows;
}
#endif

} // namespace

#ifndef _WIN32 // read back by Python's csv module, which a Windows test machine lacks
TEST_F(CliTest, WatchCsvReadsBackWithAStandardParserAndTheFileGetsOneHeader) {
    const TDataBlock fixed = QuietBlock();
    Unit().SetFixedBlock(0, fixed.data());
    QTemporaryDir dir;
    const QString file = dir.filePath("log.csv");
    for (int run = 0; run < 2; ++run) {
        const TRun watch =
            Cli({"watch", "--csv", "--interval", "0", "--count", "2", "--output", file});
        ASSERT_EQ(watch.Status, 0) << watch.Err;
        EXPECT_EQ(watch.Out, "");
    }
    const std::vector<QJsonObject> rows = ParseCsv(file);
    ASSERT_EQ(rows.size(), 4u) << "one header, four records";
    for (const QJsonObject& row : rows) {
        EXPECT_EQ(row.size(), 18); // time, fourteen values, event, serial, location; no traces
        EXPECT_EQ(row["time"].toString(), "2025-03-01T14:05:09.250+01:00");
        EXPECT_EQ(row["os1_min_v"].toString(), "0.17");
        EXPECT_EQ(row["threshold0_v"].toString(), "1.00");
        EXPECT_EQ(row["threshold1_v"].toString(), "0.00");
        EXPECT_EQ(row["position"].toString(), "120");
        EXPECT_EQ(row["scale"].toString(), "64");
        EXPECT_EQ(row["os2_delay"].toString(), "5");
        EXPECT_EQ(row["event"].toString(), "");
        EXPECT_EQ(row["serial"].toString(), "VU1000");
        EXPECT_EQ(row["location"].toString(), "virtual-1");
    }
}
#endif

TEST_F(CliTest, AnUnplugEndsTheWatchWithStatusOneAfterWholeRecords) {
    int records = 0;
    const TRun run = Cli({"watch", "--csv", "--interval", "0"}, [&](const std::string&) {
        if (++records == 2)
            Unit().Unplug(0);
    });
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: the unit was unplugged\n");
    const QStringList lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3); // the header and two records
    EXPECT_TRUE(QString::fromStdString(run.Out).endsWith(",,VU1000,virtual-1\r\n"));
}

TEST_F(CliTest, WithReconnectTheWatchWaitsForTheUnitAndMarksTheGap) {
    int records = 0;
    const TRun run = Cli({"watch", "--csv", "--interval", "0", "--count", "4", "--reconnect"},
                         [&](const std::string& piece) {
                             if (piece.find("unplugged") != std::string::npos)
                                 Unit().Plug(0); // the rescan of its notification finds it
                             else if (++records == 2)
                                 Unit().Unplug(0);
                         });
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QStringList lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[3].endsWith(",,,,,,,,,,,,,,,unplugged,VU1000,virtual-1"))
        << lines[3].toStdString();
    for (int i : {1, 2, 4, 5}) // os2_delay 5, no event
        EXPECT_TRUE(lines[i].endsWith(",5,,VU1000,virtual-1")) << lines[i].toStdString();
}

TEST_F(CliTest, AStopSignalEndsTheWatchAfterTheRecordInHand) {
    for (int signal : {SIGINT, SIGTERM}) {
        int records = 0;
        const TRun run = Cli({"watch", "--interval", "0"}, [&](const std::string&) {
            if (++records == 2)
                RaiseStop(signal);
        });
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_GE(records, 2);
        EXPECT_TRUE(QString::fromStdString(run.Out).endsWith("os2_delay=5\n"));
    }
}

TEST_F(CliTest, AUnitThatStopsAnsweringOrAnOutputThatRefusesEndsTheWatch) {
    int records = 0;
    TRun run = Cli({"watch", "--interval", "0"}, [&](const std::string&) {
        if (++records == 1)
            Unit().SetFailures(0, 1, 0);
    });
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: the unit stopped answering\n");
    EXPECT_EQ(records, 1);

    Unit().SetFailures(0, 0, 0);
    run = Cli({"watch", "--csv", "--output", "/dev/full"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err.rfind("tarvenik-cli: cannot write /dev/full: ", 0), 0u) << run.Err;
}

TEST_F(CliTest, AUnitThatKeepsItsRequestsWaitingIsAGapWithReconnectAndTheEndWithout) {
    const TQuickNoAnswer quick;
    int records = 0;
    TRun run = Cli({"watch", "--csv", "--interval", "0", "--count", "3", "--reconnect"},
                   [&](const std::string& piece) {
                       if (piece.find("no-answer") != std::string::npos)
                           Unit().SetStall(0, 0); // answers again
                       else if (++records == 1)
                           Unit().SetStall(0, 1);
                   });
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QStringList lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[2].endsWith(",,,,,,,,,,,,,,,no-answer,VU1000,virtual-1"))
        << lines[2].toStdString();
    for (int i : {1, 3, 4})
        EXPECT_TRUE(lines[i].endsWith(",5,,VU1000,virtual-1")) << lines[i].toStdString();

    run = Cli({"watch", "--interval", "0"}, [&](const std::string&) { Unit().SetStall(0, 1); });
    Unit().SetStall(0, 0);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: the unit did not answer\n");
}

namespace {

constexpr int kLongStall = 60'000; // ms: longer than any test; ended by the test itself

// `watch --all --csv` over the units attached when it is made; the test drives its periods with
// Tick, as the interval's timer would.
struct TWatchAllRig {
    TWatchAllRig() { units.TakeNew(); }
    cli::TParsed parsed = cli::ParseArguments({"watch", "--all", "--csv", "--interval", "500"});
    std::ostringstream out, err;
    cli::TIo io{out, err, &FixedTime};
    std::unique_ptr<cli::TRecordSink> sink =
        cli::MakeStreamSink(out, {parsed.Options.Format, true});
    unit::TUnitSet units;
    cli::TWatchAll Watch() { return cli::TWatchAll(parsed.Options, units, *sink, io); }
};

} // namespace

TEST_F(CliTest, OneStopSignalEndsAWatchWhoseUnitKeepsItsReadWaiting) {
    int records = 0;
    // Each turn of the watch's own loop looks whether its read waits in the stall yet.
    QTimer stopOnceStalled;
    std::chrono::steady_clock::time_point stopped;
    QObject::connect(&stopOnceStalled, &QTimer::timeout, [&] {
        if (Unit().StalledRequests() == 0)
            return;
        stopOnceStalled.stop();
        stopped = std::chrono::steady_clock::now();
        RaiseStop(SIGINT);
    });
    const TRun run = Cli({"watch", "--csv", "--interval", "0"}, [&](const std::string&) {
        if (++records == 2) {
            Unit().SetStall(0, kLongStall);
            stopOnceStalled.start(0);
        }
    });
    const auto ended = std::chrono::steady_clock::now();
    Unit().SetStall(0, 0);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_LT(ended - stopped, std::chrono::seconds(1)) << "the watch waited for the unit";
    const QStringList lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3); // the header and two whole records
    EXPECT_TRUE(lines[2].endsWith(",5,,VU1000,virtual-1")) << lines[2].toStdString();
}

TEST_F(CliTest, WatchAllKeepsEveryPeriodOfTheOtherUnitsWhileOneStalls) {
    ASSERT_EQ(Unit().Plug(1), 0);
    TWatchAllRig rig;
    ASSERT_TRUE(rig.parsed.Ok);
    unit::TUnitSet& units = rig.units;
    ASSERT_EQ(units.Slots().size(), 2u);
    cli::TWatchAll watch = rig.Watch();
    Unit().SetStall(0, kLongStall);
    const auto readsOfUnit1 = [] {
        int reads = 0;
        for (const auto& entry : Log())
            reads += entry.unit == 1 && entry.direction == kGet;
        return reads;
    };
    // The periods are driven here, as the interval's timer would drive them.
    for (int period = 1; period <= 3; ++period) {
        watch.Tick();
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return readsOfUnit1() == period && !unit::TUnitSet::Busy(units.Slots()[1]); }));
    }
    watch.Tick(); // closes the third period
    Unit().SetStall(0, 0);
    const std::string out = rig.out.str();
    const QStringList lines = Lines(out);
    int answered = 0, silent = 0;
    for (const QString& line : lines) {
        answered += line.endsWith(",,VU1001,virtual-2");
        silent += line.endsWith(",no-answer,VU1000,virtual-1");
    }
    EXPECT_EQ(answered, 3) << out;
    EXPECT_EQ(silent, 3) << out;
}

// On Windows a unit put back in its port may keep its DevInst and path, and be back before any
// look: its slot's handle fails as unplugged, which is the gap, and the unit is taken anew.
TEST_F(CliTest, WatchAllTakesAnewAUnitBackWithItsDevInstBeforeAnyLook) {
    Unit().KeepDevInst(0, 1);
    TWatchAllRig rig;
    ASSERT_TRUE(rig.parsed.Ok);
    unit::TUnitSet& units = rig.units;
    ASSERT_EQ(units.Slots().size(), 1u);
    cli::TWatchAll watch = rig.Watch();
    for (int period = 1; period <= 3; ++period) {
        if (period == 2) {
            ASSERT_EQ(Unit().Unplug(0), 0);
            ASSERT_EQ(Unit().Plug(0), 0);
        }
        watch.Tick();
        ASSERT_TRUE(
            testsupport::PumpUntil([&] { return !unit::TUnitSet::Busy(units.Slots()[0]); }));
    }
    watch.Tick(); // closes the third period
    const std::string out = rig.out.str();
    const QStringList lines = Lines(out);
    ASSERT_EQ(lines.size(), 4) << out;
    EXPECT_TRUE(lines[1].endsWith(",,VU1000,virtual-1")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(",unplugged,VU1000,virtual-1")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(",,VU1000,virtual-1")) << lines[3].toStdString();
}
