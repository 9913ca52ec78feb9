#include "unit/Discovery.h"

#include "hid/HidControllerClass.h"
#include "hid/HidLogging.h"
#include "unit/Identity.h"

namespace unit {

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
    if (!entry.ReadWrite)
        entry.AccessReason = hidlog::ErrorText(device.ReadWriteError());
    return entry;
}

TUnitDiscovery::TUnitDiscovery(THidDeviceController& controller) : controller_(controller) {
    controller_.SetOnEnumerate(THidEnumerateEvent(this, &TUnitDiscovery::Offer));
}

bool TUnitDiscovery::Offer(THidDevice* device, int index) {
    if (device == nullptr || (skip_ && skip_(device)) || !IsTarvenikUnit(*device))
        return true;
    found_.push_back({index, EntryOf(*device)});
    return true;
}

std::vector<TUnitDiscovery::TFound>
TUnitDiscovery::Find(const std::function<bool(THidDevice*)>& skip) {
    found_.clear();
    skip_ = skip;
    controller_.EnumerateDevices();
    skip_ = nullptr;
    std::vector<TFound> found;
    found.swap(found_);
    return found;
}

} // namespace unit
