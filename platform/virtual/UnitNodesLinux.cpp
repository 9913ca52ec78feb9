// The units' nodes on Linux: FIFOs in a private temporary folder, opened through the program's
// stand-in file calls, and the node-change notifications (eventfd) that stand in for the
// system's device-change broadcast.

#include "platform/ServiceExports.h"
#include "platform/hidraw/UniqueFd.h"
#include "platform/virtual/UnitNodes.h"
#include "platform/virtual/VirtualBus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

using hidmodules::UniqueFd;

namespace virtualunit {

namespace {

// A program ended by a stop signal runs no destructor: the signal's handler removes the nodes and
// the folder itself, with nothing but unlink and rmdir on paths made ready beforehand, and the
// signal then ends the program as it would have. Installed only over the default action, so a
// program that handles the signal itself (and ends normally, running the destructor) keeps its
// own way. A program that ends at once through quick_exit (it gave up on a request a unit kept
// waiting, and so leaves this module loaded) runs no destructor either: the same removal runs as
// its quick-exit handler.
namespace leftovers {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
char folder[PATH_MAX];
char nodes[kUnitCount][PATH_MAX];
std::atomic<bool> nodeSet[kUnitCount];
std::atomic<bool> folderSet{false};

extern "C" void removeAll() {
    const int saved = errno;
    for (int i = 0; i < kUnitCount; ++i)
        if (nodeSet[i].load())
            unlink(nodes[i]);
    if (folderSet.load())
        rmdir(folder);
    errno = saved;
}

extern "C" void removeOnSignal(int number) {
    removeAll();
    // SA_RESETHAND has put back the default action; raised again, the signal waits until this
    // handler returns and then ends the program as it would have.
    raise(number);
}

void copyPath(char* target, const std::string& path) {
    const size_t length = std::min(path.size(), static_cast<size_t>(PATH_MAX - 1));
    std::memcpy(target, path.data(), length);
    target[length] = '\0';
}

// Before the folder or a node exists, so that no moment is left where one exists unwatched.
void watch() {
    static std::once_flag quickExit;
    std::call_once(quickExit, [] { std::at_quick_exit(removeAll); });
    for (int number : kSignals) {
        struct sigaction previous {};
        if (sigaction(number, nullptr, &previous) != 0 || (previous.sa_flags & SA_SIGINFO) != 0 ||
            previous.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = removeOnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(number, &action, nullptr);
    }
}

// The folder lives under XDG_RUNTIME_DIR where there is one (a logout clears it), else in the
// temporary folder. Made in the handler's own buffer: the name is there the moment it exists.
std::string makeFolder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR", ""}) {
        const char* base = *variable != '\0' ? std::getenv(variable) : "/tmp";
        if (base == nullptr || *base == '\0')
            continue;
        folderSet.store(false);
        copyPath(folder, std::string(base) + "/tarvenik-vu-XXXXXX");
        folderSet.store(true);
        if (mkdtemp(folder) != nullptr)
            return folder;
    }
    folderSet.store(false);
    return {};
}

void unwatch() {
    for (int number : kSignals) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
            current.sa_handler == removeOnSignal)
            std::signal(number, SIG_DFL);
    }
    folderSet.store(false);
}

// Before the node is made.
void nodeMaking(int unit, const std::string& path) {
    nodeSet[unit].store(false);
    copyPath(nodes[unit], path);
    nodeSet[unit].store(true);
}

void nodeGone(int unit) {
    nodeSet[unit].store(false);
}

} // namespace leftovers

void drain(int fd) {
    uint8_t scratch[512];
    while (read(fd, scratch, sizeof scratch) > 0) {
    }
}

