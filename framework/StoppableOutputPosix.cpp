#include "framework/StoppableOutput.h"

#include "framework/StopSignals.h"

#include <cerrno>
#include <iostream>
#include <string>

namespace framework {

namespace {

// Holds what is written until a flush, then writes it whole or reports the system's error in
// errno (EINTR for a stop signal), as stdio would.
class TDescriptorBuffer : public std::streambuf {
public:
    explicit TDescriptorBuffer(int fd) : fd_(fd) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            pending_.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        pending_.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override {
        if (stopped_) {
            pending_.clear();
            errno = EINTR;
            return -1;
        }
        const int error = WriteUnlessStopped(fd_, pending_.data(), pending_.size());
        pending_.clear();
        if (error == 0)
            return 0;
        stopped_ = error == EINTR;
        errno = error;
        return -1;
    }

private:
    int fd_;
    std::string pending_;
    bool stopped_ = false;
};

} // namespace

TStoppableOutput::TStoppableOutput() : buffer_(std::make_unique<TDescriptorBuffer>(1)) {
    std::cout.flush();
    previous_ = std::cout.rdbuf(buffer_.get());
}

TStoppableOutput::~TStoppableOutput() {
    std::cout.flush();
    std::cout.rdbuf(previous_);
}

} // namespace framework
