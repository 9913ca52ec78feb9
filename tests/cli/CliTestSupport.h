#pragma once
// The tool's commands run in this process, against the virtual unit whose modules sit beside the
// test binary: the test steers the units and reads their exchange log through the same module the
// tool's controller has loaded.

#include "cli/Commands.h"
#include "framework/StopSignals.h"
#include "tests/support/EventLoop.h"
#include "tests/support/VirtualUnit.h"
#include "unit/Block.h"
#include "unit/UnitExchange.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace clitest {

// A stop as the system delivers it: SIGINT or SIGTERM on Linux; on Windows the console's Ctrl+C
// (SIGINT) or Ctrl+Break, which the system hands to the control handler on a thread of its own.
// (Wine without a display makes no console, so the event itself can't be generated there.)
inline void RaiseStop(int signal) {
#ifdef _WIN32
    std::thread([signal] {
        framework::ConsoleControl(signal == SIGINT ? 0 : 1); // CTRL_C_EVENT, CTRL_BREAK_EVENT
    }).join();
#else
    std::raise(signal);
#endif
}

using testsupport::BlockOf;
using testsupport::kGet;
using testsupport::kSet;

inline virtualunit::VirtualUnitControl& Unit() {
    return testsupport::VirtualUnit();
}

inline std::vector<VirtualUnitLogEntry> Log() {
    return testsupport::ExchangeLog();
}

// The clock of every record in these tests.
inline QDateTime FixedTime() {
    return QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9, 250), QTimeZone(3600));
}

// A stream that hands each flushed piece of output (one record of a watch) to a hook, which may
// unplug the unit or raise a signal in the middle of a watch.
class THookBuffer : public std::stringbuf {
public:
    std::function<void(const std::string& piece)> Hook;

protected:
    int sync() override {
        const std::string all = str();
        if (all.size() > seen_) {
            const std::string piece = all.substr(seen_);
            seen_ = all.size();
            if (Hook)
                Hook(piece);
        }
        return 0;
    }

private:
    std::size_t seen_ = 0;
};

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline TRun Cli(const QStringList& arguments,
                std::function<void(const std::string& piece)> hook = {}) {
    THookBuffer outBuffer;
    outBuffer.Hook = std::move(hook);
    std::ostream out(&outBuffer);
    std::ostringstream err;
    TRun run;
    cli::TIo io{out, err, &FixedTime};
    run.Status = cli::RunCli(arguments, io);
    run.Out = outBuffer.str();
    run.Err = err.str();
    return run;
}

// While it lives, the exchanges the tool makes give up on a request the unit keeps waiting at
// the second look of their watch, rather than after seconds: their clock moves on by the
// no-answer time at each look while a request waits in the unit's stall.
class TQuickNoAnswer {
public:
    TQuickNoAnswer() {
        auto& settings = unit::TUnitExchange::NewWatchSettings();
        settings.Clock = [looks = std::make_shared<int>(0)] {
            if (testsupport::VirtualUnit().StalledRequests() > 0)
                ++*looks;
            return std::chrono::steady_clock::time_point{} +
                   *looks * unit::TUnitExchange::kNoAnswerAfter;
        };
        settings.Interval = std::chrono::milliseconds(1);
    }
    ~TQuickNoAnswer() { unit::TUnitExchange::NewWatchSettings() = {}; }
    TQuickNoAnswer(const TQuickNoAnswer&) = delete;
    TQuickNoAnswer& operator=(const TQuickNoAnswer&) = delete;
};

#ifndef _WIN32
// The argument that makes the test binary a tool's run giving up on a unit that keeps its read
// waiting, ended as the program ends (ProgramFilesTest.cpp): its exit status is the tool's.
inline constexpr const char* kGiveUpChild = "--give-up-on-a-stalled-unit";
int GiveUpOnAStalledUnit();
#endif

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Unit().complete()) << "virtual unit modules not beside the test binary";
        Unit().Reset();
        testsupport::DeliverPosted(); // nothing of an earlier test may be pending
        Unit().ClearLog();
    }
    void TearDown() override { Unit().Reset(); }
};

} // namespace clitest
