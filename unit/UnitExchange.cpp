#include "unit/UnitExchange.h"

#include "hid/Hid.h"
#include "hid/HidLogging.h"
#include "hid/HidReportChannel.h"
#include "unit/UnitLogging.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace unit {

namespace {

std::atomic<int> abandonedRequests{0};

// Runs on the exchange thread. Copies in, copies out; a step is not started once its ticket has
// been dropped.
TUnitAnswer Run(THidReportChannel& channel, TUnitRequest request, TDataBlock block,
                TReportBuffer report, const std::function<bool()>& dropped) {
    TUnitAnswer answer;
    answer.Request = request;
    auto note = [&](const char* what, ExchangeResult result) {
        // Taken at once: nothing else may change the thread's last error first.
        const QString reason =
            result == ExchangeResult::Answered ? QString()
            : result == ExchangeResult::NotTheBlock
                ? QStringLiteral("the unit answered with a report that is not its block (its ID "
                                 "is not %1)")
                      .arg(block::kReportId)
                : hidlog::LastErrorText();
        answer.Steps.push_back({what, result, reason});
        answer.NoAnswer = answer.NoAnswer || result == ExchangeResult::NoAnswer;
        answer.Gone = answer.Gone || (result == ExchangeResult::Failed &&
                                      hidlog::LastError() == ERROR_DEVICE_NOT_CONNECTED);
        answer.Answered = answer.Answered || result == ExchangeResult::Answered;
        return result == ExchangeResult::Answered;
    };
    auto send = [&] { return note("sending the block", Send(channel, block, report)); };
    auto read = [&] { return note("reading the block", Read(channel, report, block)); };
    switch (request) {
    case TUnitRequest::Read:
        answer.Read = read();
        break;
    case TUnitRequest::Send:
        send();
        break;
    case TUnitRequest::ReadBack:
        // Every report sets the unit's working parameters too, so the block that asks for the
        // EEPROM is the one the unit has just given. A step that fails ends it: nothing is sent
        // that the unit did not answer.
        if (!read() || dropped())
            break;
        block[block::kCommand] = cmd_read_eeprom;
        if (!send() || dropped())
            break;
        // The unit needs a moment to load its parameters.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!read() || dropped())
            break;
        // The block just read, with the command byte as the unit returned it.
        answer.Read = send();
        break;
    }
    answer.Block = block;
    answer.Report = report;
    return answer;
}

} // namespace

struct TUnitExchange::TShared {
    struct TJob {
        std::uint64_t Ticket = 0;
        TUnitAddress Unit;
        TUnitRequest Request = TUnitRequest::Read;
        TDataBlock Block{};
        TReportBuffer Report{};
        bool Replacing = false;
    };
    std::atomic<std::uint64_t> dropBelow{0}; // tickets below this are dropped
    // The request given up on that is still at the unit (0: none): its answer goes to nobody,
    // and nothing else is sent to the unit until it ends.
    std::atomic<std::uint64_t> givenUp{0};
    std::mutex lock;              // guards everything below but the channel
    std::condition_variable wake; // the thread: a job, or the end
    std::condition_variable done; // a waiter: an answer, or the thread's end
    std::deque<TJob> jobs;        // asked, not yet taken by the exchange thread
    std::uint64_t running = 0;    // the ticket being run, 0 for none
    TUnitRequest runningRequest = TUnitRequest::Read;
    std::map<std::uint64_t, TUnitAnswer> answers; // answered, not yet taken
    std::set<std::uint64_t> waitedFor;            // answers a caller waits for, not delivered
    QObject* receiver = nullptr;                  // the exchange while it lives
    bool ending = false;
    bool threadEnded = false;
    // The exchange thread's handle to the unit asked last, made and used on that thread only.
    std::unique_ptr<THidReportChannel> channel;
    TUnitAddress channelUnit;

    void Serve(std::shared_ptr<TShared> self);
};

// The exchange thread's loop. It holds the shared state itself, so an exchange that went away
// while a unit kept a request waiting leaves it a valid place to finish in.
void TUnitExchange::TShared::Serve(std::shared_ptr<TShared> self) {
    std::unique_lock guard(lock);
    for (;;) {
        wake.wait(guard, [&] { return ending || !jobs.empty(); });
        if (ending)
            break;
        TJob job = std::move(jobs.front());
        jobs.pop_front();
        running = job.Ticket;
        runningRequest = job.Request;
        guard.unlock();
        const auto dropped = [&] {
            return job.Ticket < dropBelow.load() || job.Ticket == givenUp.load();
        };
        TUnitAnswer answer;
        answer.Request = job.Request;
        answer.Block = job.Block;
        answer.Report = job.Report;
        if (!dropped()) {
            // A handle per unit: one found anew, even on the same node, gets a new one.
            if (!channel || channelUnit != job.Unit) {
                channel = std::make_unique<THidReportChannel>(job.Unit.Path);
                channelUnit = job.Unit;
            }
            // A handle of a node that has gone stays dead, even once a unit is back on that
            // node (on Linux it may be another device): the unit is reached again once its holder
            // takes it anew (TUnitAddress::Taking).
            answer = Run(*channel, job.Request, job.Block, job.Report, dropped);
        }
        guard.lock();
        running = 0;
        if (ending)
            break;
        if (job.Ticket == givenUp.load()) {
            // Its asker has heard that the unit did not answer; the presses that waited go now.
            givenUp.store(0);
            continue;
        }
        answers.emplace(job.Ticket, std::move(answer));
        if (waitedFor.count(job.Ticket) != 0) {
            done.notify_all();
        } else if (receiver != nullptr) {
            // Posted under the lock: the exchange can't go between the test and the post, and
            // a call posted to it is dropped with it.
            TUnitExchange* exchange = static_cast<TUnitExchange*>(receiver);
            const std::uint64_t ticket = job.Ticket;
            QMetaObject::invokeMethod(
                exchange, [exchange, ticket] { exchange->Deliver(ticket); }, Qt::QueuedConnection);
        }
    }
    channel.reset();
    threadEnded = true;
    done.notify_all();
    guard.unlock();
    self.reset();
}

