// The setup module's side of the link to the HID module beside it (see HidBusCalls).

#include "platform/virtual/VirtualBus.h"

extern "C" __declspec(dllexport) const virtualunit::HidBusCalls* VirtualBus_HidCalls(void) {
    static constexpr virtualunit::HidBusCalls calls{
        &virtualunit::checkHandle, &virtualunit::deviceString, &virtualunit::getFeature,
        &virtualunit::setFeature,  &virtualunit::flushInput,   &virtualunit::lastInputReport};
    return &calls;
}
