#pragma once
// The window's requests to the unit, run on a thread of their own so that the window never waits
// on the unit: one at a time, in the order asked. The window asks with copies of its block and
// report buffer; the exchange thread runs the request through a handle of its own to the held
// unit (THidReportChannel, never the window's THidDevice) and the answer comes back to the
// window's thread as a queued call, with copies again.
//
// Everything here but the exchange thread's own work runs on the window's thread.

#include "hid/HidReportChannel.h"
#include "unit/Block.h"
#include "unit/Exchange.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;

enum class TUnitRequest {
    Read,     // get the block
    Send,     // set the block
    ReadBack, // Execute's item 1: send, a 10 ms pause, read, then send back the block just read
};

struct TUnitAnswer {
    struct TStep {
        const char* What; // "sending the block", "reading the block"
        unit::ExchangeResult Result;
        QString Reason; // why it failed, in words; empty when answered
    };
    TUnitRequest Request = TUnitRequest::Read;
    std::vector<TStep> Steps; // those that ran, in order
    TDataBlock Block{};       // Read and ReadBack: the block read (all zero when it failed)
    TReportBuffer Report{};   // the report buffer as the request left it
    bool Read = false;        // Read and ReadBack: the unit answered the read
    bool NoAnswer = false;    // a step timed out: the unit is there but silent
    bool Answered = false;    // a step was answered
};

class TUnitExchange : public QObject {
    Q_OBJECT
public:
    explicit TUnitExchange(QObject* parent = nullptr);
    // Drops every answer, cancels what has not started and waits for the request that runs, at
    // most its own timeout.
    ~TUnitExchange() override;

    using TApply = std::function<void(const TUnitAnswer&)>;

    // Asks the unit behind `interfacePath` (`instance`: its DevInst, which tells a unit plugged in
    // again on the same node from the one before); `apply` gets the answer on this thread, unless
    // the answer is dropped first.
    void Ask(const std::string& interfacePath, std::uint32_t instance, TUnitRequest request,
             const TDataBlock& block, const TReportBuffer& report, TApply apply);
    // Answers to everything asked so far are dropped; what has not started yet is not run, and a
    // read-back that runs stops after its step.
    void DropAll();
    // Asked and not yet answered or dropped.
    bool Busy() const { return !waiting_.empty(); }

private:
    struct TShared {
        struct TJob {
            std::string Path;
            std::uint32_t Instance = 0;
            TUnitRequest Request = TUnitRequest::Read;
            TDataBlock Block{};
            TReportBuffer Report{};
        };
        std::atomic<std::uint64_t> dropBelow{0};      // tickets below this are dropped
        std::mutex lock;                              // guards the two lists
        std::map<std::uint64_t, TJob> requests;       // asked, not yet taken by the exchange thread
        std::map<std::uint64_t, TUnitAnswer> answers; // answered, not yet taken by the window
        // The exchange thread's handle to the unit asked last, made and used on that thread only.
        std::unique_ptr<THidReportChannel> channel;
        std::string channelPath;
        std::uint32_t channelInstance = 0;
    };

    void Serve(TShared& shared, std::uint64_t ticket);
    void Deliver(std::uint64_t ticket);

    std::shared_ptr<TShared> shared_ = std::make_shared<TShared>();
    std::uint64_t nextTicket_ = 0;
    std::map<std::uint64_t, TApply> waiting_; // asked, answer not yet come
    QThread* thread_ = nullptr;               // owned; the worker below lives on it
    QObject* worker_ = nullptr;               // owned; deleted once the thread has ended
};
