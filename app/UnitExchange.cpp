#include "app/UnitExchange.h"

#include "hid/HidLogging.h"
#include "hid/HidReportChannel.h"

#include <QThread>

#include <chrono>
#include <thread>

namespace {

// Runs on the exchange thread. Copies in, copies out; a step is not started once its ticket has
// been dropped.
TUnitAnswer Run(THidReportChannel& channel, TUnitRequest request, TDataBlock block,
                TReportBuffer report, const std::function<bool()>& dropped) {
    TUnitAnswer answer;
    answer.Request = request;
    auto note = [&](const char* what, unit::ExchangeResult result) {
        // Taken at once: nothing else may change the thread's last error first.
        const QString reason =
            result == unit::ExchangeResult::Answered ? QString() : hidlog::LastErrorText();
        answer.Steps.push_back({what, result, reason});
        answer.NoAnswer = answer.NoAnswer || result == unit::ExchangeResult::NoAnswer;
        answer.Answered = answer.Answered || result == unit::ExchangeResult::Answered;
    };
    auto send = [&] { note("sending the block", unit::Send(channel, block, report)); };
    auto read = [&] {
        const unit::ExchangeResult result = unit::Read(channel, report, block);
        answer.Read = result == unit::ExchangeResult::Answered;
        note("reading the block", result);
    };
    switch (request) {
    case TUnitRequest::Read:
        read();
        break;
    case TUnitRequest::Send:
        send();
        break;
    case TUnitRequest::ReadBack:
        // A step the unit let time out ends it: the next would only wait as long again.
        send();
        if (answer.NoAnswer || dropped())
            break;
        // The unit needs a moment to load its parameters.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        read();
        if (answer.NoAnswer || dropped())
            break;
        send(); // the block just read, with the command byte as the unit returned it
        break;
    }
    answer.Block = block;
    answer.Report = report;
    return answer;
}

} // namespace

TUnitExchange::TUnitExchange(QObject* parent) : QObject(parent) {
    thread_ = new QThread(this);
    thread_->setObjectName(QStringLiteral("unit exchange"));
    worker_ = new QObject; // no parent: it moves to the thread
    worker_->moveToThread(thread_);
    thread_->start();
}

TUnitExchange::~TUnitExchange() {
    DropAll();
    thread_->quit();
    thread_->wait();
    delete worker_;
    const std::lock_guard lock(shared_->lock); // the thread's last use of the channel before
    shared_->channel.reset();
}

void TUnitExchange::Ask(const std::string& interfacePath, std::uint32_t instance,
                        TUnitRequest request, const TDataBlock& block, const TReportBuffer& report,
                        TApply apply) {
    const std::uint64_t ticket = nextTicket_++;
    waiting_.emplace(ticket, std::move(apply)); // stays on this thread
    {
        // Requests and answers cross between the threads under the lock, not inside Qt's queued
        // calls, which carry the ticket only: so a race detector sees the hand-over too.
        const std::lock_guard lock(shared_->lock);
        shared_->requests.emplace(ticket,
                                  TShared::TJob{interfacePath, instance, request, block, report});
    }
    QMetaObject::invokeMethod(
        worker_, [this, ticket, shared = shared_] { Serve(*shared, ticket); },
        Qt::QueuedConnection);
}

// Runs on the exchange thread.
void TUnitExchange::Serve(TShared& shared, std::uint64_t ticket) {
    const auto dropped = [&] { return ticket < shared.dropBelow.load(); };
    TShared::TJob job;
    {
        const std::lock_guard lock(shared.lock);
        const auto found = shared.requests.find(ticket);
        if (found == shared.requests.end())
            return;
        job = std::move(found->second);
        shared.requests.erase(found);
    }
    TUnitAnswer answer;
    answer.Request = job.Request;
    answer.Block = job.Block;
    answer.Report = job.Report;
    if (!dropped()) {
        // A handle per held unit: one found anew, even on the same node, gets a new one. Only
        // this thread makes and uses it.
        if (!shared.channel || shared.channelPath != job.Path ||
            shared.channelInstance != job.Instance) {
            shared.channel = std::make_unique<THidReportChannel>(job.Path);
            shared.channelPath = job.Path;
            shared.channelInstance = job.Instance;
        }
        answer = Run(*shared.channel, job.Request, job.Block, job.Report, dropped);
    }
    {
        const std::lock_guard lock(shared.lock);
        shared.answers.emplace(ticket, std::move(answer));
    }
    // This object outlives the thread (its destructor waits for it), so the call either runs on
    // the window's thread or is dropped with the object.
    QMetaObject::invokeMethod(
        this, [this, ticket] { Deliver(ticket); }, Qt::QueuedConnection);
}

void TUnitExchange::Deliver(std::uint64_t ticket) {
    TUnitAnswer answer;
    {
        const std::lock_guard lock(shared_->lock);
        const auto found = shared_->answers.find(ticket);
        if (found == shared_->answers.end())
            return;
        answer = std::move(found->second);
        shared_->answers.erase(found);
    }
    const auto found = waiting_.find(ticket);
    if (found == waiting_.end())
        return;
    const TApply apply = std::move(found->second);
    waiting_.erase(found);
    if (ticket < shared_->dropBelow.load())
        return; // asked before the window let go of it
    apply(answer);
}

void TUnitExchange::DropAll() {
    shared_->dropBelow.store(nextTicket_);
}
