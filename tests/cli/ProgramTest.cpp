// The program itself, run as a child process: its exit status and its lines on stderr, and a stop
// signal in the middle of a watch into a file. The child loads its own copy of the virtual
// modules (it sits beside them in demo/), so these tests do not steer its unit.

#include "cli/UnitLink.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(TARVENIK_DEMO_CLI);

struct TResult {
    int Status = -1;
    QByteArray Out;
    QByteArray Err;
};

TResult RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(10000)) << program.toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

[[maybe_unused]] qsizetype LineCount(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

} // namespace

TEST(CliProgram, ExitStatusAndTheLineOnStderr) {
    TResult r = RunProgram(kProgram, {"read", "--json"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(r.Out).object()["raw"].toArray().size(), 250);

    r = RunProgram(kProgram, {"set", "--os2-delay", "2"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "tarvenik-cli: --os2-delay takes a whole number from 5 to 255, not '2'\n"
                     "usage: tarvenik-cli [--device PATH] COMMAND [OPTIONS]\n");
    EXPECT_EQ(r.Out, "");

#ifndef _WIN32
    // Without modules beside it the program can reach no HID device at all, and says so after
    // the loader's own reason. (Windows always has its own HID.dll and SetupApi.dll.)
    QTemporaryDir bare;
    const QString alone = bare.filePath("tarvenik-cli");
    ASSERT_TRUE(QFile::copy(kProgram, alone));
    for (const char* command : {"read", "list"}) {
        r = RunProgram(alone, {command});
        EXPECT_EQ(r.Status, 1);
        EXPECT_TRUE(r.Err.startsWith("tarvenik.hid: cannot load libsetupsvc.so"))
            << r.Err.toStdString();
        EXPECT_TRUE(r.Err.endsWith("\ntarvenik-cli: the HID modules (libsetupsvc.so, libhidsvc.so) "
                                   "cannot be loaded: reinstall the program\n"))
            << r.Err.toStdString();
    }
#endif
}

// The advice on a failure names the files and the remedy of the system the tool runs on: Windows
// has neither .so files nor a udev rule.
TEST(CliProgram, TheAdviceOnAFailureIsThisSystems) {
    const QString noServices = cli::FailureText(cli::TFailure::NoServices, {});
    const QString noAccess = cli::FailureText(cli::TFailure::NoAccess, "unit-node");
    EXPECT_TRUE(noAccess.startsWith("no access to unit-node: ")) << noAccess.toStdString();
    EXPECT_TRUE(noServices.endsWith("cannot be loaded: reinstall the program"));
#ifdef _WIN32
    EXPECT_TRUE(noServices.contains("HID.dll")) << noServices.toStdString();
    for (const QString& text : {noServices, noAccess}) {
        EXPECT_FALSE(text.contains(".so")) << text.toStdString();
        EXPECT_FALSE(text.contains("udev")) << text.toStdString();
        EXPECT_FALSE(text.contains("tarvenik(1)")) << text.toStdString();
    }
#else
    EXPECT_TRUE(noServices.contains("libhidsvc.so")) << noServices.toStdString();
    EXPECT_TRUE(noAccess.contains("udev rule")) << noAccess.toStdString();
#endif
}

// The panel is a window program on Windows, which starts without a console: what it prints for
// --version and a wrong option still reaches the pipe its starter gave it.
TEST(CliProgram, ThePanelsVersionAndItsComplaintsReachAPipe) {
    TResult r = RunProgram(QStringLiteral(TARVENIK_DEMO_PANEL), {"--version"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.startsWith("tarvenik")) << r.Out.toStdString();
    r = RunProgram(QStringLiteral(TARVENIK_DEMO_PANEL), {"--no-such-option"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.startsWith("tarvenik: ")) << r.Err.toStdString();
}

// On Windows the C library would write "\n" as "\r\n", and a record's "\r\n" as "\r\r\n".
TEST(CliProgram, CsvOnStandardOutputEndsEachRecordWithOneCarriageReturn) {
    const TResult r = RunProgram(kProgram, {"watch", "--csv", "--count", "2", "--interval", "0"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out.count("\r\n"), 3) << "the header and two records";
    EXPECT_FALSE(r.Out.contains("\r\r"));
}

#ifndef _WIN32
TEST(CliProgram, SigintSigtermOrSighupDuringAWatchLeavesAWholeFileAndStatusZero) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        QTemporaryDir dir;
        const QString path = dir.filePath("watch.csv");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)); // empty: it gets the header
        file.close();
        QFileSystemWatcher watcher({path});
        QProcess process;
        process.start(kProgram, {"watch", "--csv", "--interval", "0", "--output", path});

        // Waits for the file to change until it holds the header and three records.
        QEventLoop loop;
        QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &loop, [&] {
            if (LineCount(path) >= 4)
                loop.quit();
        });
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a guard, never the expected way
        loop.exec();
        ASSERT_EQ(process.state(), QProcess::Running)
            << process.readAllStandardError().toStdString();

        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        EXPECT_EQ(lines.last(), "") << "the file ends inside a record";
        EXPECT_GE(lines.size(), 5);
        EXPECT_TRUE(lines[0].startsWith("time,os1_min_v,"));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            EXPECT_EQ(lines[i].count(','), 17) << i; // every record whole, serial and location last
        file.close();
    }
}
#endif
