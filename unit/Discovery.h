#pragma once
// Finding the units among a controller's devices: the one routine behind a session's choice of
// its unit and the set of every unit. Each device with the unit's strings is offered with what it
// shows of itself, its access included; choosing among them, and what to do with one that can't
// be opened, is the caller's.

#include "unit/Choice.h"

#include <functional>
#include <vector>

class THidDevice;
class THidDeviceController;

namespace unit {

// What a device offered in an enumeration shows of itself. Opens its main handle to learn the
// access; the controller closes it again after the offer.
TUnitEntry EntryOf(THidDevice& device);

class TUnitDiscovery {
public:
    // A unit found: its index in the controller's list, and what it shows.
    struct TFound {
        int Index = -1;
        TUnitEntry Entry;
    };
    // Handles the controller's enumeration from now on; the controller outlives this.
    explicit TUnitDiscovery(THidDeviceController& controller);

    // Every attached unit, in the controller's order, but those `skip` answers true for (units
    // held already), which are not opened to be looked at.
    std::vector<TFound> Find(const std::function<bool(THidDevice*)>& skip = {});
    // The controller's enumeration handler: notes each unit offered (always true).
    bool Offer(THidDevice* device, int index);

private:
    THidDeviceController& controller_;
    std::function<bool(THidDevice*)> skip_;
    std::vector<TFound> found_;
};

} // namespace unit
