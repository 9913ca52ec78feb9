#include "cli/UnitLink.h"

#include "cli/CliLogging.h"
#include "cli/SystemTexts.h"
#include "framework/SystemAdvice.h"

#include <chrono>
#include <thread>

namespace cli {

namespace {

// How long a failed exchange waits before its one more try: long enough for the system to finish
// taking away a unit being unplugged, so that the look at the devices sees it gone.
constexpr auto kRetryPause = std::chrono::milliseconds(50);

} // namespace

QString FailureText(TFailure failure, const std::string& path) {
    switch (failure) {
    case TFailure::None:
        break;
    case TFailure::NoServices:
        return NoServicesText();
    case TFailure::NoUnit:
        // Without a path asked for, someone may have no unit at all: the demo is named.
        return path.empty() ? QStringLiteral("no Tarvenik unit found (%1 is the same tool "
                                             "beside a virtual unit)")
                                  .arg(framework::DemoPlace(QStringLiteral("tarvenik-cli")))
                            : QStringLiteral("no Tarvenik unit found at %1")
                                  .arg(QString::fromStdString(path));
    case TFailure::NoAccess:
        return NoAccessText(QString::fromStdString(path));
    case TFailure::NotAnswering:
        return QStringLiteral("the unit stopped answering");
    case TFailure::NoAnswer:
        return QStringLiteral("the unit did not answer");
    case TFailure::Unplugged:
        return QStringLiteral("the unit was unplugged");
    case TFailure::NotKept:
        return QStringLiteral("the unit did not keep the parameters it was given");
    }
    return QString();
}

TUnitLink::TUnitLink(TUnitChoice choice) : session_(std::move(choice)) {
    // The controller's own first scan waits for an event loop; a command does not.
    session_.Rescan();
}

TFailure TUnitLink::Open() {
    session_.Release();
    if (!ServicesLoaded())
        return TFailure::NoServices;
    if (session_.Hold()) {
        path_ = session_.Held().Path;
        return TFailure::None;
    }
    if (session_.AccessDenied()) {
        path_ = session_.DeniedPath();
        return TFailure::NoAccess;
    }
    return TFailure::NoUnit;
}

bool TUnitLink::Took(const unit::TUnitAnswer& answer, TDataBlock* data) {
    timedOut_ = answer.NoAnswer;
    if (data != nullptr)
        *data = answer.Block;
    for (const unit::TUnitAnswer::TStep& step : answer.Steps)
        if (step.Result != unit::ExchangeResult::Answered)
            qCDebug(lcCli).noquote() << step.What << "failed:" << step.Reason;
    return answer.Read || (answer.Request == unit::TUnitRequest::Send && !answer.Steps.empty() &&
                           answer.Steps.back().Result == unit::ExchangeResult::Answered);
}

bool TUnitLink::Read(TDataBlock& data) {
    if (!IsOpen()) {
        timedOut_ = false;
        data.fill(0);
        return false;
    }
    return Took(session_.Read(), &data);
}

bool TUnitLink::Command(std::uint8_t command, const unit::TParameterChange& change) {
    if (!IsOpen()) {
        timedOut_ = false;
        return false;
    }
    return Took(session_.Command(command, change), nullptr);
}

TDataBlock TUnitLink::ReadBackOrThrow() {
    TDataBlock data{};
    ExchangeOrThrow([&] { return IsOpen() && Took(session_.ReadBack(), &data); }, "a read-back");
    return data;
}

TFailure TUnitLink::Diagnose() {
    return session_.StillAttached() ? TFailure::NotAnswering : TFailure::Unplugged;
}

void TUnitLink::ReadOrThrow(TDataBlock& data) {
    ExchangeOrThrow([&] { return Read(data); }, "a read");
}

void TUnitLink::CommandOrThrow(std::uint8_t command, const unit::TParameterChange& change) {
    ExchangeOrThrow([&] { return Command(command, change); }, "a command");
}

void TUnitLink::ExchangeOrThrow(const std::function<bool()>& exchange, const char* what) {
    if (exchange())
        return;
    if (timedOut_)
        throw TUnitFailure{TFailure::NoAnswer, path_};
    std::this_thread::sleep_for(kRetryPause);
    if (const TFailure failure = Diagnose(); failure != TFailure::NotAnswering)
        throw TUnitFailure{failure, path_};
    qCDebug(lcCli) << what << "failed; trying once more";
    if (!exchange())
        throw TUnitFailure{timedOut_ ? TFailure::NoAnswer : Diagnose(), path_};
}

} // namespace cli
