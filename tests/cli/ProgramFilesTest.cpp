// Both programs against hostile outputs and signals, run as child processes from fork and exec so
// that the test sets what a shell would: a closed or full standard output, a file size limit,
// file names that are not UTF-8, a FIFO, the environment.

#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kCli = TARVENIK_DEMO_CLI;
const std::string kPanel = TARVENIK_DEMO_PANEL;

struct TChildRun {
    int Status = -1; // the exit status, -1 when a signal ended the child
    int Signal = 0;  // the signal that did
    std::string Err; // all it wrote on stderr
    pid_t Pid = -1;  // while it runs
    int ErrFd = -1;  // while it runs
};

struct TChildSetup {
    std::optional<std::string> OutputPath; // stdout into this file; closed when "" ; else /dev/null
    int OutputFd = -1;                     // or stdout onto this descriptor
    std::optional<rlim_t> FileSizeLimit;
    std::vector<std::pair<std::string, std::optional<std::string>>> Environment;
};

TChildSetup Output(const std::string& path) {
    TChildSetup setup;
    setup.OutputPath = path;
    return setup;
}

// Starts `program` with `arguments` as bytes. The child ends itself after 5 s at the latest
// (SIGALRM), so a program that would wait for ever fails the test instead of hanging it.
TChildRun Start(const std::string& program, const std::vector<std::string>& arguments,
                const TChildSetup& setup = {}) {
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string output = setup.OutputPath.value_or("/dev/null");
        if (setup.OutputFd >= 0) {
            ::dup2(setup.OutputFd, 1);
        } else if (output.empty()) {
            ::close(1);
        } else {
            const int fd = ::open(output.c_str(), O_WRONLY);
            ::dup2(fd, 1);
        }
        ::dup2(err[1], 2);
        if (setup.FileSizeLimit) {
            const rlimit limit{*setup.FileSizeLimit, *setup.FileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const auto& [name, value] : setup.Environment) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::alarm(5);
        ::execv(program.c_str(), argv.data());
        _exit(127);
    }
    ::close(err[1]);
    TChildRun run;
    run.Pid = pid;
    run.ErrFd = err[0];
    return run;
}

TChildRun& Wait(TChildRun& run) {
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(run.ErrFd, buffer, sizeof buffer)) > 0)
        run.Err.append(buffer, static_cast<std::size_t>(n));
    ::close(run.ErrFd);
    int status = 0;
    ::waitpid(run.Pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return run;
}

TChildRun RunChild(const std::string& program, const std::vector<std::string>& arguments,
                   const TChildSetup& setup = {}) {
    TChildRun run = Start(program, arguments, setup);
    return Wait(run);
}

std::string Contents(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    char buffer[4096];
    ssize_t n = 0;
    while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    if (fd >= 0)
        ::close(fd);
    return text;
}

// Every line of a CSV watch file whole: the header's 18 columns, and a line end at the end.
void ExpectWholeCsv(const std::string& text) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "the file ends inside a record";
    const QList<QByteArray> lines = QByteArray::fromStdString(text).split('\n');
    EXPECT_TRUE(lines[0].startsWith("time,os1_min_v,"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].count(','), 17) << i;
}

// Reads from `reader` until `lines` line ends have come.
std::string TakeLines(int reader, int lines) {
    std::string taken;
    char buffer[256];
    ssize_t n = 0;
    while (std::count(taken.begin(), taken.end(), '\n') < lines &&
           (n = ::read(reader, buffer, sizeof buffer)) > 0)
        taken.append(buffer, static_cast<std::size_t>(n));
    return taken;
}

// Fills the pipe that `writer` writes into until it takes not one byte more.
void FillPipe(int writer) {
    const int flags = ::fcntl(writer, F_GETFL);
    ::fcntl(writer, F_SETFL, flags | O_NONBLOCK);
    const std::string page(4096, 'x');
    while (::write(writer, page.data(), page.size()) > 0) {
    }
    // The last page may still take a few bytes.
    while (::write(writer, "x", 1) > 0) {
    }
    ::fcntl(writer, F_SETFL, flags);
}

// Until the main thread of `pid` sleeps waiting on its output (or the poll that waits for it),
// looked at again and again, no timer: false after 3 s as a guard. A kernel that does not name
// where a thread waits has it sleep, at least.
bool WaitsOnItsOutput(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < guard) {
        const std::string where = Contents(proc + "/wchan");
        if (where.find("pipe_write") != std::string::npos ||
            where.find("poll") != std::string::npos)
            return true;
        const std::string stat = Contents(proc + "/stat");
        const std::size_t state = stat.rfind(')');
        if (where == "0" && state != std::string::npos && stat.compare(state, 4, ") S ") == 0)
            return true;
        sched_yield();
    }
    return false;
}

} // namespace

