// Each command's exchange with the unit (codes, framing, the read-modify-write of set, the
// rounding), what it prints, its usage errors and the failures it names.

#include "CliTestSupport.h"
#ifndef _WIN32 // access to a device node is a Linux permission
#include "tests/support/NodeAccess.h"
#endif

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace clitest;

namespace {

// Every byte distinct, readable measurements at scale byte 0 (which stands for 64).
TDataBlock DistinctBlock() {
    TDataBlock b{};
    for (int i = 0; i < block::kBlockSize; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
    b[block::kScaleByte] = 0;
    b[block::kOs1Min] = 10;      // 0.171875 V
    b[block::kOs1Max] = 255;     // 4.3828125 V
    b[block::kOs2Voltage] = 26;  // 0.446875 V
    b[block::kThreshold0] = 58;  // 0.996875 V
    b[block::kThreshold1] = 145; // 2.4921875 V
    b[block::kPollPeriod] = 20;
    b[block::kOs2Delay] = 7;
    return b;
}

std::vector<int> Directions(const std::vector<VirtualUnitLogEntry>& log) {
    std::vector<int> out;
    for (const auto& e : log)
        out.push_back(e.direction);
    return out;
}

} // namespace

TEST_F(CliTest, ReadIsOneRequestWhoseJsonReadsBackToTheBlock) {
    const TDataBlock fixed = DistinctBlock();
    Unit().SetFixedBlock(0, fixed.data());
    const TRun run = Cli({"read", "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");

    const auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, kGet);
    EXPECT_EQ(log[0].length, 252);

    QJsonParseError error{};
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.Out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.Out;
    EXPECT_EQ(json["time"].toString(), "2025-03-01T14:05:09.250+01:00");
    EXPECT_EQ(json["scale"].toInt(), 64);
    EXPECT_DOUBLE_EQ(json["os1_min_v"].toDouble(), 0.17);
    EXPECT_DOUBLE_EQ(json["os1_max_v"].toDouble(), 4.38);
    EXPECT_DOUBLE_EQ(json["os2_voltage_v"].toDouble(), 0.45);
    EXPECT_DOUBLE_EQ(json["threshold1_v"].toDouble(), 2.49);
    EXPECT_EQ(json["position"].toInt(), fixed[block::kPosition]);
    const QJsonArray a = json["samples_a"].toArray(), b = json["samples_b"].toArray();
    const QJsonArray raw = json["raw"].toArray();
    ASSERT_EQ(a.size(), 117);
    ASSERT_EQ(b.size(), 117);
    ASSERT_EQ(raw.size(), 250);
    for (int i = 0; i < 117; ++i) {
        EXPECT_EQ(a[i].toInt(), fixed[2 * i]);
        EXPECT_EQ(b[i].toInt(), fixed[2 * i + 1]);
    }
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(raw[i].toInt(), fixed[i]);
}

TEST_F(CliTest, ParamsSendsCommandOneOnTheBlockAsReadAndSendsBackWhatItReadsAfterThePause) {
    const TDataBlock fixed = DistinctBlock();
    Unit().SetFixedBlock(0, fixed.data());
    const TRun run = Cli({"params"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "poll_period     20\n"
                       "threshold0_v    1.00\n"
                       "threshold1_v    2.49\n"
                       "os2_length      " +
                           std::to_string(fixed[block::kOs2Length]) +
                           "\n"
                           "os2_delay       7\n");
    const auto log = Log();
    ASSERT_EQ(Directions(log), (std::vector<int>{kGet, kSet, kGet, kSet}));
    TDataBlock expected = fixed;
    expected[block::kCommand] = cmd_read_eeprom;
    EXPECT_EQ(BlockOf(log[1]), expected);
    EXPECT_EQ(log[1].report[0], 0);
    EXPECT_EQ(log[1].report[251], 0xA5); // what the read left there
    EXPECT_GE(log[2].monotonic_ns - log[1].monotonic_ns, 10'000'000) << "no pause after command 1";
    EXPECT_EQ(BlockOf(log[3]), fixed) << "the block read is sent back as the unit gave it";
}

TEST_F(CliTest, SetChangesOnlyTheGivenParametersSavesThemAndShowsWhatTheUnitHolds) {
    const TRun run = Cli({"set", "--threshold0", "0.17", "--os2-delay=30"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto log = Log();
    ASSERT_EQ(Directions(log),
              (std::vector<int>{kGet, kSet, kGet, kSet, kSet, kGet, kSet, kGet, kSet}));
    EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom);
    EXPECT_EQ(log[6].report[1 + block::kCommand], cmd_read_eeprom);

    // The save: the block of the read-back, byte for byte, but for the two parameters and the
    // command. 0.17 V at scale 64 is 9.89 counts: 10, which reads back as 0.17 again.
    TDataBlock expected = BlockOf(log[2]);
    expected[block::kThreshold0] = 10;
    expected[block::kOs2Delay] = 30;
    expected[block::kCommand] = cmd_save_eeprom;
    EXPECT_EQ(BlockOf(log[4]), expected);
    EXPECT_EQ(log[4].report[251], log[2].report[251]);

    EXPECT_EQ(run.Out, "poll_period     10\n"
                       "threshold0_v    0.17\n"
                       "threshold1_v    2.49\n"
                       "os2_length      20\n"
                       "os2_delay       30\n");
    // Saved in the unit: a later run reads the same back.
    EXPECT_EQ(Cli({"params", "--json"}).Out,
              "{\"poll_period\":10,\"threshold0_v\":0.17,\"threshold1_v\":2.49,\"os2_length\":20,"
              "\"os2_delay\":30}\n");
}

TEST_F(CliTest, SetStoresOnlyWhatTheUnitCanHoldAtItsScaleAndTellsOfItsStep) {
    // 2.50 V at scale 64 is 145.45 counts: 145 is stored, which is 2.49 V.
    TRun run = Cli({"set", "--threshold0", "2.50", "--threshold1", "0.17"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "threshold0: 2.50 V is stored as 2.49 V (steps of 0.0172 V at scale 64)\n");
    EXPECT_EQ(run.Out.rfind("poll_period     10\nthreshold0_v    2.49\nthreshold1_v    0.17\n", 0),
              0u);

    // At scale 1 a count is 1.1 V: 0.5 V would be no count at all, 4.0 V more than the limit.
    TDataBlock coarse = DistinctBlock();
    coarse[block::kScaleByte] = 1;
    Unit().SetFixedBlock(0, coarse.data());
    for (const char* volts : {"0.5", "4.00"}) {
        Unit().ClearLog();
        run = Cli({"set", "--threshold1", "1.1", "--threshold0", volts});
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Err, QStringLiteral("tarvenik-cli: threshold0: %1 V cannot be held at scale "
                                          "1: the unit holds 1.10 to 3.30 V there (steps of "
                                          "1.1000 V at scale 1)\n")
                               .arg(volts == std::string("0.5") ? "0.50" : "4.00")
                               .toStdString());
        EXPECT_EQ(run.Out, "");
        // Read back only: nothing was saved.
        EXPECT_EQ(Directions(Log()), (std::vector<int>{kGet, kSet, kGet, kSet}));
    }
    Unit().ClearLog();
    run = Cli({"set", "--threshold0", "3.3"});
    EXPECT_EQ(run.Status, 1); // a fixed block keeps nothing, but 3 counts were asked
    const auto log = Log();
    ASSERT_EQ(Directions(log),
              (std::vector<int>{kGet, kSet, kGet, kSet, kSet, kGet, kSet, kGet, kSet}));
    EXPECT_EQ(BlockOf(log[4])[block::kThreshold0], 3);
}

TEST_F(CliTest, ACommandToAUnitThatKeepsItsRequestsWaitingSaysItDidNotAnswer) {
    const TQuickNoAnswer quick;
    Unit().SetStall(0, 1);
    for (const QStringList& command : {QStringList{"read"}, QStringList{"set", "--os2-length", "3"},
                                       QStringList{"run", "reset"}}) {
        const TRun run = Cli(command);
        EXPECT_EQ(run.Status, 1) << command.join(' ').toStdString();
        EXPECT_EQ(run.Err, "tarvenik-cli: the unit did not answer\n");
        EXPECT_EQ(run.Out, "");
    }
    Unit().SetStall(0, 0);
}

TEST_F(CliTest, UsageErrorsAndValuesOutOfRangeAreRefusedBeforeAnythingIsSent) {
    const std::vector<QStringList> wrong{
        {},
        {"frobnicate"},
        {"read", "--bogus"},
        {"read", "--json=yes"},
        {"--device"},
        {"set"},
        {"set", "--poll-period", "256"},
        {"set", "--os2-delay", "4"},
        {"set", "--threshold0", "4.01"},
        {"set", "--threshold1", "0.001"},
        {"set", "--threshold0", "1,5"},
        {"set", "--threshold0", "1e0"},
        {"watch", "--csv", "--jsonl"},
        {"run", "launch"},
    };
    for (const QStringList& arguments : wrong) {
        const TRun run = Cli(arguments);
        EXPECT_EQ(run.Status, 2) << arguments.join(' ').toStdString();
        EXPECT_NE(run.Err.find("\nusage: tarvenik-cli [--device PATH] COMMAND [OPTIONS]\n"),
                  std::string::npos)
            << run.Err;
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_EQ(Unit().LogCount(), 0);
}

// Windows has neither man pages nor a tarvenik-cli-demo command: the help names what the setup
// program installs there.
#ifdef _WIN32
constexpr const char* kDemoAdvice = "demo\\tarvenik-cli.exe beside this program is the same tool";
constexpr const char* kManualAdvice = "Manual: doc\\tarvenik-cli.html beside this program";
constexpr const char* kNoUnitText = "tarvenik-cli: no Tarvenik unit found (demo\\tarvenik-cli.exe "
                                    "beside this program is the same tool beside a virtual unit)\n";
#else
constexpr const char* kDemoAdvice = "tarvenik-cli-demo is the same tool beside a virtual unit";
constexpr const char* kManualAdvice = "Manual: tarvenik-cli(1).";
constexpr const char* kNoUnitText = "tarvenik-cli: no Tarvenik unit found (tarvenik-cli-demo is "
                                    "the same tool beside a virtual unit)\n";
#endif

TEST_F(CliTest, HelpNamesTheDemoAndTheManualPage) {
    for (const char* help : {"--help", "-h"}) {
        const TRun run = Cli({help});
        EXPECT_EQ(run.Status, 0);
        EXPECT_NE(run.Out.find(kDemoAdvice), std::string::npos) << run.Out;
        EXPECT_NE(run.Out.find(kManualAdvice), std::string::npos) << run.Out;
    }
}

// Every command goes through the session's guard, `run save` included: the parameters are read
// back first, and the command goes out on the block the unit gave last.
TEST_F(CliTest, RunSendsTheFunctionsCodeOnTheBlockReadBack) {
    const std::vector<std::pair<QString, int>> functions{
        {"normal", 0},      {"save", 2},        {"reset", 32},      {"os1-test-0", 48},
        {"os1-test-1", 49}, {"os2-test-0", 64}, {"os2-test-1", 65},
    };
    for (const auto& [name, code] : functions) {
        Unit().ClearLog();
        const TRun run = Cli({"run", name});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto log = Log();
        ASSERT_EQ(Directions(log), (std::vector<int>{kGet, kSet, kGet, kSet, kSet}))
            << name.toStdString();
        EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom) << name.toStdString();
        TDataBlock expected = BlockOf(log[2]);
        expected[block::kCommand] = static_cast<std::uint8_t>(code);
        EXPECT_EQ(BlockOf(log[4]), expected) << name.toStdString();
    }
    // The unit runs the last test it was given: OS2 forced high answers 65.
    Unit().ClearLog();
    Cli({"read"});
    EXPECT_EQ(Log().at(0).report[1 + block::kCommand], 65);

    Unit().ClearLog();
    ASSERT_EQ(Cli({"run", "read"}).Status, 0);
    const auto log = Log();
    ASSERT_EQ(Directions(log), (std::vector<int>{kGet, kSet, kGet, kSet}));
    EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom);
}

TEST_F(CliTest, ListShowsEveryUnitAndWhichOneIsChosen) {
    ASSERT_EQ(Unit().Plug(1), 0);
    const TRun list = Cli({"list"});
    ASSERT_EQ(list.Status, 0) << list.Err;
    const QStringList lines = QString::fromStdString(list.Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QStringList first = lines[0].split('\t'), second = lines[1].split('\t');
    EXPECT_EQ(first.mid(1), (QStringList{"Mirdal-vk", "Tarvenik", "16c0:05df", "read-write",
                                         "VU1000", "virtual-1"}));
    EXPECT_EQ(second.mid(1), (QStringList{"Mirdal-vk", "Tarvenik", "16c0:05df", "read-write",
                                          "VU1001", "virtual-2", "chosen"}));

    // The window's choice, the last found, unless --device names another.
    Unit().ClearLog();
    ASSERT_EQ(Cli({"read"}).Status, 0);
    EXPECT_EQ(Log().at(0).unit, 1);
    Unit().ClearLog();
    ASSERT_EQ(Cli({"--device", first[0], "read"}).Status, 0);
    EXPECT_EQ(Log().at(0).unit, 0);
    EXPECT_EQ(Cli({"--device", first[0], "list"}).Out,
              (first.join('\t') + "\tchosen\n" + second.mid(0, 7).join('\t') + "\n").toStdString());
}

#ifndef _WIN32 // the unit denied by its node's Linux permission
TEST_F(CliTest, FailuresOfTheUnitNameTheirCauseWithStatusOne) {
    // A unit that refuses its parameters (a fixed block answers the same whatever is saved).
    const TDataBlock fixed = DistinctBlock();
    Unit().SetFixedBlock(0, fixed.data());
    TRun run = Cli({"set", "--poll-period", "99"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: the unit did not keep the parameters it was given\n");
    EXPECT_EQ(run.Out.rfind("poll_period     20\n", 0), 0u); // what it holds

    Unit().SetFailures(0, 1, 0);
    run = Cli({"read"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: the unit stopped answering\n");
    EXPECT_EQ(run.Out, "");

    run = Cli({"--device", "/dev/hidraw-none", "read"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: no Tarvenik unit found at /dev/hidraw-none\n");

    ASSERT_EQ(Unit().Unplug(0), 0);
    for (const QStringList& command : {QStringList{"read"}, QStringList{"list"}}) {
        run = Cli(command);
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Err, kNoUnitText);
    }

    ASSERT_EQ(Unit().Plug(0), 0);
    const std::string node =
        QString::fromStdString(Cli({"list"}).Out).section('\t', 0, 0).toStdString();
    testsupport::TNodeAccessDenied denied(node);
    ASSERT_TRUE(denied.Valid());
    Unit().ClearLog();
    const TRun list = Cli({"list"});
    ASSERT_EQ(list.Status, 0);
    const QString path = QString::fromStdString(list.Out).section('\t', 0, 0);
    EXPECT_EQ(QString::fromStdString(list.Out).section('\t', 4, 4), "no-access");
    run = Cli({"set", "--os2-length", "3"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(QString::fromStdString(run.Err),
              "tarvenik-cli: no access to " + path +
                  ": install the udev rule (see tarvenik(1), DEVICE ACCESS)\n");
    EXPECT_EQ(Unit().LogCount(), 0);
}
#endif
