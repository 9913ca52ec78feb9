#pragma once
// Node-change notification for the setup module: a udev monitor on the
// hidraw subsystem whose socket is the descriptor the program watches.

#include <unistd.h>

namespace hidmodules {

// "udev" when udevd runs (its events come once the rules, and so the access
// rights, are applied), else "kernel".
inline const char* monitorSource(const char* udevControlPath = "/run/udev/control") {
    return access(udevControlPath, F_OK) == 0 ? "udev" : "kernel";
}

int openNodeMonitor();
// Hidraw nodes added or removed since the last call; -1 for a descriptor not
// opened here.
int readNodeMonitor(int fd);
void closeNodeMonitor(int fd);

} // namespace hidmodules
