#pragma once
// The hand-over of one report or error from a device's read thread to the
// user-interface thread. The read thread puts a delivery in and blocks until
// the user-interface thread has served it; the user-interface thread serves
// it from a queued call, or from StopReadThread while it waits for the
// thread to end.
//
// Shared by the thread and every pending serve, so a serve whose device or
// thread went away meanwhile still finds a valid (and empty) mailbox.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

struct THidDelivery {
    bool IsError = false;
    uint8_t ReportID = 0;
    std::vector<uint8_t> Data; // the bytes after the report id
    uint32_t Error = 0;
};

class THidDeliveryMailbox {
public:
    // Read thread: puts the delivery in, calls requestService, and waits
    // until it is served or the waiter lets it go.
    template <typename Request> void Deliver(THidDelivery delivery, Request requestService) {
        {
            std::lock_guard lock(mutex_);
            waiting_ = std::move(delivery);
            served_ = false;
        }
        changed_.notify_all(); // a StopReadThread may be waiting for it
        requestService();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return served_; });
    }
    // Read thread: it has ended (last thing it does).
    void MarkEnded();

    // User-interface thread: takes the waiting delivery, if any.
    std::optional<THidDelivery> Take();
    // User-interface thread: the delivery taken has been handled.
    void Finish();

    // User-interface thread, while stopping the thread: blocks until a
    // delivery waits (true) or the thread has ended (false). A delivery that
    // is being handled further up this thread's stack can't finish while we
    // wait here, so its thread is let go at once.
    bool WaitForDeliveryOrEnd();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<THidDelivery> waiting_;
    int inService_ = 0; // deliveries being handled, nested ones included
    bool served_ = true;
    bool ended_ = false;
};
