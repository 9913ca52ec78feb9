#include "platform/hidraw/NodeMonitor.h"

#include "platform/win32/WinTypes.h"

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace hidmodules {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using MonitorPtr = std::unique_ptr<udev_monitor, UdevDeleter>;
using DevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

struct Monitor {
    UdevPtr context;
    MonitorPtr monitor;
};

struct Monitors {
    std::mutex mutex;
    std::map<int, Monitor> open;
};

Monitors& monitors() {
    static Monitors instance;
    return instance;
}

} // namespace

int openNodeMonitor() {
    Monitor m;
    m.context.reset(udev_new());
    if (!m.context)
        return -1;
    m.monitor.reset(udev_monitor_new_from_netlink(m.context.get(), monitorSource()));
    if (!m.monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m.monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m.monitor.get()) < 0)
        return -1;
    const int fd = udev_monitor_get_fd(m.monitor.get());
    if (fd < 0)
        return -1;
    Monitors& all = monitors();
    std::lock_guard lock(all.mutex);
    all.open.emplace(fd, std::move(m));
    return fd;
}

int readNodeMonitor(int fd) {
    Monitors& all = monitors();
    std::lock_guard lock(all.mutex);
    const auto it = all.open.find(fd);
    if (it == all.open.end()) {
        errno = ERROR_INVALID_HANDLE;
        return -1;
    }
    int changes = 0;
    // The socket is non-blocking: receiving stops when nothing is pending.
    while (DevicePtr device{udev_monitor_receive_device(it->second.monitor.get())}) {
        const char* action = udev_device_get_action(device.get());
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
            ++changes;
    }
    return changes;
}

void closeNodeMonitor(int fd) {
    Monitors& all = monitors();
    std::lock_guard lock(all.mutex);
    all.open.erase(fd); // a descriptor not opened here is left alone
}

} // namespace hidmodules
