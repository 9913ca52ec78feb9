#include "framework/StopSignals.h"

#include "framework/FrameworkLogging.h"

#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace framework {

namespace {

// The pipe's write end, for the handler; -1 while no TStopSignals lives. Its read end, for a
// write that waits on its reader.
std::atomic<int> gStopFd{-1};
std::atomic<int> gStopReadFd{-1};
std::atomic<bool> gStopCame{false};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free load");
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free store");

// SIGHUP too: a closed terminal ends a watch as Ctrl-C does, after the record in hand.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction gPrevious[kSignalCount];

extern "C" void OnStopSignal(int signal) {
    // Only async-signal-safe calls: a load, write(2), errno kept.
    const int saved = errno;
    const int fd = gStopFd.load();
    if (fd >= 0) {
        gStopCame.store(true);
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(fd, &number, 1);
    }
    errno = saved;
}

} // namespace

TStopSignals::TStopSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcFramework) << "no pipe for the stop signals:" << std::strerror(errno);
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    int expected = -1;
    if (!gStopFd.compare_exchange_strong(expected, writeFd_)) {
        qCWarning(lcFramework) << "the stop signals are already being watched";
        return;
    }
    gStopCame.store(false);
    gStopReadFd.store(readFd_);
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TStopSignals::Readable);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &gPrevious[i]);
    installed_ = true;
}

TStopSignals::~TStopSignals() {
    if (installed_) {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &gPrevious[i], nullptr);
        gStopFd.store(-1);
        gStopReadFd.store(-1);
        gStopCame.store(false);
    }
    notifier_.reset();
    if (readFd_ >= 0)
        ::close(readFd_);
    if (writeFd_ >= 0)
        ::close(writeFd_);
}

bool TStopSignals::Came() {
    return gStopCame.load();
}

int WriteUnlessStopped(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const int stopFd = gStopReadFd.load();
        // Once a stop has come (its byte may already be taken from the pipe), only what the
        // output takes at once is still written.
        const bool came = stopFd >= 0 && gStopCame.load();
        pollfd waits[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        if (::poll(waits, stopFd >= 0 && !came ? 2 : 1, came ? 0 : -1) < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (waits[0].revents == 0) {
            if (came || (waits[1].revents & POLLIN) != 0)
                return EINTR;
            continue;
        }
        // A pipe that says it can be written has room for PIPE_BUF bytes at least: a piece that
        // size goes in without waiting again.
        const ssize_t n = ::write(fd, bytes, std::min<std::size_t>(size, PIPE_BUF));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

void TStopSignals::Readable() {
    unsigned char number = 0;
    int last = 0;
    while (::read(readFd_, &number, 1) == 1)
        last = number;
    if (last != 0)
        emit Stop(last);
}

} // namespace framework
