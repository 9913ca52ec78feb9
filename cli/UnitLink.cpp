#include "cli/UnitLink.h"

#include "cli/CliLogging.h"
#include "hid/HidControllerClass.h"
#include "unit/Exchange.h"
#include "unit/Identity.h"

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
    case TFailure::Unplugged:
        return QStringLiteral("the unit was unplugged");
    case TFailure::NotKept:
        return QStringLiteral("the unit did not keep the parameters it was given");
    }
    return QString();
}

TUnitLink::TUnitLink(std::string wantedPath)
    : wantedPath_(std::move(wantedPath)),
      controller_(std::make_unique<THidDeviceController>(nullptr)) {
    controller_->SetOnEnumerate(THidEnumerateEvent(this, &TUnitLink::Offer));
    // The controller's own first scan waits for an event loop; a command does not.
    controller_->DeviceChange();
}

TUnitLink::~TUnitLink() {
    controller_.reset();
    device_.reset();
}

bool TUnitLink::Offer(THidDevice* device, int index) {
    if (!unit::IsTarvenikUnit(*device))
        return true;
    TUnitEntry entry;
    entry.Path = device->InterfaceInfo().InterfacePath;
    entry.Manufacturer = device->GetManufacturerText();
    entry.Product = device->GetProductText();
    entry.VendorId = device->HidAttributes().VendorID;
    entry.ProductId = device->HidAttributes().ProductID;
    device->OpenMainHandle(); // the controller closes it again after this offer
    entry.ReadWrite = device->ReadWriteAllowed();
    offered_.emplace_back(index, std::move(entry));
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

int TUnitLink::ChosenIndex(const std::vector<TUnitEntry>& units) const {
    for (int i = static_cast<int>(units.size()) - 1; i >= 0; --i)
        if (wantedPath_.empty() || units[static_cast<std::size_t>(i)].Path == wantedPath_)
            return i;
    return -1;
}

int TUnitLink::ChosenControllerIndex() {
    const std::vector<TUnitEntry> units = Units();
    const int chosen = ChosenIndex(units);
    return chosen < 0 ? -1 : offered_[static_cast<std::size_t>(chosen)].first;
}

bool TUnitLink::ServicesLoaded() const {
    // The notify window exists only while the HID services are there.
    return controller_->NotifyWindow() != nullptr;
}

TFailure TUnitLink::Open() {
    Release();
    if (!ServicesLoaded())
        return TFailure::NoServices;
    const int index = ChosenControllerIndex();
    THidDevice* device = nullptr;
    if (index < 0 || !controller_->CheckOutAt(index, device) || device == nullptr)
        return TFailure::NoUnit;
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
    if (!device_) {
        data.fill(0);
        return false;
    }
    return unit::ReadBlock(*device_, report_, data);
}

bool TUnitLink::Send(const TDataBlock& data) {
    return device_ && unit::SendBlock(*device_, data, report_);
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
    std::this_thread::sleep_for(kRetryPause);
    if (const TFailure failure = Diagnose(); failure != TFailure::NotAnswering)
        throw TUnitFailure{failure, path_};
    qCDebug(lcCli) << what << "failed; trying once more";
    if (!exchange())
        throw TUnitFailure{Diagnose(), path_};
}

} // namespace cli