TUnitExchange::TWatchSettings& TUnitExchange::NewWatchSettings() {
    static TWatchSettings settings;
    return settings;
}

TUnitExchange::TUnitExchange(QObject* parent) : QObject(parent) {
    const TWatchSettings& settings = NewWatchSettings();
    Clock = settings.Clock ? settings.Clock : [] { return std::chrono::steady_clock::now(); };
    watch_ = new QTimer(this);
    watch_->setInterval(settings.Interval);
    connect(watch_, &QTimer::timeout, this, &TUnitExchange::CheckDeadline);
    Start();
}

void TUnitExchange::Start() {
    shared_ = std::make_shared<TShared>();
    shared_->receiver = this;
    thread_ = std::thread([shared = shared_]() mutable {
        TShared& state = *shared;
        state.Serve(std::move(shared));
    });
}

void TUnitExchange::CheckDeadline() {
    std::uint64_t running = 0;
    TUnitRequest request = TUnitRequest::Read;
    bool waited = false;
    {
        const std::lock_guard guard(shared_->lock);
        running = shared_->running;
        request = shared_->runningRequest;
        waited = !shared_->waitedFor.empty() || !shared_->jobs.empty();
    }
    if (running != 0 && running == shared_->givenUp.load())
        return; // still at the unit: it stays there until the unit answers or goes
    if (running == 0) {
        seenRunning_ = 0;
        if (waiting_.empty() && !waited)
            watch_->stop();
        return;
    }
    if (running != seenRunning_) {
        seenRunning_ = running;
        seenSince_ = Clock();
        return;
    }
    if (Clock() - seenSince_ >= kNoAnswerAfter)
        GiveUpRunning(running, request);
}

namespace {

TUnitAnswer NotAnswered(TUnitRequest request) {
    TUnitAnswer answer;
    answer.Request = request;
    answer.NoAnswer = true;
    answer.Steps.push_back(
        {"waiting for the unit", ExchangeResult::NoAnswer,
         QStringLiteral("no answer in %1 s").arg(TUnitExchange::kNoAnswerAfter.count() / 1000)});
    return answer;
}

} // namespace

bool TUnitExchange::Stalled() const {
    return shared_->givenUp.load() != 0;
}

// The request stays at the unit, on the one thread, until the unit answers it or goes: nothing
// else is sent to the unit meanwhile. Its asker hears now that the unit did not answer, and so
// does every read asked behind it (by the time it went it would tell nothing); presses wait, each
// replacing the one before, and the last goes once the unit is free.
void TUnitExchange::GiveUpRunning(std::uint64_t ticket, TUnitRequest request) {
    std::vector<std::pair<std::uint64_t, TUnitRequest>> unanswered{{ticket, request}};
    std::set<std::uint64_t> waited;
    {
        const std::lock_guard guard(shared_->lock);
        if (shared_->running != ticket)
            return; // it has just ended
        shared_->givenUp.store(ticket);
        std::erase_if(shared_->jobs, [&](const TShared::TJob& job) {
            if (job.Replacing)
                return false;
            unanswered.emplace_back(job.Ticket, job.Request);
            return true;
        });
        for (const auto& each : unanswered)
            if (shared_->waitedFor.erase(each.first) != 0)
                waited.insert(each.first);
    }
    qCWarning(lcUnit) << "the unit did not answer a request in" << kNoAnswerAfter.count()
                      << "ms; nothing more is sent to it until it answers or goes";
    for (const auto& [each, what] : unanswered) {
        if (waited.count(each) != 0) {
            givenUp_.emplace(each, NotAnswered(what));
            continue;
        }
        HandOver(each, NotAnswered(what));
    }
}

void TUnitExchange::AnswerNotSent(std::uint64_t ticket, TUnitRequest request) {
    givenUp_.emplace(ticket, NotAnswered(request));
    QMetaObject::invokeMethod(
        this,
        [this, ticket] {
            const auto made = givenUp_.find(ticket);
            if (made == givenUp_.end())
                return;
            const TUnitAnswer answer = std::move(made->second);
            givenUp_.erase(made);
            HandOver(ticket, answer);
        },
        Qt::QueuedConnection);
}

