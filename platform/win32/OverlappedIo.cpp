// Overlapped reads, their completion in alertable waits, cancellation, and
// CloseHandle, which has to cancel the reads on the descriptor it closes.
//
// Every started read is listed in one registry together with the thread
// that started it. Reading from a descriptor and closing it both happen under
// the registry's lock, and a read marked done is never read again, so a
// descriptor number that close() frees and open() reuses is never read on
// behalf of the old handle.

#include "platform/win32/FileIo.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Internal carries the Win32 code of a failed read as an NTSTATUS of the
// Win32 facility, so STATUS_PENDING can't be mistaken for an error code.
constexpr ULONG_PTR kWin32StatusBase = 0xC0070000u;

ULONG_PTR statusFromError(DWORD error) {
    return error == ERROR_SUCCESS ? 0 : (kWin32StatusBase | (error & 0xFFFFu));
}

DWORD errorFromStatus(ULONG_PTR status) {
    return status == 0 ? ERROR_SUCCESS : static_cast<DWORD>(status & 0xFFFFu);
}

class ThreadWaker;

struct PendingRead {
    int fd;
    unsigned char* buffer;
    DWORD length;
    LPOVERLAPPED overlapped;
    LPOVERLAPPED_COMPLETION_ROUTINE routine;
    const ThreadWaker* owner;
    bool done = false;
    DWORD error = ERROR_SUCCESS;
    DWORD bytes = 0;
};

struct Registry {
    std::mutex mutex;
    std::list<PendingRead> reads;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// Call with the registry locked.
void complete(PendingRead& read, DWORD error, DWORD bytes) {
    read.done = true;
    read.error = error;
    read.bytes = bytes;
    read.overlapped->Internal = statusFromError(error);
    read.overlapped->InternalHigh = bytes;
}

// One per thread that starts reads: an eventfd that CloseHandle in another
// thread signals, so a wait on a cancelled read ends at once.
class ThreadWaker {
public:
    ThreadWaker() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~ThreadWaker() {
        // Reads still pending when their thread ends die with it; their
        // OVERLAPPED records may be gone already, so they are not written.
        {
            std::lock_guard lock(registry().mutex);
            auto& reads = registry().reads;
            for (auto it = reads.begin(); it != reads.end();)
                it = it->owner == this ? reads.erase(it) : std::next(it);
        }
        if (fd_ >= 0)
            ::close(fd_);
    }
    ThreadWaker(const ThreadWaker&) = delete;
    ThreadWaker& operator=(const ThreadWaker&) = delete;

    int fd() const { return fd_; }
    void wake() const {
        const uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd_, &one, sizeof one);
    }
    void drain() const {
        uint64_t count;
        [[maybe_unused]] auto got = ::read(fd_, &count, sizeof count);
    }

private:
    int fd_;
};

ThreadWaker& thisThreadWaker() {
    thread_local ThreadWaker waker;
    return waker;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

int remainingMilliseconds(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX));
}

} // namespace