TEST(ProgramFiles, HelpAndVersionIntoAFullOrClosedOutputEndWithStatusOne) {
    for (const std::string& program : {kCli, kPanel}) {
        for (const char* option : {"--help", "--version"}) {
            TChildRun run = RunChild(program, {option}, Output("/dev/full"));
            EXPECT_EQ(run.Status, 1) << program << ' ' << option << ": " << run.Err;
            EXPECT_NE(run.Err.find("No space left on device"), std::string::npos) << run.Err;
            run = RunChild(program, {option}, Output(""));
            EXPECT_EQ(run.Status, 1) << program << ' ' << option << " (closed): " << run.Err;
        }
    }
}

TEST(ProgramFiles, AWatchIntoAFifoNeitherWaitsForAReaderNorDiesWhenItLeaves) {
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TChildRun run = RunChild(kCli, {"watch", "--csv", "--output", fifo});
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: cannot write " + fifo +
                           ": nothing reads from it (No such device or address)\n");

    // A reader that takes the header and a record and leaves.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
    // A writer of the test's own keeps the reads waiting (not at an end) until the watch writes.
    const int keeper = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    run = Start(kCli, {"watch", "--csv", "--interval", "0", "--output", fifo});
    std::string taken;
    char buffer[256];
    ssize_t n = 0;
    while (std::count(taken.begin(), taken.end(), '\n') < 2 &&
           (n = ::read(reader, buffer, sizeof buffer)) > 0)
        taken.append(buffer, static_cast<std::size_t>(n));
    ::close(keeper);
    ::close(reader);
    Wait(run);
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: cannot write " + fifo + ": Broken pipe\n");
}

TEST(ProgramFiles, AWatchPastTheFileSizeLimitEndsWithStatusOneAndWholeRecords) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("watch.csv").toStdString();
    TChildSetup limited;
    limited.FileSizeLimit = 1500;
    TChildRun run =
        RunChild(kCli, {"watch", "--csv", "--interval", "0", "--output", path}, limited);
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "tarvenik-cli: cannot write " + path + ": File too large\n");
    ExpectWholeCsv(Contents(path));
}

TEST(ProgramFiles, AnOutputNameThatIsNotUtf8IsTakenByteForByte) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/caf\xE9-\xFF.csv";
    const TChildRun run = RunChild(kCli, {"watch", "--csv", "--count", "1", "--output", path});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ExpectWholeCsv(Contents(path));
    EXPECT_EQ(::unlink(path.c_str()), 0); // the name as given, nothing else
}

TEST(ProgramFiles, TheDemosUnitFolderGoesWithAProgramEndedByASignal) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        QTemporaryDir tmp;
        QFileSystemWatcher watcher({tmp.path()});
        TChildSetup panel;
        panel.Environment = {{"TMPDIR", tmp.path().toStdString()},
                             {"XDG_RUNTIME_DIR", std::nullopt},
                             {"XDG_CONFIG_HOME", (tmp.path() + "/config").toStdString()},
                             {"QT_QPA_PLATFORM", "offscreen"}};
        TChildRun run = Start(kPanel, {}, panel);
        // Waits for the unit's folder to appear: the panel has started its virtual units.
        const auto unitFolders = [&] {
            return QDir(tmp.path()).entryList({"tarvenik-vu-*"}, QDir::Dirs | QDir::Hidden);
        };
        QEventLoop loop;
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, [&] {
            if (!unitFolders().isEmpty())
                loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a guard, never the expected way
        if (unitFolders().isEmpty())
            loop.exec();
        ASSERT_EQ(unitFolders().size(), 1);
        ::kill(run.Pid, signal);
        Wait(run);
        // The panel closes its window on the signal, as on a click of its close button.
        EXPECT_EQ(run.Signal, 0) << run.Err;
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(unitFolders(), QStringList()) << signal;
        // ... and keeps its place for the next start.
        QString settings;
        QDirIterator conf(tmp.path() + "/config", {"*.conf"}, QDir::Files,
                          QDirIterator::Subdirectories);
        while (conf.hasNext()) {
            QFile file(conf.next());
            if (file.open(QIODevice::ReadOnly))
                settings += QString::fromUtf8(file.readAll());
        }
        EXPECT_TRUE(settings.contains("position=")) << "no place kept on " << signal;
    }
}

