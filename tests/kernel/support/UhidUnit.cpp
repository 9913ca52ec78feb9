#include "UhidUnit.h"

#include "Sysfs.h"
#include "UnitReport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kerneltest {

namespace {

bool send(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

void copyText(uint8_t* target, size_t room, const std::string& text) {
    std::snprintf(reinterpret_cast<char*>(target), room, "%s", text.c_str());
}

} // namespace

UhidUnit::UhidUnit(UhidIdentity identity) : identity_(std::move(identity)) {}

UhidUnit::~UhidUnit() {
    unplug();
    if (firmware_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(stop_, &one, sizeof one);
        firmware_.join();
    }
    if (stop_ >= 0)
        ::close(stop_);
    if (uhid_ >= 0)
        ::close(uhid_);
}

bool UhidUnit::plugIn(std::string& error) {
    uhid_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    if (uhid_ < 0 || stop_ < 0) {
        error = std::string("cannot open /dev/uhid: ") + std::strerror(errno);
        return false;
    }
    uhid_event create{};
    create.type = UHID_CREATE2;
    auto& request = create.u.create2;
    copyText(request.name, sizeof request.name, identity_.name);
    copyText(request.phys, sizeof request.phys, "tarvenik-kernel-test");
    copyText(request.uniq, sizeof request.uniq, identity_.uniq);
    const auto& descriptor = unitReportDescriptor();
    request.rd_size = static_cast<uint16_t>(descriptor.size());
    std::memcpy(request.rd_data, descriptor.data(), descriptor.size());
    request.bus = 0x03; // USB, like the real unit
    request.vendor = identity_.vendor;
    request.product = identity_.product;
    request.version = identity_.version;
    if (!send(uhid_, create)) {
        error = std::string("UHID_CREATE2 failed: ") + std::strerror(errno);
        return false;
    }
    created_ = true;
    firmware_ = std::thread([this] { runFirmware(); });
    return true;
}

void UhidUnit::unplug() {
    if (!created_)
        return;
    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    send(uhid_, destroy);
    created_ = false;
}

std::string UhidUnit::ueventLine() const {
    return "HID_UNIQ=" + identity_.uniq;
}

std::string UhidUnit::waitForHidraw(int timeoutMs) const {
    std::string node;
    waitUntil(timeoutMs, [&] {
        node = hidrawNodeFor(ueventLine());
        return !node.empty();
    });
    return node;
}

std::string UhidUnit::sysfsName() const {
    return hidDeviceNameFor(ueventLine());
}

std::vector<uint8_t> UhidUnit::lastGetReply() const {
    std::lock_guard lock(mutex_);
    return lastGetReply_;
}

std::vector<ReportRequest> UhidUnit::getRequests() const {
    std::lock_guard lock(mutex_);
    return getRequests_;
}

std::vector<ReportRequest> UhidUnit::setRequests() const {
    std::lock_guard lock(mutex_);
    return setRequests_;
}

void UhidUnit::runFirmware() {
    for (;;) {
        pollfd watch[2] = {{uhid_, POLLIN, 0}, {stop_, POLLIN, 0}};
        if (::poll(watch, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watch[1].revents)
            return;
        if (watch[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return;
        uhid_event event{};
        if (::read(uhid_, &event, sizeof event) <= 0)
            continue;
        answer(event);
    }
}

void UhidUnit::answer(const uhid_event& request) {
    uhid_event reply{};
    if (request.type == UHID_GET_REPORT) {
        const auto& get = request.u.get_report;
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = get.id;
        std::lock_guard lock(mutex_);
        getRequests_.push_back({get.rnum, get.rtype, {}});
        if (ignoreGet_.load())
            return;
        if (const int error = getError_.load()) {
            reply.u.get_report_reply.err = static_cast<uint16_t>(error);
        } else {
            // The reply starts with the report id, as a USB unit's does.
            lastGetReply_ = patternedReport(++seed_);
            if (const size_t bytes = replyBytes_.load(); bytes != 0 && bytes < lastGetReply_.size())
                lastGetReply_.resize(bytes);
            reply.u.get_report_reply.size = static_cast<uint16_t>(lastGetReply_.size());
            std::memcpy(reply.u.get_report_reply.data, lastGetReply_.data(), lastGetReply_.size());
        }
        send(uhid_, reply);
    } else if (request.type == UHID_SET_REPORT) {
        const auto& set = request.u.set_report;
        const size_t size = std::min<size_t>(set.size, sizeof set.data);
        {
            std::lock_guard lock(mutex_);
            setRequests_.push_back(
                {set.rnum, set.rtype, std::vector<uint8_t>(set.data, set.data + size)});
        }
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = set.id;
        send(uhid_, reply);
    }
}

} // namespace kerneltest
