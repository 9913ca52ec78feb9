#pragma once
// Every attached unit at once, for `watch --all`: one HID device controller, each unit held in a
// slot of its own with an exchange thread of its own, so a unit that keeps a request waiting
// holds up no other. A unit that goes away keeps its slot, and comes back into it when a unit
// with the same serial and location is attached again; any other unit gets a new slot.

#include "unit/Block.h"
#include "unit/Choice.h"
#include "unit/Discovery.h"
#include "unit/UnitExchange.h"

#include <functional>
#include <memory>
#include <vector>

class THidDevice;
class THidDeviceController;

namespace unit {

class TUnitSet {
public:
    struct TSlot {
        TUnitEntry Entry;
        std::shared_ptr<THidDevice> Device; // null while the unit is away
        // The slot's own requests; kept while the unit is away, so one still waiting on it is
        // not waited for.
        std::shared_ptr<TUnitExchange> Exchange;
        TReportBuffer Report{};
        // The unit went away and came back before a period noticed: that period owes its gap.
        bool Replugged = false;
        // Counts the units the slot took: each is reached through a handle of its own, though it
        // came back with the node path and DevInst it had.
        std::uint64_t Taking = 0;
    };

    // Loads the HID services; takes nothing yet.
    TUnitSet();
    ~TUnitSet();
    TUnitSet(const TUnitSet&) = delete;
    TUnitSet& operator=(const TUnitSet&) = delete;

    bool ServicesLoaded() const;
    // `changed` runs after each look at the devices present that the system asked for.
    void FollowDevices(std::function<void()> changed);

    // Takes every attached unit not held yet that can be opened for reading and writing.
    void TakeNew();
    std::vector<TSlot>& Slots() { return slots_; }
    // Asks one read of a slot's unit; `apply` gets the answer on this thread. False, and nothing
    // asked, when the slot's unit is away.
    bool AskRead(TSlot& slot, TUnitExchange::TApply apply);
    // Whether a request of the slot's still waits for its answer.
    static bool Busy(const TSlot& slot);
    // Looks at the devices present again: a slot whose unit went away is Present() no more.
    void Rescan();
    // The slot's unit is gone: its device goes back to the controller.
    void Release(TSlot& slot);
    // Whether the slot's unit is held and still attached.
    static bool Present(const TSlot& slot);

private:
    void DeviceChanged(void* sender);

    std::function<void()> devicesChanged_;
    // The slots (their units and exchanges) go before the controller, whose services their
    // threads call; the controller closes a held unit's handles as it goes.
    std::unique_ptr<THidDeviceController> controller_;
    std::unique_ptr<TUnitDiscovery> discovery_;
    std::vector<TSlot> slots_;
};

} // namespace unit
