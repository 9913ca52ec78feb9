// The program's log (--log): one CSV record per poll the unit answered, the header once per file,
// and a log that can't be written never stops the polling.

#include "PanelTestSupport.h"

#include "app/CommandLine.h"
#include "app/PollLog.h"
#include "unit/Record.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace paneltest;

namespace {

QDateTime LogTime() {
    return QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9, 250), QTimeZone(3600));
}

int pollWarnings = 0;
QString lastPollWarning;
void CountPollWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && QByteArray(context.category) == "tarvenik.poll") {
        ++pollWarnings;
        lastPollWarning = text;
    }
}

} // namespace

TEST_F(PanelTest, TheLogGetsOneRecordPerAnsweredPollAndItsHeaderOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("polls.csv");
    TDataBlock fixed = QuietBlock();
    fixed[block::kOs1Min] = 10;
    fixed[block::kPosition] = 7;
    SetFixedBlock(fixed);
    Connect();
    for (int run = 0; run < 2; ++run) { // the program started twice on the same file
        TPollLog log(path, &LogTime);
        form->OnPollRead = [&](const TDataBlock& b) { log.Append(b, form->HeldIdentity); };
        Poll();
        Unit().SetFailures(0, 1, 0); // a poll the unit does not answer writes nothing
        Poll();
        Unit().SetFailures(0, 0, 0);
        form->OnPollRead = nullptr;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString record =
        "2025-03-01T14:05:09.250+01:00,0.17,0.00,0.00,0,0,0,0,7,64,0,0.00,0.00,0,0,,VU1000,"
        "virtual-1\r\n";
    EXPECT_EQ(QString::fromUtf8(file.readAll()), unit::CsvHeader() + record + record);
}

TEST_F(PanelTest, WithASerialTheWindowHoldsThatUnitAndALogOfTheOlderLayoutKeepsIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath("polls.csv");
    const QByteArray older = unit::CsvHeader(unit::TLayout::WithoutIdentity).toUtf8();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(older);
    }
    ASSERT_EQ(Unit().Plug(1), 0);
    form->WantedSerial = "VU1000"; // the earlier unit, which the window would not choose
    TPollLog log(path, &LogTime);
    form->OnPollRead = [&](const TDataBlock& b) { log.Append(b, form->HeldIdentity); };
    pollWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountPollWarnings);
    Connect();
    Poll();
    Poll();
    qInstallMessageHandler(previous);
    form->OnPollRead = nullptr;
    EXPECT_EQ(pollWarnings, 1) << "the older layout is told once";
    const auto entries = testsupport::ExchangeLog();
    ASSERT_FALSE(entries.empty());
    for (const VirtualUnitLogEntry& entry : entries)
        EXPECT_EQ(entry.unit, 0);
    EXPECT_EQ(form->HeldIdentity.Location, "virtual-1");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lines[i].count(','), older.count(',')) << lines[i].toStdString();
    form->WantedSerial.clear();
}

TEST_F(PanelTest, ALogThatCannotBeWrittenIsToldOnceAndPollingGoesOn) {
    TPollLog log("/nonexistent-folder/polls.csv");
    form->OnPollRead = [&log](const TDataBlock& b) { log.Append(b); };
    Connect();
    pollWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountPollWarnings);
    for (int i = 0; i < 3; ++i) {
        Poll();
        EXPECT_TRUE(form->Timer->isActive());
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(pollWarnings, 1);
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
}

#ifndef _WIN32 // a FIFO and SIGPIPE are POSIX
TEST_F(PanelTest, ALogIntoAFifoNeitherHangsTheWindowNorEndsItWhenTheReaderLeaves) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("polls");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TPollLog log(fifo, &LogTime);
    form->OnPollRead = [&log](const TDataBlock& b) { log.Append(b); };
    Connect();
    pollWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountPollWarnings);
    alarm(5); // a log that waits for a reader would wait for ever: the test ends instead
    Poll();   // nobody reads the FIFO
    alarm(0);
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(pollWarnings, 1);
    EXPECT_TRUE(lastPollWarning.endsWith("nothing reads from it (No such device or address) "
                                         "(polling goes on; later failures are not told)"))
        << lastPollWarning.toStdString();

    // A reader comes, takes the header and a record, and leaves: the next write fails with the
    // pipe's reason, which the program ignores as a signal (as it does at start-up).
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    Poll();
    char buffer[1024];
    EXPECT_GT(::read(reader, buffer, sizeof buffer), 0);
    ::close(reader);
    Poll();
    Poll();
    std::signal(SIGPIPE, previousPipe);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(pollWarnings, 1); // told once only
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
}
#endif

TEST(CommandLine, LogHelpVersionAndMistakes) {
    EXPECT_EQ(ParseCommandLine({"tarvenik", "--log", "a.csv"}).LogPath, "a.csv");
    EXPECT_EQ(ParseCommandLine({"tarvenik", "--serial", "VU1"}).Serial, "VU1");
    EXPECT_EQ(ParseCommandLine({"tarvenik"}).Action, TCommandLine::TAction::Run);
    const QString help = ParseCommandLine({"tarvenik", "--help"}).Text;
    EXPECT_TRUE(help.startsWith("Usage: tarvenik [options]\n")) << help.toStdString();
    EXPECT_TRUE(help.contains("--log <file>"));
    EXPECT_EQ(ParseCommandLine({"tarvenik", "--version"}).Action, TCommandLine::TAction::Version);
    for (const QStringList& wrong :
         {QStringList{"tarvenik", "--log"}, QStringList{"tarvenik", "--serial="},
          QStringList{"tarvenik", "--frob"}, QStringList{"tarvenik", "stray"}})
        EXPECT_EQ(ParseCommandLine(wrong).Action, TCommandLine::TAction::Error);
}
