#include "SetReportRecorder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kerneltest {

SetReportRecorder::~SetReportRecorder() {
    stop();
}

bool SetReportRecorder::start(const std::string& node, std::string& error) {
    stop();
    node_ = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node_ < 0) {
        error = "cannot open " + node + ": " + std::strerror(errno);
        return false;
    }
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (wake_ < 0) {
        error = std::string("cannot make an eventfd: ") + std::strerror(errno);
        stop();
        return false;
    }
    reader_ = std::thread([this] { run(); });
    sched_param priority{};
    priority.sched_priority = 10;
    // Without the right to it the reader runs at normal priority, which is usually in time too.
    pthread_setschedparam(reader_.native_handle(), SCHED_FIFO, &priority);
    return true;
}

void SetReportRecorder::stop() {
    if (reader_.joinable()) {
        // Adding 1 to a fresh eventfd counter can't overflow it, so this write succeeds.
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
        reader_.join();
    }
    for (int* fd : {&node_, &wake_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<uint8_t> SetReportRecorder::next(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !reports_.empty(); }))
        return {};
    std::vector<uint8_t> report = std::move(reports_.front());
    reports_.pop_front();
    return report;
}

void SetReportRecorder::run() {
    std::vector<uint8_t> buffer(4096);
    for (;;) {
        pollfd watch[2] = {{node_, POLLIN, 0}, {wake_, POLLIN, 0}};
        const int ready = ::poll(watch, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || watch[1].revents != 0)
            return;
        if (watch[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return;
        const ssize_t got = ::read(node_, buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0)
            return; // the function went away with its gadget
        {
            std::lock_guard lock(mutex_);
            reports_.emplace_back(buffer.begin(), buffer.begin() + got);
        }
        arrived_.notify_all();
    }
}

} // namespace kerneltest
