#pragma once
// A read-write handle of its own to one HID device interface, for feature reports from a thread
// other than the user-interface thread. It never touches the THidDevice it was made for, so the
// device may be released or unplugged meanwhile: calls through the handle then fail as the HID
// services say (ERROR_DEVICE_NOT_CONNECTED for a vanished interface).
//
// Made on any thread from the interface's path; used by one thread at a time. Opened at the first
// report call and kept open; once open it is never opened again, so a node path that a new device
// takes over later is never reached through it. The HID services must stay loaded while a call
// runs: its user stops calling before the last controller (which loaded them) goes.

#include "platform/win32/WinTypes.h"

#include <string>

class THidReportChannel {
public:
    explicit THidReportChannel(std::string interfacePath);
    ~THidReportChannel();
    THidReportChannel(const THidReportChannel&) = delete;
    THidReportChannel& operator=(const THidReportChannel&) = delete;

    const std::string& InterfacePath() const { return Path_; }

    // One feature report, buf[0] being the report id; false with the thread's last error set.
    bool GetFeatureReport(unsigned char* buf, int len);
    bool SetFeatureReport(unsigned char* buf, int len);

private:
    bool Open();

    std::string Path_;
    HANDLE Handle_ = INVALID_HANDLE_VALUE;
    bool Opened_ = false; // a handle was open once; never opened again
};
