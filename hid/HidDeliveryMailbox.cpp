#include "hid/HidDeliveryMailbox.h"

void THidDeliveryMailbox::MarkEnded() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

std::optional<THidDelivery> THidDeliveryMailbox::Take() {
    std::lock_guard lock(mutex_);
    if (!waiting_)
        return std::nullopt;
    ++inService_;
    std::optional<THidDelivery> taken = std::move(waiting_);
    waiting_.reset();
    return taken;
}

void THidDeliveryMailbox::Finish() {
    std::lock_guard lock(mutex_);
    if (inService_ > 0)
        --inService_;
    served_ = true;
    changed_.notify_all();
}

bool THidDeliveryMailbox::WaitForDeliveryOrEnd() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (waiting_)
            return true;
        if (ended_)
            return false;
        if (inService_ > 0 && !served_) {
            served_ = true;
            changed_.notify_all();
        }
        changed_.wait(lock);
    }
}
