#pragma once
// Requests to one unit, run on a thread of their own so that their caller never waits on the
// unit: one at a time, in the order asked. A request carries copies of the block and the report
// buffer; the exchange thread runs it through a handle of its own to the unit
// (THidReportChannel, never a THidDevice) and the answer comes back to the asking thread as a
// queued call, with copies again.
//
// A unit may hold a request for as long as it likes: some HID stacks (Windows') give a feature
// request no timeout of their own. A request still running after kNoAnswerAfter is answered as
// one the unit did not answer, but it is still at the unit, and stays there on the one thread
// until the unit answers it or goes: one request at the unit at a time, one thread per exchange
// however long the unit keeps it. Meanwhile (Stalled) nothing else is sent: a read or a read-back
// is answered at once as not answered, and commands asked replacing wait, each replacing the one
// before, so the last asked goes once the unit is free. Going away never waits for more than
// kAbandonAfter: a request still running then is abandoned with its thread, which keeps what it
// uses alive by itself (the HID services stay loaded for the rest of the run), and
// AbandonedRequests() tells the program to end without running what might wait on it.
//
// Everything here but the exchange thread's own work runs on the thread that made the object.

#include "unit/Block.h"
#include "unit/Exchange.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace unit {

enum class TUnitRequest {
    Read, // get the block
    Send, // set the block
    // The parameters read back from the unit's EEPROM: a read, the block read sent with command
    // 1, a 10 ms pause, a read, and the block just read sent back. Stops at the first step that
    // fails.
    ReadBack,
};

struct TUnitAnswer {
    struct TStep {
        const char* What; // "sending the block", "reading the block"
        ExchangeResult Result;
        QString Reason; // why it failed, in words; empty when answered
    };
    TUnitRequest Request = TUnitRequest::Read;
    std::vector<TStep> Steps; // those that ran, in order
    TDataBlock Block{};       // Read and ReadBack: the block read (all zero when it failed)
    TReportBuffer Report{};   // the report buffer as the request left it
    bool Read = false;        // Read: the unit answered; ReadBack: every step was answered
    bool NoAnswer = false;    // a step timed out: the unit is there but silent
    bool Gone = false;        // a step failed as the unit's node has gone: take the unit anew
    bool Answered = false;    // a step was answered
    bool Abandoned = false;   // not run, or its answer never came (only from AskAndWait)
    // ReadBack: a save was asked after it, so what it read is not what the unit holds once that
    // save has gone; it loads nothing (set by the session).
    bool Superseded = false;
    // Read and ReadBack, the first answered after a save the unit took: whether it holds the
    // parameters it was sent (set by the session).
    std::optional<bool> SaveKept;
};

// The unit a request goes to: its node path and its DevInst, which tells a unit plugged in again
// on the same node from the one before, and the holder's count of the times it took a unit: on
// Windows a unit put back in its port may keep its path and its DevInst both.
struct TUnitAddress {
    std::string Path;
    std::uint32_t Instance = 0;
    std::uint64_t Taking = 0;
    bool operator==(const TUnitAddress&) const = default;
};

class TUnitExchange : public QObject {
    Q_OBJECT
public:
    // How long going away waits for a request that runs.
    static constexpr std::chrono::milliseconds kAbandonAfter{300};
    // Longer than the USB control-transfer timeout of a system that has one (5 s), so that such
    // a system's own timeout is the one met there.
    static constexpr std::chrono::milliseconds kNoAnswerAfter{6000};
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TUnitExchange(QObject* parent = nullptr);
    // Drops every answer, cancels what has not started and waits for the request that runs, at
    // most kAbandonAfter.
    ~TUnitExchange() override;

    using TApply = std::function<void(const TUnitAnswer&)>;

    // `apply` gets the answer on this thread, unless it is dropped first. `replacing`: a request
    // asked this way and not yet started is dropped in favour of this one, so presses made while
    // the unit keeps a request waiting go out as one.
    void Ask(const TUnitAddress& unit, TUnitRequest request, const TDataBlock& block,
             const TReportBuffer& report, TApply apply, bool replacing = false);
    // The same, waiting for the answer on this thread (no event loop runs meanwhile); `stop`, when
    // given, is asked every few milliseconds and abandons the wait when it answers true.
    TUnitAnswer AskAndWait(const TUnitAddress& unit, TUnitRequest request, const TDataBlock& block,
                           const TReportBuffer& report, const std::function<bool()>& stop = {});
    // Answers to everything asked so far are dropped; what has not started yet is not run, and a
    // read-back that runs stops after its step.
    void DropAll();
    // Asked and not yet answered or dropped.
    bool Busy() const { return !waiting_.empty(); }
    // A request given up on is still at the unit: nothing else goes to it until it ends.
    bool Stalled() const;

    // Requests abandoned on a thread that was still waiting on its unit, in this process.
    static int AbandonedRequests();

    // What a new exchange's watch over a long request starts with: the steady clock, looked at
    // every second. A test of a program that makes its exchanges itself puts its own in; set on
    // the thread that makes them.
    struct TWatchSettings {
        TClock Clock; // none: the steady clock
        std::chrono::milliseconds Interval{1000};
    };
    static TWatchSettings& NewWatchSettings();

    // The clock the watch over a long request reads; a test puts its own in.
    TClock Clock;
    // One look of the watch over a long request (a timer looks every second while requests are
    // out): a request seen running for kNoAnswerAfter is given up (answered as not answered,
    // while it stays at the unit).
    void CheckDeadline();

private:
    struct TShared;
    void Deliver(std::uint64_t ticket);
    // The answer to whoever still waits for `ticket`, unless it was replaced or let go of.
    void HandOver(std::uint64_t ticket, const TUnitAnswer& answer);
    void Start();
    void GiveUpRunning(std::uint64_t ticket, TUnitRequest request);
    // Answers a request not sent, as not answered, by a queued call.
    void AnswerNotSent(std::uint64_t ticket, TUnitRequest request);
    std::uint64_t Enqueue(const TUnitAddress& unit, TUnitRequest request, const TDataBlock& block,
                          const TReportBuffer& report, bool replacing);

    std::shared_ptr<TShared> shared_;
    std::thread thread_; // the one serving shared_, for the exchange's whole life
    std::uint64_t nextTicket_ = 1;
    std::map<std::uint64_t, TApply> waiting_;      // asked, answer not yet come
    std::map<std::uint64_t, TUnitAnswer> givenUp_; // answers made for requests given up or not sent
    QTimer* watch_ = nullptr;                      // owned: the watch over a long request
    std::uint64_t seenRunning_ = 0;                // the request the watch saw running
    std::chrono::steady_clock::time_point seenSince_;
};

} // namespace unit
