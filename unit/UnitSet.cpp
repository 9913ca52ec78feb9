#include "unit/UnitSet.h"

#include "hid/HidControllerClass.h"
#include "unit/UnitLogging.h"

#include <algorithm>

namespace unit {

TUnitSet::TUnitSet()
    : controller_(std::make_unique<THidDeviceController>(nullptr)),
      discovery_(std::make_unique<TUnitDiscovery>(*controller_)) {
    // The controller's own first scan waits for an event loop; the first take does not.
    controller_->DeviceChange();
}

TUnitSet::~TUnitSet() {
    devicesChanged_ = nullptr;
    controller_->SetOnDeviceChange(TNotifyEvent());
    // Requests first (a waiting one is abandoned), while the services they call are there; then
    // the controller, which closes the held units' handles; then the units.
    for (TSlot& slot : slots_)
        slot.Exchange.reset();
    discovery_.reset();
    controller_.reset();
    slots_.clear();
}

bool TUnitSet::ServicesLoaded() const {
    return controller_->NotifyWindow() != nullptr;
}

void TUnitSet::FollowDevices(std::function<void()> changed) {
    devicesChanged_ = std::move(changed);
    controller_->SetOnDeviceChange(devicesChanged_ ? TNotifyEvent(this, &TUnitSet::DeviceChanged)
                                                   : TNotifyEvent());
}

void TUnitSet::DeviceChanged(void*) {
    if (devicesChanged_)
        devicesChanged_();
}

void TUnitSet::TakeNew() {
    const auto held = [this](THidDevice* device) {
        return std::any_of(slots_.begin(), slots_.end(),
                           [device](const TSlot& slot) { return slot.Device.get() == device; });
    };
    for (TUnitDiscovery::TFound& found : discovery_->Find(held)) {
        const int index = found.Index;
        TUnitEntry& entry = found.Entry; // a plain name: a lambda below refers to it
        if (!entry.ReadWrite) {
            qCWarning(lcUnit).noquote() << "no read-write access to the unit at"
                                        << QString::fromStdString(entry.Path) << "- it is left out";
            continue;
        }
        THidDevice* device = nullptr;
        if (!controller_->CheckOutAt(index, device) || device == nullptr)
            continue;
        const auto same = [&](const TSlot& slot) {
            return !Present(slot) && slot.Entry.Serial == entry.Serial &&
                   slot.Entry.Location == entry.Location;
        };
        auto slot = std::find_if(slots_.begin(), slots_.end(), same);
        if (slot == slots_.end())
            slot = slots_.insert(slots_.end(), TSlot{});
        else if (slot->Device)
            slot->Replugged = true;
        slot->Entry = std::move(entry);
        slot->Device.reset(device);
        ++slot->Taking;
        // A request still waiting on the unit as it was, or still held by it, is left to its own
        // thread: the unit taken anew is not kept silent by it.
        if (!slot->Exchange || Busy(*slot) || slot->Exchange->Stalled())
            slot->Exchange = std::make_shared<TUnitExchange>();
        if (!slot->Device->OpenMainHandle() || !slot->Device->ReadWriteAllowed())
            qCWarning(lcUnit).noquote() << "the unit at" << QString::fromStdString(slot->Entry.Path)
                                        << "can't be opened for reading and writing any more";
    }
}

bool TUnitSet::AskRead(TSlot& slot, TUnitExchange::TApply apply) {
    if (!slot.Device || !slot.Exchange)
        return false;
    const THidPnPInfo& info = slot.Device->InterfaceInfo();
    const TUnitAddress unit{info.InterfacePath, info.InstanceHandle, slot.Taking};
    // The answer finds its slot again by its exchange, which outlives neither.
    TUnitExchange* exchange = slot.Exchange.get();
    slot.Exchange->Ask(unit, TUnitRequest::Read, TDataBlock{}, slot.Report,
                       [this, exchange, apply = std::move(apply)](const TUnitAnswer& answer) {
                           for (TSlot& each : slots_)
                               if (each.Exchange.get() == exchange)
                                   each.Report = answer.Report;
                           if (apply)
                               apply(answer);
                       });
    return true;
}

bool TUnitSet::Busy(const TSlot& slot) {
    return slot.Exchange && slot.Exchange->Busy();
}

void TUnitSet::Rescan() {
    controller_->DeviceChange();
}

void TUnitSet::Release(TSlot& slot) {
    slot.Device.reset();
}

bool TUnitSet::Present(const TSlot& slot) {
    return slot.Device && slot.Device->Attached();
}

} // namespace unit
