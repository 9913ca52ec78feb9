#pragma once
// Collects, in order, the feature reports the host sets on the gadget's HID
// function. Without an OUT endpoint f_hid keeps only the latest such report
// until /dev/hidgN is read, so a report the program follows quickly with
// another is lost unless something reads at once: a thread blocked on the node,
// at a real-time priority where the system allows it, so it runs as soon as
// the report arrives, ahead of the program that sent it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kerneltest {

class SetReportRecorder {
public:
    SetReportRecorder() = default;
    ~SetReportRecorder();
    SetReportRecorder(const SetReportRecorder&) = delete;
    SetReportRecorder& operator=(const SetReportRecorder&) = delete;

    // Opens the function's node (/dev/hidgN) and starts reading it. False with
    // a reason when the node can't be opened or the thread can't start.
    bool start(const std::string& node, std::string& error);
    // Stops reading and closes the node; reports not yet taken stay.
    void stop();

    // The oldest report not yet taken (its data bytes, as the function
    // received them), waiting at most `timeoutMs` for one; empty when none came.
    std::vector<uint8_t> next(int timeoutMs);

private:
    void run();

    int node_ = -1;
    int wake_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::vector<uint8_t>> reports_;
};

} // namespace kerneltest