TEST(ProgramFiles, AWatchBlockedOnAFullOutputEndsOnTheFirstStopSignal) {
    for (int signal : {SIGINT, SIGTERM}) {
        // Standard output into a pipe that the reader stops reading after the first record.
        int pipeFds[2];
        ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
        TChildSetup setup;
        setup.OutputFd = pipeFds[1];
        TChildRun run = Start(kCli, {"watch", "--interval", "0"}, setup);
        EXPECT_NE(TakeLines(pipeFds[0], 1).find("time="), std::string::npos);
        FillPipe(pipeFds[1]);
        ::close(pipeFds[1]);
        ASSERT_TRUE(WaitsOnItsOutput(run.Pid));
        ::kill(run.Pid, signal);
        Wait(run);
        ::close(pipeFds[0]);
        EXPECT_EQ(run.Signal, 0) << "stdout, signal " << signal;
        EXPECT_EQ(run.Status, 0) << "stdout, signal " << signal << ": " << run.Err;
        EXPECT_EQ(run.Err, "");

        // --output to a FIFO whose reader stops reading.
        QTemporaryDir dir;
        const std::string fifo = dir.filePath("fifo").toStdString();
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
        const int filler = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(filler, 0);
        run = Start(kCli, {"watch", "--csv", "--interval", "0", "--output", fifo});
        EXPECT_NE(TakeLines(reader, 2).find("time,"), std::string::npos);
        FillPipe(filler);
        ASSERT_TRUE(WaitsOnItsOutput(run.Pid));
        ::kill(run.Pid, signal);
        Wait(run);
        ::close(filler);
        ::close(reader);
        EXPECT_EQ(run.Signal, 0) << "FIFO, signal " << signal;
        EXPECT_EQ(run.Status, 0) << "FIFO, signal " << signal << ": " << run.Err;
        EXPECT_EQ(run.Err, "");
    }
}

namespace clitest {

int GiveUpOnAStalledUnit() {
    const TQuickNoAnswer quick;
    if (!Unit().complete())
        return 99;
    Unit().SetStall(0, 1);
    const TRun run = Cli({"read"});
    return cli::EndOfRun(run.Status);
}

} // namespace clitest

TEST(ProgramFiles, TheDemosUnitFolderGoesWithARunThatGaveUpOnAStalledUnit) {
    QTemporaryDir runtime;
    TChildSetup child;
    child.Environment = {{"XDG_RUNTIME_DIR", runtime.path().toStdString()}};
    const TChildRun run = RunChild(QCoreApplication::applicationFilePath().toStdString(),
                                   {clitest::kGiveUpChild}, child);
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 1) << run.Err; // the unit did not answer
    EXPECT_EQ(
        QDir(runtime.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList());
}

namespace {

struct THome {
    const char* Name;
    std::optional<std::string> Value;
};

// What stands at `path` now: whether it exists, and when it last changed.
std::string StateOf(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toString(Qt::ISODateWithMs).toStdString()
                         : std::string("absent");
}

} // namespace

TEST(ProgramFiles, WithNoUsableHomeNeitherProgramKeepsSettingsOrMakesFolders) {
    QTemporaryDir tmp; // the temporary and the runtime folder: the only ones given
    const std::string missing = tmp.path().toStdString() + "/missing";
    // Where Qt puts the settings of a home that is empty or unset.
    const QString rootConfig = QStringLiteral("/.config/tarvenik");
    const std::string rootBefore = StateOf(rootConfig);
    for (const THome& home :
         {THome{"empty", ""}, THome{"missing", missing + "/x"}, THome{"unset", std::nullopt}}) {
        TChildSetup setup;
        setup.Environment = {{"HOME", home.Value},
                             {"TMPDIR", tmp.path().toStdString()},
                             {"XDG_RUNTIME_DIR", tmp.path().toStdString()},
                             {"XDG_CONFIG_HOME", std::nullopt},
                             {"XDG_CACHE_HOME", std::nullopt},
                             {"XDG_DATA_HOME", std::nullopt},
                             {"QT_QPA_PLATFORM", "offscreen"}};
        // The panel, ended by a signal once it has started its virtual units, keeps its place as
        // it closes: here it keeps nothing, and says so once.
        QFileSystemWatcher watcher({tmp.path()});
        TChildRun run = Start(kPanel, {}, setup);
        const auto unitFolders = [&] {
            return QDir(tmp.path()).entryList({"tarvenik-vu-*"}, QDir::Dirs | QDir::Hidden);
        };
        QEventLoop loop;
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, [&] {
            if (!unitFolders().isEmpty())
                loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a guard, never the expected way
        if (unitFolders().isEmpty())
            loop.exec();
        ASSERT_EQ(unitFolders().size(), 1) << home.Name;
        ::kill(run.Pid, SIGTERM);
        Wait(run);
        EXPECT_EQ(run.Status, 0) << home.Name << ": " << run.Err;
        std::size_t said = 0;
        for (std::size_t at = 0;
             (at = run.Err.find("no settings are kept", at)) != std::string::npos; ++at)
            ++said;
        EXPECT_EQ(said, 1u) << home.Name << ": " << run.Err;

        // The tool keeps nothing either.
        const TChildRun tool = RunChild(kCli, {"watch", "--count", "1"}, setup);
        EXPECT_EQ(tool.Status, 0) << home.Name << ": " << tool.Err;

        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(missing))) << home.Name;
        EXPECT_EQ(StateOf(rootConfig), rootBefore) << home.Name;
        EXPECT_EQ(
            QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList())
            << home.Name;
    }
}
