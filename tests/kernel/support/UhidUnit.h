#pragma once
// A HID unit made through /dev/uhid whose firmware this program plays: a
// thread answers the kernel's feature-report requests with patterned data and
// records what the kernel sends.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct uhid_event;

namespace kerneltest {

struct UhidIdentity {
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t version = 0;
    std::string name;
    // Tells this unit's sysfs node apart from every other one.
    std::string uniq;
};

struct ReportRequest {
    uint8_t number = 0;
    uint8_t type = 0;          // enum uhid_report_type
    std::vector<uint8_t> data; // what a set request carried
};

class UhidUnit {
public:
    explicit UhidUnit(UhidIdentity identity);
    ~UhidUnit();
    UhidUnit(const UhidUnit&) = delete;
    UhidUnit& operator=(const UhidUnit&) = delete;

    // Creates the device and starts its firmware. False with a reason on failure.
    bool plugIn(std::string& error);
    // Destroys the device; the firmware stops answering.
    void unplug();

    // /dev/hidrawN of this unit once the kernel has made it, or empty after
    // `timeoutMs`.
    std::string waitForHidraw(int timeoutMs) const;
    // The HID device's sysfs name, e.g. 0003:7A5E:0C01.0002.
    std::string sysfsName() const;

    // From now on get requests fail with this errno value (0: answer normally).
    void failGetRequests(int error) { getError_ = error; }
    // From now on get requests are recorded and never answered, so the kernel times them out
    // (false: answer again).
    void ignoreGetRequests(bool ignore) { ignoreGet_ = ignore; }
    // From now on get requests are answered with only the first `bytes` bytes
    // of the report (0: the whole report).
    void shortenGetReplies(size_t bytes) { replyBytes_ = bytes; }

    // The last reply to a get request: report id 0 and 251 data bytes.
    std::vector<uint8_t> lastGetReply() const;
    std::vector<ReportRequest> getRequests() const;
    std::vector<ReportRequest> setRequests() const;

private:
    void runFirmware();
    void answer(const ::uhid_event& request);
    std::string ueventLine() const;

    UhidIdentity identity_;
    int uhid_ = -1;
    int stop_ = -1;
    bool created_ = false;
    std::atomic<int> getError_{0};
    std::atomic<bool> ignoreGet_{false};
    std::atomic<size_t> replyBytes_{0};
    unsigned seed_ = 0;
    mutable std::mutex mutex_;
    std::vector<uint8_t> lastGetReply_;
    std::vector<ReportRequest> getRequests_;
    std::vector<ReportRequest> setRequests_;
    std::thread firmware_;
};

} // namespace kerneltest