BOOL ReadFileEx(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                LPOVERLAPPED lpOverlapped, LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    const int fd = win32::DescriptorOf(hFile);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (lpBuffer == nullptr || lpOverlapped == nullptr || lpCompletionRoutine == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    // A HID read takes one whole report; an empty buffer can hold none, and
    // a zero-byte read would complete at once, over and over.
    if (nNumberOfBytesToRead == 0)
        return fail(ERROR_INVALID_USER_BUFFER);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return fail(ERROR_INVALID_HANDLE);
    if ((flags & O_PATH) == O_PATH || (flags & O_ACCMODE) == O_WRONLY)
        return fail(ERROR_ACCESS_DENIED);
    if ((flags & O_NONBLOCK) == 0)
        return fail(ERROR_INVALID_PARAMETER); // not opened with FILE_FLAG_OVERLAPPED

    // A node whose other end is gone can't start a read.
    pollfd probe{fd, POLLIN, 0};
    if (::poll(&probe, 1, 0) > 0) {
        if (probe.revents & POLLNVAL)
            return fail(ERROR_INVALID_HANDLE);
        if ((probe.revents & (POLLHUP | POLLERR)) && !(probe.revents & POLLIN))
            return fail(ERROR_DEVICE_NOT_CONNECTED);
    }

    const ThreadWaker& waker = thisThreadWaker();
    if (waker.fd() < 0)
        return fail(ERROR_NOT_ENOUGH_MEMORY);

    std::lock_guard lock(registry().mutex);
    lpOverlapped->Internal = STATUS_PENDING;
    lpOverlapped->InternalHigh = 0;
    registry().reads.push_back(PendingRead{fd, static_cast<unsigned char*>(lpBuffer),
                                           nNumberOfBytesToRead, lpOverlapped, lpCompletionRoutine,
                                           &waker});
    return TRUE;
}

DWORD SleepEx(DWORD dwMilliseconds, BOOL bAlertable) {
    using Clock = std::chrono::steady_clock;
    const bool forever = dwMilliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : dwMilliseconds);
    auto plainSleep = [&] {
        if (forever) {
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(24));
        }
        std::this_thread::sleep_until(deadline);
        return DWORD{0};
    };
    if (!bAlertable)
        return plainSleep();

    const ThreadWaker& me = thisThreadWaker();
    auto& reg = registry();
    // A read whose data is there can complete even when no time is left, so
    // the descriptors are polled at least once.
    bool polledOnce = false;
    for (;;) {
        std::vector<PendingRead> finished;
        std::vector<pollfd> fds;
        std::vector<std::list<PendingRead>::iterator> polled;
        {
            std::lock_guard lock(reg.mutex);
            for (auto it = reg.reads.begin(); it != reg.reads.end();) {
                if (it->owner != &me) {
                    ++it;
                } else if (it->done) {
                    finished.push_back(*it);
                    it = reg.reads.erase(it);
                } else {
                    fds.push_back(pollfd{it->fd, POLLIN, 0});
                    polled.push_back(it++);
                }
            }
        }
        if (!finished.empty()) {
            for (const PendingRead& read : finished)
                read.routine(read.error, read.bytes, read.overlapped);
            return WAIT_IO_COMPLETION;
        }
        if (fds.empty())
            return plainSleep(); // nothing of this thread can complete
        const int timeout = forever ? -1 : remainingMilliseconds(deadline);
        if (!forever && timeout == 0 && polledOnce)
            return 0;
        polledOnce = true;

        fds.push_back(pollfd{me.fd(), POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR)
            return plainSleep();
        if (fds.back().revents & POLLIN)
            me.drain();

        // Entries of this thread are erased only by this thread, so the
        // iterators taken above are still valid.
        std::lock_guard lock(reg.mutex);
        for (std::size_t i = 0; i < polled.size(); ++i) {
            PendingRead& read = *polled[i];
            const short events = fds[i].revents;
            if (read.done || events == 0)
                continue;
            if (events & POLLNVAL) {
                complete(read, ERROR_INVALID_HANDLE, 0);
            } else if (events & POLLIN) {
                const ssize_t n = ::read(read.fd, read.buffer, read.length);
                if (n > 0)
                    complete(read, ERROR_SUCCESS, static_cast<DWORD>(n));
                else if (n == 0)
                    complete(read, ERROR_HANDLE_EOF, 0);
                else if (errno != EAGAIN && errno != EINTR)
                    complete(read, win32::ErrorFromErrno(errno), 0);
            } else if (events & (POLLHUP | POLLERR)) {
                complete(read, ERROR_DEVICE_NOT_CONNECTED, 0);
            }
        }
    }
}

BOOL GetOverlappedResult(HANDLE /*hFile*/, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL /*bWait*/) {
    if (lpOverlapped == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    ULONG_PTR status;
    ULONG_PTR bytes;
    {
        std::lock_guard lock(registry().mutex);
        status = lpOverlapped->Internal;
        bytes = lpOverlapped->InternalHigh;
    }
    if (status == STATUS_PENDING) {
        if (lpNumberOfBytesTransferred)
            *lpNumberOfBytesTransferred = 0;
        return fail(ERROR_IO_INCOMPLETE);
    }
    if (lpNumberOfBytesTransferred)
        *lpNumberOfBytesTransferred = static_cast<DWORD>(bytes);
    if (status != 0)
        return fail(errorFromStatus(status));
    return TRUE;
}

BOOL CancelIo(HANDLE hFile) {
    const int fd = win32::DescriptorOf(hFile);
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0)
        return fail(ERROR_INVALID_HANDLE);
    const ThreadWaker& me = thisThreadWaker();
    std::lock_guard lock(registry().mutex);
    for (PendingRead& read : registry().reads)
        if (read.owner == &me && read.fd == fd && !read.done)
            complete(read, ERROR_OPERATION_ABORTED, 0);
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    const int fd = win32::DescriptorOf(hObject);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    int result;
    int closeErrno;
    {
        std::lock_guard lock(registry().mutex);
        for (PendingRead& read : registry().reads) {
            if (read.fd == fd && !read.done) {
                complete(read, ERROR_OPERATION_ABORTED, 0);
                read.owner->wake();
            }
        }
        result = ::close(fd);
        closeErrno = errno;
    }
    // After EINTR the descriptor is gone all the same on Linux.
    if (result < 0 && closeErrno != EINTR)
        return fail(win32::ErrorFromErrno(closeErrno));
    return TRUE;
}
