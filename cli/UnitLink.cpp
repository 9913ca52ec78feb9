#include "cli/UnitLink.h"

#include "cli/CliLogging.h"
#include "hid/HidControllerClass.h"
#include "unit/Exchange.h"
#include "unit/Identity.h"

#include <QStringList>

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
        return QStringLiteral("the HID modules (libsetupsvc.so, libhidsvc.so) cannot be loaded: "
                              "reinstall the program");
    case TFailure::NoUnit:
        // Without a path asked for, someone may have no unit at all: the demo is named.
        return path.empty() ? QStringLiteral("no Tarvenik unit found (tarvenik-cli-demo is the "
                                             "same tool beside a virtual unit)")
                            : QStringLiteral("no Tarvenik unit found at %1")
                                  .arg(QString::fromStdString(path));
    case TFailure::NoAccess:
        return QStringLiteral(
                   "no access to %1: install the udev rule (see tarvenik(1), DEVICE ACCESS)")
            .arg(QString::fromStdString(path));
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

TChosen ChooseUnit(const TUnitChoice& choice, const std::vector<TUnitEntry>& units) {
    std::vector<int> matching;
    for (int i = 0; i < static_cast<int>(units.size()); ++i) {
        const TUnitEntry& unit = units[static_cast<std::size_t>(i)];
        if ((choice.Path.empty() || unit.Path == choice.Path) &&
            (!choice.Serial || unit.Serial == *choice.Serial) &&
            (!choice.Location || unit.Location == *choice.Location))
            matching.push_back(i);
    }
    const bool byIdentity = choice.Serial || choice.Location;
    TChosen chosen;
    if (matching.size() == 1 || (!matching.empty() && !byIdentity)) {
        chosen.Index = matching.back(); // as the window chooses: the last one found
        return chosen;
    }
    QString named;
    if (choice.Serial)
        named = QStringLiteral(" with serial %1").arg(*choice.Serial);
    if (choice.Location)
        named += QStringLiteral(" at location %1").arg(*choice.Location);
    if (matching.empty()) {
        if (byIdentity)
            chosen.Problem = QStringLiteral("no Tarvenik unit%1").arg(named);
        return chosen;
    }
    // Only units that share a serial get here. The advice names what tells them apart: their
    // locations when each has its own, else their device paths.
    QStringList locations;
    QStringList paths;
    for (int i : matching) {
        locations << units[static_cast<std::size_t>(i)].Location;
        paths << QString::fromStdString(units[static_cast<std::size_t>(i)].Path);
    }
    const bool byLocation = !locations.contains(QString()) && locations.removeDuplicates() == 0;
    chosen.Problem =
        QStringLiteral("%1 Tarvenik units%2, at %3: choose one with %4")
            .arg(matching.size())
            .arg(named, (byLocation ? locations : paths).join(QLatin1String(" and ")),
                 byLocation ? QStringLiteral("--location") : QStringLiteral("--device"));
    return chosen;
}

TUnitLink::TUnitLink(std::string wantedPath)
    : TUnitLink(TUnitChoice{std::move(wantedPath), {}, {}}) {}

TUnitLink::TUnitLink(TUnitChoice choice)
    : choice_(std::move(choice)), controller_(std::make_unique<THidDeviceController>(nullptr)) {
    controller_->SetOnEnumerate(THidEnumerateEvent(this, &TUnitLink::Offer));
    // The controller's own first scan waits for an event loop; a command does not.
    controller_->DeviceChange();
}

TUnitLink::~TUnitLink() {
    controller_.reset();
    device_.reset();
}

TUnitEntry EntryOf(THidDevice& device) {
    TUnitEntry entry;
    entry.Path = device.InterfaceInfo().InterfacePath;
    entry.Manufacturer = device.GetManufacturerText();
    entry.Product = device.GetProductText();
    entry.Serial = device.GetSerialNumberText();
    entry.Location = device.GetLocationText();
    entry.VendorId = device.HidAttributes().VendorID;
    entry.ProductId = device.HidAttributes().ProductID;
    device.OpenMainHandle();
    entry.ReadWrite = device.ReadWriteAllowed();
    return entry;
}

bool TUnitLink::Offer(THidDevice* device, int index) {
    if (!unit::IsTarvenikUnit(*device))
        return true;
    offered_.emplace_back(index, EntryOf(*device));
    return true;
}

std::vector<TUnitEntry> TUnitLink::Units() {
    offered_.clear();
    controller_->EnumerateDevices();
    std::vector<TUnitEntry> units;
    for (auto& [index, entry] : offered_)
        units.push_back(entry);
    return units;
}

int TUnitLink::ChosenIndex(const std::vector<TUnitEntry>& units) {
    TChosen chosen = ChooseUnit(choice_, units);
    choiceProblem_ = std::move(chosen.Problem);
    return chosen.Index;
}

bool TUnitLink::ServicesLoaded() const {
    // The notify window exists only while the HID services are there.
    return controller_->NotifyWindow() != nullptr;
}

TFailure TUnitLink::Open() {
    Release();
    if (!ServicesLoaded())
        return TFailure::NoServices;
    const std::vector<TUnitEntry> units = Units();
    const int chosen = ChosenIndex(units);
    const int index = chosen < 0 ? -1 : offered_[static_cast<std::size_t>(chosen)].first;
    THidDevice* device = nullptr;
    if (index < 0 || !controller_->CheckOutAt(index, device) || device == nullptr)
        return TFailure::NoUnit;
    held_ = units[static_cast<std::size_t>(chosen)];
    device_.reset(device);
    path_ = device_->InterfaceInfo().InterfacePath;
    if (!device_->OpenMainHandle() || !device_->ReadWriteAllowed()) {
        Release();
        return TFailure::NoAccess;
    }
    return TFailure::None;
}

void TUnitLink::Release() {
    device_.reset();
}

bool TUnitLink::Read(TDataBlock& data) {
    timedOut_ = false;
    if (!device_) {
        data.fill(0);
        return false;
    }
    const unit::ExchangeResult result = unit::Read(*device_, report_, data);
    timedOut_ = result == unit::ExchangeResult::NoAnswer;
    return result == unit::ExchangeResult::Answered;
}

bool TUnitLink::Send(const TDataBlock& data) {
    timedOut_ = false;
    if (!device_)
        return false;
    const unit::ExchangeResult result = unit::Send(*device_, data, report_);
    timedOut_ = result == unit::ExchangeResult::NoAnswer;
    return result == unit::ExchangeResult::Answered;
}

TFailure TUnitLink::Diagnose() {
    if (!device_)
        return TFailure::Unplugged;
    controller_->DeviceChange();
    return device_->Attached() ? TFailure::NotAnswering : TFailure::Unplugged;
}

void TUnitLink::ReadOrThrow(TDataBlock& data) {
    ExchangeOrThrow([&] { return Read(data); }, "a read");
}

void TUnitLink::SendOrThrow(const TDataBlock& data) {
    ExchangeOrThrow([&] { return Send(data); }, "a send");
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
