// Several units: each chosen by its serial or location (and two with the same serial told apart),
// `watch --all` over every unit with plug and unplug meanwhile, the Prometheus exposition, and a
// CSV file begun before records carried the unit's identity.

#include "CliTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#ifndef _WIN32
#include "tests/support/NodeAccess.h"
#endif

using namespace clitest;

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// What in `text` a terminal would act on, or that would hide or turn the text around it: a C0
// control other than the line ends `allowed` names, DEL, a C1 control, U+061C, U+200B. Answers the
// first one's offset, or -1.
qsizetype FirstUnshowable(const QByteArray& text, const QByteArray& allowed = "\n") {
    const QString decoded = QString::fromUtf8(text);
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t u = decoded[i].unicode();
        if ((u < 0x20 && !allowed.contains(static_cast<char>(u))) || (u >= 0x7F && u <= 0x9F) ||
            u == 0x061C || u == 0x200B)
            return i;
    }
    return -1;
}

// The units whose feature reports the log holds, in order.
std::vector<int> UnitsRead() {
    std::vector<int> units;
    for (const VirtualUnitLogEntry& entry : Log())
        units.push_back(entry.unit);
    return units;
}

} // namespace

TEST_F(CliTest, SerialOrLocationChoosesTheUnitAndAWrongOneIsNamed) {
    ASSERT_EQ(Unit().Plug(1), 0);
    ASSERT_EQ(Unit().Plug(2), 0);
    ASSERT_EQ(Cli({"--serial", "VU1000", "read"}).Status, 0);
    EXPECT_EQ(UnitsRead(), std::vector<int>{0});
    Unit().ClearLog();
    ASSERT_EQ(Cli({"--location=virtual-2", "read"}).Status, 0);
    EXPECT_EQ(UnitsRead(), std::vector<int>{1});

    Unit().ClearLog();
    TRun run = Cli({"--serial", "VU9", "read"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: no Tarvenik unit with serial VU9\n");
    run = Cli({"--serial", "VU9", "list"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: no Tarvenik unit with serial VU9\n");
    EXPECT_EQ(QString::fromStdString(run.Out).count('\n'), 3) << "every unit is still listed";

    // Two units with the same strings: the serial alone does not choose, the location does.
    Unit().SetSerial(2, "VU1001", 1);
    run = Cli({"--serial", "VU1001", "set", "--os2-length", "3"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: 2 Tarvenik units with serial VU1001, at virtual-2 and "
                       "virtual-3: choose one with --location\n");
    EXPECT_EQ(Unit().LogCount(), 0) << "nothing is sent to either";
    ASSERT_EQ(Cli({"--serial", "VU1001", "--location", "virtual-3", "read"}).Status, 0);
    EXPECT_EQ(UnitsRead(), std::vector<int>{2});
}

TEST(ChooseUnit, TheAdviceForUnitsSharingASerialNamesOnlyWhatTellsThemApart) {
    auto unitAt = [](const char* path, const char* location) {
        unit::TUnitEntry entry;
        entry.Path = path;
        entry.Serial = QStringLiteral("S1");
        entry.Location = QString::fromLatin1(location);
        return entry;
    };
    const unit::TUnitChoice bySerial{{}, QStringLiteral("S1"), {}};

    // Modules that give no location: only the device path tells the units apart.
    unit::TChosen chosen =
        unit::ChooseUnit(bySerial, {unitAt("/dev/hidraw1", ""), unitAt("/dev/hidraw2", "")});
    EXPECT_EQ(chosen.Index, -1);
    EXPECT_EQ(chosen.Problem.toStdString(),
              "2 Tarvenik units with serial S1, at /dev/hidraw1 and /dev/hidraw2: choose one "
              "with --device");
    // One without a location, or two at one location: --location cannot choose either.
    chosen =
        unit::ChooseUnit(bySerial, {unitAt("/dev/hidraw1", "1-1"), unitAt("/dev/hidraw2", "")});
    EXPECT_EQ(chosen.Problem.toStdString(),
              "2 Tarvenik units with serial S1, at /dev/hidraw1 and /dev/hidraw2: choose one "
              "with --device");
    chosen = unit::ChooseUnit({{}, QStringLiteral("S1"), QStringLiteral("1-1")},
                              {unitAt("/dev/hidraw1", "1-1"), unitAt("/dev/hidraw2", "1-1")});
    EXPECT_EQ(chosen.Problem.toStdString(),
              "2 Tarvenik units with serial S1 at location 1-1, at /dev/hidraw1 and "
              "/dev/hidraw2: choose one with --device");

    // Locations that differ do tell them apart.
    chosen =
        unit::ChooseUnit(bySerial, {unitAt("/dev/hidraw1", "1-1"), unitAt("/dev/hidraw2", "1-2"),
                                    unitAt("/dev/hidraw3", "1-3")});
    EXPECT_EQ(chosen.Problem.toStdString(),
              "3 Tarvenik units with serial S1, at 1-1 and 1-2 and 1-3: choose one with "
              "--location");
    // And the advice given works: the device path chooses one.
    EXPECT_EQ(unit::ChooseUnit({"/dev/hidraw2", QStringLiteral("S1"), {}},
                               {unitAt("/dev/hidraw1", ""), unitAt("/dev/hidraw2", "")})
                  .Index,
              1);
}

TEST_F(CliTest, ListShowsSerialAndLocationAsTextAndAsJson) {
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetSerial(0, nullptr, 0);
    Unit().SetSerial(1, "S \"1\"", 1);
    TRun run = Cli({"list"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QStringList lines = QString::fromStdString(run.Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].split('\t').mid(5), (QStringList{"-", "virtual-1"}));
    EXPECT_EQ(lines[1].split('\t').mid(5), (QStringList{"S \"1\"", "virtual-2", "chosen"}));

    run = Cli({"list", "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    QJsonParseError error{};
    const QJsonArray units =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.Out), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.Out;
    ASSERT_EQ(units.size(), 2);
    EXPECT_TRUE(units[0]["serial"].isNull());
    EXPECT_EQ(units[0]["location"].toString(), "virtual-1");
    EXPECT_EQ(units[0]["path"].toString(), lines[0].section('\t', 0, 0));
    EXPECT_FALSE(units[0]["chosen"].toBool());
    EXPECT_EQ(units[1]["serial"].toString(), "S \"1\"");
    EXPECT_EQ(units[1]["product"].toString(), "Tarvenik");
    EXPECT_EQ(units[1]["vendor_id"].toString(), "16c0");
    EXPECT_TRUE(units[1]["read_write"].toBool());
    EXPECT_TRUE(units[1]["chosen"].toBool());

    EXPECT_EQ(Cli({"watch", "--all", "--serial", "x"}).Status, 2);
    EXPECT_EQ(Cli({"read", "--format", "csv"}).Status, 2);
}

TEST_F(CliTest, APlainLineShowsControlCharactersInAUnitsSerialEscaped) {
    // A tab that would add a column, a terminal's escape sequence and bell, a line end, a C1
    // control, a line separator; a backslash stays (a Windows device path is full of them).
    const char* serial = "a\tb\x1b[2J\x07"
                         "c\r\nd\\e\u009b\u2028";
    Unit().SetSerial(0, serial, 1);
    const QString escaped = R"(a\tb\x1b[2J\x07c\r\nd\e\u009b\u2028)";

    TRun run = Cli({"list"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QString list = QString::fromStdString(run.Out);
    ASSERT_TRUE(list.endsWith('\n'));
    EXPECT_EQ(list.count('\n'), 1) << run.Out;
    const QStringList columns = list.chopped(1).split('\t');
    ASSERT_EQ(columns.size(), 7) << run.Out;
    EXPECT_EQ(columns[5], escaped);

    run = Cli({"watch", "--all", "--interval", "0", "--count", "1"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QString watch = QString::fromStdString(run.Out);
    EXPECT_EQ(watch.count('\n'), 1) << run.Out;
    EXPECT_TRUE(watch.endsWith(" serial=" + escaped + " location=virtual-1\n")) << run.Out;

    // JSON keeps the serial as it is.
    run = Cli({"list", "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QJsonArray units = QJsonDocument::fromJson(QByteArray::fromStdString(run.Out)).array();
    EXPECT_EQ(units[0]["serial"].toString(), QString::fromUtf8(serial));
}

TEST_F(CliTest, NoFormatLetsASerialsControlsOrInvisibleMarksThrough) {
    // Clears the screen, rings, goes back to the line's start; an Arabic letter mark and a zero
    // width space, which turn or hide what follows; a C1 control.
    const char* serial = "a\x1b[2J\x07\rb\u061c\u200bc\u009b";
    const QString escaped = R"(a\x1b[2J\x07\rb\u061c\u200bc\u009b)";
    Unit().SetSerial(0, serial, 1);

    TRun run = Cli({"list"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(QString::fromStdString(run.Out).section('\t', 5, 5), escaped);

    // CSV: the field quoted and escaped as the plain line has it; only the records' CRLF.
    run = Cli({"watch", "--csv", "--count", "1", "--interval", "0"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QByteArray csv = QByteArray::fromStdString(run.Out);
    EXPECT_EQ(FirstUnshowable(QByteArray(csv).replace("\r\n", "\n")), -1) << run.Out;
    EXPECT_TRUE(csv.endsWith((",\"" + escaped + "\",virtual-1\r\n").toUtf8())) << run.Out;

    // Prometheus: the same text as the label's value, its backslashes escaped as the format
    // wants; a reader gets the text `a\x1b[2J...`.
    run = Cli({"read", "--format", "prometheus"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QByteArray prom = QByteArray::fromStdString(run.Out);
    EXPECT_EQ(FirstUnshowable(prom), -1) << run.Out;
    QString label = escaped;
    label.replace("\\", "\\\\");
    EXPECT_TRUE(prom.contains(
        ("tarvenik_up{serial=\"" + label + "\",location=\"virtual-1\"} 1\n").toUtf8()))
        << run.Out;

    // JSON: escaped as \u sequences, read back as the serial it is.
    run = Cli({"watch", "--jsonl", "--count", "1", "--interval", "0"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FirstUnshowable(QByteArray::fromStdString(run.Out)), -1) << run.Out;
    EXPECT_EQ(
        QJsonDocument::fromJson(QByteArray::fromStdString(run.Out)).object()["serial"].toString(),
        QString::fromUtf8(serial));
}

TEST_F(CliTest, WatchAllRecordsEveryUnitEachPeriodThroughUnplugAndPlug) {
    ASSERT_EQ(Unit().Plug(1), 0);
    std::vector<QJsonArray> periods;
    const TRun run = Cli({"watch", "--all", "--jsonl", "--interval", "0", "--count", "400"},
                         [&](const std::string& piece) {
                             QJsonArray rows;
                             for (const QString& line :
                                  QString::fromStdString(piece).split('\n', Qt::SkipEmptyParts))
                                 rows.append(QJsonDocument::fromJson(line.toUtf8()).object());
                             periods.push_back(rows);
                             const auto seen = [&](const char* event) {
                                 for (const QJsonValue& row : rows)
                                     if (row["event"].toString() == event)
                                         return true;
                                 return false;
                             };
                             if (periods.size() == 2)
                                 Unit().Unplug(1);
                             else if (seen("unplugged")) {
                                 Unit().Plug(1);
                                 Unit().Plug(3);
                             } else if (rows.size() == 3)
                                 RaiseStop(SIGINT);
                         });
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_GE(periods.size(), 4u);
    auto identities = [](const QJsonArray& rows) {
        QStringList out;
        for (const QJsonValue& row : rows)
            out << row["serial"].toString() + "@" + row["location"].toString() + ":" +
                       row["event"].toString();
        return out;
    };
    EXPECT_EQ(identities(periods[0]), (QStringList{"VU1000@virtual-1:", "VU1001@virtual-2:"}));
    EXPECT_EQ(identities(periods[2]),
              (QStringList{"VU1000@virtual-1:", "VU1001@virtual-2:unplugged"}));
    // The unit back in its own place, the new one after it; none missed a period meanwhile.
    EXPECT_EQ(identities(periods.back()),
              (QStringList{"VU1000@virtual-1:", "VU1001@virtual-2:", "VU1003@virtual-4:"}));
    for (const QJsonArray& rows : periods) {
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0].toObject()["serial"].toString(), "VU1000");
        EXPECT_TRUE(rows[0].toObject().contains("raw"));
    }
}

TEST_F(CliTest, PrometheusGivesOneGaugePerMeasurementAndUpPerUnit) {
    TRun run = Cli({"read", "--format", "prometheus"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QString text = QString::fromStdString(run.Out);
    EXPECT_TRUE(text.startsWith("# HELP tarvenik_up ")) << run.Out;
    EXPECT_TRUE(text.contains("\n# TYPE tarvenik_os1_min_volts gauge\n"));
    EXPECT_TRUE(text.contains("\n# TYPE tarvenik_os2_pulse_time gauge\n"));
    EXPECT_TRUE(text.contains("\n# TYPE tarvenik_threshold1_volts gauge\n"));
    EXPECT_TRUE(text.contains("\ntarvenik_up{serial=\"VU1000\",location=\"virtual-1\"} 1\n"));
    EXPECT_EQ(text.count("# TYPE "), 15);
    EXPECT_EQ(text.count("{serial="), 15);

    // A file replaced whole each period; a unit that fails its read is down, with no values.
    QTemporaryDir dir;
    const QString file = dir.filePath("tarvenik.prom");
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetSerial(1, "a\"b\\c\nd", 1);
    Unit().SetFailures(1, 1, 0);
    run = Cli({"watch", "--all", "--format", "prometheus", "--interval", "0", "--count", "3",
               "--output", file});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QString prom = QString::fromUtf8(Contents(file));
    EXPECT_EQ(prom.count("# TYPE "), 15) << "one exposition, not three";
    EXPECT_TRUE(
        prom.contains("\ntarvenik_up{serial=\"a\\\"b\\\\c\\nd\",location=\"virtual-2\"} 0\n"))
        << prom.toStdString();
    EXPECT_EQ(prom.count("location=\"virtual-2\""), 1);
    EXPECT_EQ(prom.count("location=\"virtual-1\""), 15);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"tarvenik.prom"})
        << "no temporary file left";
}

#ifndef _WIN32 // a link any user may plant, as Linux allows in a shared folder
TEST_F(CliTest, ALinkPlantedBesideThePrometheusFileRedirectsNothing) {
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(dir.isValid() && elsewhere.isValid());
    const QString victim = elsewhere.filePath("victim");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    // At the part file's name as it once was, and at the names a guess might try next.
    const QString file = dir.filePath("m.prom");
    const QStringList planted = {".m.prom.part", ".m.prom.tmp", "m.prom.part", "m.prom.tmp"};
    for (const QString& name : planted)
        ASSERT_TRUE(QFile::link(victim, dir.filePath(name)));

    const TRun run = Cli(
        {"watch", "--format", "prometheus", "--interval", "0", "--count", "2", "--output", file});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Contents(victim), QByteArray("keep me"));
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"victim"});
    const QFileInfo info(file);
    EXPECT_FALSE(info.isSymLink());
    EXPECT_TRUE(info.isFile());
    const QString prom = QString::fromUtf8(Contents(file));
    EXPECT_EQ(prom.count("# TYPE "), 15) << prom.toStdString();
    EXPECT_TRUE(prom.contains("\ntarvenik_up{serial=\"VU1000\",location=\"virtual-1\"} 1\n"));
    // The planted links stay as they were, and no part file is left beside them.
    QStringList expected = planted + QStringList{"m.prom"};
    expected.sort();
    QStringList found = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    found.sort();
    EXPECT_EQ(found.join(' ').toStdString(), expected.join(' ').toStdString());
    for (const QString& name : planted)
        EXPECT_EQ(QFileInfo(dir.filePath(name)).symLinkTarget(), victim);
}
#endif

#ifndef _WIN32 // FIFOs and device nodes
namespace {

mode_t TypeAt(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
}

} // namespace

TEST_F(CliTest, APrometheusOutputThatIsAFifoIsWrittenIntoNotReplaced) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("metrics");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader =
        ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const TRun run = Cli(
        {"watch", "--format", "prometheus", "--interval", "0", "--count", "2", "--output", fifo});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(TypeAt(fifo), static_cast<mode_t>(S_IFIFO));
    QByteArray taken(1 << 16, '\0');
    const ssize_t n = ::read(reader, taken.data(), static_cast<std::size_t>(taken.size()));
    ::close(reader);
    taken.truncate(n > 0 ? n : 0);
    EXPECT_EQ(taken.count("# TYPE tarvenik_up gauge\n"), 2) << "each period's exposition, whole";
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"metrics"});

    // A folder in the way is neither written into nor replaced.
    const TRun folder =
        Cli({"watch", "--format", "prometheus", "--count", "1", "--output", dir.path()});
    EXPECT_EQ(folder.Status, 1);
    EXPECT_EQ(folder.Err, "tarvenik-cli: cannot write " + dir.path().toStdString() +
                              ": not a regular file, a FIFO or a character device\n");
}

TEST_F(CliTest, APrometheusOutputThatIsADeviceIsWrittenIntoNotReplaced) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making device nodes needs root";
    QTemporaryDir dir;
    // The machine's null and full devices, as nodes of the test's own.
    const QString null = dir.filePath("null");
    const QString full = dir.filePath("full");
    if (::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "no device nodes here: " << std::strerror(errno);
    TRun run = Cli(
        {"watch", "--format", "prometheus", "--interval", "0", "--count", "2", "--output", null});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(TypeAt(null), static_cast<mode_t>(S_IFCHR));
    run = Cli({"watch", "--format", "prometheus", "--count", "1", "--output", full});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err,
              "tarvenik-cli: cannot write " + full.toStdString() + ": No space left on device\n");
    EXPECT_EQ(TypeAt(full), static_cast<mode_t>(S_IFCHR));
    QStringList left =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{"full", "null"})) << "no part file left";
}
#endif

TEST_F(CliTest, ACsvFileBegunWithoutIdentityKeepsItsColumns) {
    QTemporaryDir dir;
    const QString file = dir.filePath("old.csv");
    // As the tool wrote it before records carried serial and location.
    const QByteArray old =
        "time,os1_min_v,os1_max_v,os2_voltage_v,os2_pulse_time,os1_time_1,os1_time_0,os1_state,"
        "position,scale,poll_period,threshold0_v,threshold1_v,os2_length,os2_delay,event\r\n"
        "2025-03-01T14:05:08.000+01:00,0.17,,,,,,,,,,,,,,\r\n";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    for (int i = 0; i < 2; ++i) {
        const TRun run =
            Cli({"watch", "--csv", "--count", "2", "--interval", "0", "--output", file});
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Err, "tarvenik-cli: " + file.toStdString() +
                               " has no serial and location columns: its records go on without "
                               "them\n");
    }
    const QList<QByteArray> lines = Contents(file).split('\n');
    ASSERT_EQ(lines.size(), 7); // header, the old record, four new ones, nothing after the last
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[i].count(','), 15) << lines[i].toStdString();
}

TEST_F(CliTest, AUnitReplugedBetweenTwoPeriodsGetsItsGapAndKeepsItsPlace) {
    ASSERT_EQ(Unit().Plug(1), 0);
    QStringList seen;
    const TRun run = Cli({"watch", "--all", "--csv", "--interval", "0", "--count", "6"},
                         [&](const std::string& piece) {
                             for (const QString& line :
                                  QString::fromStdString(piece).split("\r\n", Qt::SkipEmptyParts))
                                 if (!line.startsWith("time,"))
                                     seen << line.section(',', 15); // event,serial,location
                             if (seen.size() == 4) {                // after the second period
                                 Unit().Unplug(1);
                                 Unit().Plug(1);
                             }
                         });
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(seen.size(), 12) << seen.join(' ').toStdString();
    for (int i = 0; i < 12; i += 2) {
        EXPECT_EQ(seen[i], ",VU1000,virtual-1") << i;
        EXPECT_EQ(seen[i + 1], i == 4 ? "unplugged,VU1001,virtual-2" : ",VU1001,virtual-2") << i;
    }
}

#ifndef _WIN32 // a unit denied by its node's Linux permission
// The choice runs over every unit, whatever its access, and `list` shows the same choice: two
// units with the wanted serial are refused though one of them can't be opened, and a unit chosen
// that can't be opened is reported rather than swapped for one that can.
TEST_F(CliTest, TwoUnitsWithTheWantedSerialAreRefusedWhateverTheirAccess) {
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetSerial(1, "VU1000", 1); // both units carry serial VU1000
    const QStringList lines =
        QString::fromStdString(Cli({"list"}).Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    testsupport::TNodeAccessDenied denied(lines[1].section('\t', 0, 0).toStdString());
    ASSERT_TRUE(denied.Valid());
    Unit().ClearLog();

    TRun run = Cli({"--serial", "VU1000", "set", "--os2-length", "9"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: 2 Tarvenik units with serial VU1000, at virtual-1 and "
                       "virtual-2: choose one with --location\n");
    EXPECT_EQ(Unit().LogCount(), 0) << "written to the one that could be opened";
    run = Cli({"--serial", "VU1000", "list"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(QString::fromStdString(run.Out).contains("chosen")) << run.Out;

    // Nothing named: the last found is chosen, as `list` marks it, though it can't be opened.
    run = Cli({"list"});
    EXPECT_TRUE(QString::fromStdString(run.Out).split('\n')[1].endsWith("\tchosen")) << run.Out;
    run = Cli({"read"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(QString::fromStdString(run.Err).contains("no access to")) << run.Err;
    EXPECT_EQ(Unit().LogCount(), 0);
}
#endif
