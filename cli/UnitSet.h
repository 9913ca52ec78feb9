#pragma once
// Every attached unit at once, for `watch --all`: one HID device controller, each unit held in a
// slot of its own. A unit that goes away keeps its slot, and comes back into it when a unit with
// the same serial and location is attached again; any other unit gets a new slot.

#include "cli/UnitLink.h"
#include "unit/Block.h"

#include <memory>
#include <vector>

class THidDevice;
class THidDeviceController;

namespace cli {

class TUnitSet {
public:
    struct TSlot {
        TUnitEntry Entry;
        std::unique_ptr<THidDevice> Device; // null while the unit is away
        TReportBuffer Report{};
        // The unit went away and came back before a period noticed: that period owes its gap.
        bool Replugged = false;
    };

    // Loads the HID services; takes nothing yet.
    TUnitSet();
    ~TUnitSet();
    TUnitSet(const TUnitSet&) = delete;
    TUnitSet& operator=(const TUnitSet&) = delete;

    THidDeviceController& Controller() { return *controller_; }
    bool ServicesLoaded() const;

    // Takes every attached unit not held yet that can be opened for reading and writing.
    void TakeNew();
    std::vector<TSlot>& Slots() { return slots_; }
    // One read of a slot's unit; false when it did not answer.
    bool Read(TSlot& slot, TDataBlock& data);
    // Looks at the devices present again: a slot whose unit went away is Attached() no more.
    void Rescan();
    // The slot's unit is gone: its device goes back to the controller.
    void Release(TSlot& slot);
    // Whether the slot's unit is held and still attached.
    static bool Present(const TSlot& slot);

private:
    bool Offer(THidDevice* device, int index);

    std::vector<std::pair<int, TUnitEntry>> offered_;
    std::vector<TSlot> slots_;
    // The held units go after the controller, which closes their handles as it goes.
    std::unique_ptr<THidDeviceController> controller_;
};

} // namespace cli
