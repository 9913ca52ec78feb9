#pragma once
// Reading the kernel's view of HID devices from sysfs and devtmpfs, and
// bounded waiting for the kernel to get there.

#include <functional>
#include <string>

namespace kerneltest {

// Whole text of a file, or empty when it cannot be read.
std::string readText(const std::string& path);

// Writes text to a sysfs or configfs attribute; false with errno set on failure.
bool writeText(const std::string& path, const std::string& text);

// Polls `ready` every few milliseconds for at most `timeoutMs`.
bool waitUntil(int timeoutMs, const std::function<bool()>& ready);

// The /dev/hidrawN node of the HID device whose uevent contains `ueventLine`
// as a whole line, once the node exists; empty while there is none.
std::string hidrawNodeFor(const std::string& ueventLine);

// The sysfs name (bus:vendor:product.instance) of that HID device, or empty.
std::string hidDeviceNameFor(const std::string& ueventLine);

} // namespace kerneltest
