#include "cli/UnitSet.h"

#include "cli/CliLogging.h"
#include "hid/HidControllerClass.h"
#include "unit/Exchange.h"
#include "unit/Identity.h"

#include <algorithm>

namespace cli {

TUnitSet::TUnitSet() : controller_(std::make_unique<THidDeviceController>(nullptr)) {
    controller_->SetOnEnumerate(THidEnumerateEvent(this, &TUnitSet::Offer));
    // The controller's own first scan waits for an event loop; the first take does not.
    controller_->DeviceChange();
}

TUnitSet::~TUnitSet() {
    controller_.reset();
    slots_.clear();
}

bool TUnitSet::ServicesLoaded() const {
    return controller_->NotifyWindow() != nullptr;
}

bool TUnitSet::Offer(THidDevice* device, int index) {
    if (!unit::IsTarvenikUnit(*device))
        return true;
    for (const TSlot& slot : slots_)
        if (slot.Device && slot.Device.get() == device)
            return true;
    TUnitEntry entry = EntryOf(*device);
    if (!entry.ReadWrite) {
        qCWarning(lcCli).noquote() << "no read-write access to the unit at"
                                   << QString::fromStdString(entry.Path) << "- it is left out";
        return true;
    }
    offered_.emplace_back(index, std::move(entry));
    return true;
}

void TUnitSet::TakeNew() {
    offered_.clear();
    controller_->EnumerateDevices();
    for (auto& offer : offered_) {
        const auto index = offer.first;
        auto& entry = offer.second; // a plain name: a lambda below refers to it
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
        if (!slot->Device->OpenMainHandle() || !slot->Device->ReadWriteAllowed())
            qCWarning(lcCli).noquote() << "the unit at" << QString::fromStdString(slot->Entry.Path)
                                       << "can't be opened for reading and writing any more";
    }
    offered_.clear();
}

bool TUnitSet::Read(TSlot& slot, TDataBlock& data) {
    if (!slot.Device) {
        data.fill(0);
        return false;
    }
    return unit::ReadBlock(*slot.Device, slot.Report, data);
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

} // namespace cli