std::string identityKey(const struct stat& st) {
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// The node-change notifications, apart from the bus: a notifier is opened and read without it.
struct Notifiers {
    std::mutex mutex;
    std::vector<int> fds;
};

Notifiers& notifiers() {
    static Notifiers instance;
    return instance;
}

// A FIFO, so input reports written into it make the program's handle readable. The unit keeps one
// end open for writing them.
class FifoNode : public UnitNode {
public:
    FifoNode(int unit, std::string path, UniqueFd fd, std::string key)
        : unit_(unit), path_(std::move(path)), fd_(std::move(fd)), key_(std::move(key)) {}

    ~FifoNode() override {
        // Reports still queued die with the node; the unit's own end goes too, so a reader left
        // alone on the node sees it end.
        drain(fd_.get());
        leftovers::nodeGone(unit_);
        unlink(path_.c_str());
    }

    const std::string& path() const override { return path_; }
    const std::string& key() const override { return key_; }

    bool sendInput(const uint8_t* report, size_t length) override {
        // A pipe write this small is atomic: a reader gets whole reports or none.
        return ::write(fd_.get(), report, length) == static_cast<ssize_t>(length);
    }

    // All readers share the one FIFO.
    void flushInput(HANDLE) override { drain(fd_.get()); }

private:
    int unit_;
    std::string path_;
    UniqueFd fd_;
    std::string key_;
};

class FifoHost : public NodeHost {
public:
    FifoHost() : folder_((leftovers::watch(), leftovers::makeFolder())) {}

    ~FifoHost() override {
        if (!folder_.empty())
            rmdir(folder_.c_str());
        leftovers::unwatch();
    }

    std::unique_ptr<UnitNode> plug(int unit, DWORD devInst) override {
        if (folder_.empty())
            return nullptr;
        const std::string path = folder_ + "/hidraw-vu" + std::to_string(devInst);
        leftovers::nodeMaking(unit, path);
        if (mkfifo(path.c_str(), 0600) != 0) {
            leftovers::nodeGone(unit);
            return nullptr;
        }
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd.valid() || fstat(fd.get(), &st) != 0) {
            unlink(path.c_str());
            leftovers::nodeGone(unit);
            return nullptr;
        }
        return std::make_unique<FifoNode>(unit, path, std::move(fd), identityKey(st));
    }

    // A handle is the program's file descriptor; a node, even unlinked, keeps its identity.
    int identify(HANDLE handle, HandleIdentity& out) override {
        const auto value = reinterpret_cast<intptr_t>(handle);
        if (value < 0 || value > INT_MAX)
            return ERROR_INVALID_HANDLE;
        const int fd = static_cast<int>(value);
        struct stat st {};
        if (fstat(fd, &st) != 0)
            return ERROR_INVALID_HANDLE;
        out.key = identityKey(st);
        const int flags = fcntl(fd, F_GETFL);
        out.readWrite = flags >= 0 && (flags & O_PATH) == 0 && (flags & O_ACCMODE) == O_RDWR;
        return ERROR_SUCCESS;
    }

    void announceChange() override {
        Notifiers& n = notifiers();
        std::lock_guard lock(n.mutex);
        const uint64_t one = 1;
        for (int fd : n.fds)
            for (int i = 0; i < kAnnouncementsPerChange; ++i) {
                [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
            }
    }

private:
    std::string folder_;
};

} // namespace

std::unique_ptr<NodeHost> makeNodeHost() {
    return std::make_unique<FifoHost>();
}

} // namespace virtualunit

using hidmodules::UniqueFd;
using virtualunit::notifiers;
using virtualunit::Notifiers;

// The setup module's node-change notifications, in place of the system's broadcast.
extern "C" {

int DevNodeNotifyOpen(void) {
    UniqueFd fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!fd.valid())
        return -1;
    Notifiers& n = notifiers();
    std::lock_guard lock(n.mutex);
    n.fds.push_back(fd.get());
    return fd.release();
}

int DevNodeNotifyRead(int fd) {
    // Under the lock, so a descriptor closed meanwhile cannot be read by number.
    Notifiers& n = notifiers();
    std::lock_guard lock(n.mutex);
    if (std::find(n.fds.begin(), n.fds.end(), fd) == n.fds.end()) {
        errno = ERROR_INVALID_HANDLE;
        return -1;
    }
    uint64_t count = 0;
    const ssize_t read = ::read(fd, &count, sizeof count);
    if (read == sizeof count)
        return static_cast<int>(std::min<uint64_t>(count, INT_MAX));
    if (read < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    errno = ERROR_GEN_FAILURE;
    return -1;
}

void DevNodeNotifyClose(int fd) {
    Notifiers& n = notifiers();
    std::lock_guard lock(n.mutex);
    const auto it = std::find(n.fds.begin(), n.fds.end(), fd);
    if (it == n.fds.end())
        return; // not ours: never close a descriptor someone else owns
    n.fds.erase(it);
    ::close(fd);
}

} // extern "C"