TUnitExchange::~TUnitExchange() {
    DropAll();
    std::unique_lock guard(shared_->lock);
    shared_->receiver = nullptr;
    shared_->ending = true;
    shared_->jobs.clear();
    shared_->wake.notify_all();
    if (shared_->done.wait_for(guard, kAbandonAfter, [&] { return shared_->threadEnded; })) {
        guard.unlock();
        thread_.join(); // ended: no thread outlives the exchange
        return;
    }
    thread_.detach();
    // The unit keeps a request waiting: its thread is left to it, with the services it is in.
    Hid::PinServicesForProcess();
    ++abandonedRequests;
    qCWarning(lcUnit) << "a request to the unit was still waiting after" << kAbandonAfter.count()
                      << "ms and was abandoned";
}

int TUnitExchange::AbandonedRequests() {
    return abandonedRequests.load();
}

std::uint64_t TUnitExchange::Enqueue(const TUnitAddress& unit, TUnitRequest request,
                                     const TDataBlock& block, const TReportBuffer& report,
                                     bool replacing) {
    const std::uint64_t ticket = nextTicket_++;
    const std::lock_guard guard(shared_->lock);
    if (replacing) {
        std::erase_if(shared_->jobs, [&](const TShared::TJob& job) {
            if (!job.Replacing)
                return false;
            waiting_.erase(job.Ticket);
            return true;
        });
    }
    shared_->jobs.push_back({ticket, unit, request, block, report, replacing});
    shared_->wake.notify_all();
    if (!watch_->isActive())
        watch_->start();
    return ticket;
}

void TUnitExchange::Ask(const TUnitAddress& unit, TUnitRequest request, const TDataBlock& block,
                        const TReportBuffer& report, TApply apply, bool replacing) {
    // The answer's place is made before the request can be answered.
    const std::uint64_t ticket = nextTicket_;
    waiting_.emplace(ticket, std::move(apply));
    if (!replacing && Stalled()) {
        ++nextTicket_; // not sent: the unit still holds a request given up on
        AnswerNotSent(ticket, request);
        return;
    }
    Enqueue(unit, request, block, report, replacing);
}

TUnitAnswer TUnitExchange::AskAndWait(const TUnitAddress& unit, TUnitRequest request,
                                      const TDataBlock& block, const TReportBuffer& report,
                                      const std::function<bool()>& stop) {
    if (Stalled()) {
        ++nextTicket_; // not sent: the unit still holds a request given up on
        return NotAnswered(request);
    }
    const std::uint64_t ticket = nextTicket_;
    {
        const std::lock_guard guard(shared_->lock);
        shared_->waitedFor.insert(ticket);
    }
    Enqueue(unit, request, block, report, false);
    for (;;) {
        {
            const std::shared_ptr<TShared> shared = shared_;
            std::unique_lock guard(shared->lock);
            if (const auto found = shared->answers.find(ticket); found != shared->answers.end()) {
                TUnitAnswer answer = std::move(found->second);
                shared->answers.erase(found);
                shared->waitedFor.erase(ticket);
                return answer;
            }
            if (shared->threadEnded || (stop && stop()))
                break;
            shared->done.wait_for(guard, std::chrono::milliseconds(20));
        }
        // No event loop runs while a caller waits here: the watch over a long request is looked
        // at from this loop.
        CheckDeadline();
        if (const auto found = givenUp_.find(ticket); found != givenUp_.end()) {
            TUnitAnswer answer = std::move(found->second);
            givenUp_.erase(found);
            return answer;
        }
    }
    // Given up: the answer, should it come, is not kept.
    const std::lock_guard guard(shared_->lock);
    shared_->waitedFor.erase(ticket);
    shared_->dropBelow.store(std::max(shared_->dropBelow.load(), ticket + 1));
    TUnitAnswer abandoned;
    abandoned.Request = request;
    abandoned.Block.fill(0);
    abandoned.Abandoned = true;
    return abandoned;
}

void TUnitExchange::Deliver(std::uint64_t ticket) {
    TUnitAnswer answer;
    {
        const std::lock_guard guard(shared_->lock);
        const auto found = shared_->answers.find(ticket);
        if (found == shared_->answers.end())
            return;
        answer = std::move(found->second);
        shared_->answers.erase(found);
    }
    HandOver(ticket, answer);
}

void TUnitExchange::HandOver(std::uint64_t ticket, const TUnitAnswer& answer) {
    const auto found = waiting_.find(ticket);
    if (found == waiting_.end())
        return; // replaced by a later request
    const TApply apply = std::move(found->second);
    waiting_.erase(found);
    if (ticket < shared_->dropBelow.load() || !apply)
        return; // asked before the caller let go of it
    apply(answer);
}

void TUnitExchange::DropAll() {
    shared_->dropBelow.store(nextTicket_);
}

} // namespace unit
