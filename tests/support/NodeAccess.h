#pragma once
// A device node as a user sees it before the udev rule is installed: there, but closed to reading
// and writing. The node's mode goes to 000 for the scope's life; a test run as root also drops,
// for the calling thread, the capabilities that would open such a node all the same. A query-only
// open still works, as it does on a real node.

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class TNodeAccessDenied {
public:
    explicit TNodeAccessDenied(std::string node) : node_(std::move(node)) {
        struct stat status {};
        if (::stat(node_.c_str(), &status) != 0)
            return;
        mode_ = status.st_mode & 07777;
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        capsDropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        valid_ = capsDropped_ && ::chmod(node_.c_str(), 0) == 0;
    }
    ~TNodeAccessDenied() {
        Grant();
        if (capsDropped_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    TNodeAccessDenied(const TNodeAccessDenied&) = delete;
    TNodeAccessDenied& operator=(const TNodeAccessDenied&) = delete;

    // False when the node could not be closed off; the test can't go on then.
    bool Valid() const { return valid_; }
    // Access granted, as the udev rule does once applied.
    void Grant() {
        if (valid_)
            ::chmod(node_.c_str(), mode_);
    }

private:
    std::string node_;
    mode_t mode_ = 0600;
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool capsDropped_ = false;
    bool valid_ = false;
};

} // namespace testsupport
