// The units' nodes on Windows: a named pipe per plugged unit, served by this module inside the
// program's own process, which opens it with the system's CreateFile and reads input reports from
// it with ReadFileEx as from a HID device. Device changes reach the program's top-level windows
// as the system's WM_DEVICECHANGE broadcast does.
//
// Each pipe keeps a few free instances, so that several handles of one unit can be open at once
// (the program holds a query handle, a read handle and its exchange thread's handle); one thread
// waits on a completion port for clients coming and going and replaces every instance taken.

#include "platform/virtual/UnitNodes.h"
#include "platform/virtual/VirtualBus.h"

#include <winternl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace virtualunit {

namespace {

// Free instances kept per unit: more handles than this opened in one burst find the pipe busy,
// which the program takes for a unit it may not open. Each opening is replaced once the serving
// thread sees it; on a busy machine that thread may not run while a burst of short-lived handles
// (a run of tool commands) goes by, and 32 were once seen to run out.
constexpr int kFreeInstances = 128;
// Input reports a handle holds unread before new ones pass it by, as the HID driver's buffer.
constexpr DWORD kQueuedReports = 32;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Set as the process ends: the system has stopped every other thread then, the serving one
// perhaps with the lock held, and the pipes go with the process anyway. The bus's destructor,
// run after this is set, must leave them alone.
std::atomic<bool> processEnding{false};

class PipeNode;

// One server instance of a unit's pipe, and the operations under way on it. Freed only once every
// operation has come back through the completion port.
struct Instance {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    PipeNode* node = nullptr; // null once the unit is unplugged
    OVERLAPPED connect{};
    OVERLAPPED watch{}; // a read that ends when the client closes its handle
    OVERLAPPED write{};
    uint8_t watchByte = 0;
    std::array<uint8_t, kInputReportSize> out{};
    bool writing = false;
    bool closed = false;
    int pending = 0;
};

class PipeHost;

class PipeNode : public UnitNode {
public:
    PipeNode(PipeHost& host, std::string path, std::string key)
        : host_(host), path_(std::move(path)), key_(std::move(key)) {}
    ~PipeNode() override;

    const std::string& path() const override { return path_; }
    const std::string& key() const override { return key_; }
    bool sendInput(const uint8_t* report, size_t length) override;
    void flushInput(HANDLE handle) override;

    PipeHost& host_;
    std::string path_;
    std::string key_;
    std::vector<Instance*> instances; // under the host's lock
};

class PipeHost : public NodeHost {
public:
    PipeHost() {
        port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        if (port_ != nullptr)
            thread_ = std::thread([this] { serve(); });
        // Pinned: the serving thread must never outlive the code it runs, and a module unloaded
        // while the program still holds a unit's handle would leave it served by nothing.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&makeNodeHost), &self);
    }

    // Only at the end of the process (the module is pinned), when the serving thread has already
    // been stopped by the system: nothing is left to join.
    ~PipeHost() override {
        if (thread_.joinable())
            thread_.detach();
    }

    std::unique_ptr<UnitNode> plug(int, DWORD devInst) override {
        if (port_ == nullptr)
            return nullptr;
        // Unique in the system: this process, this plug.
        const std::string name =
            "tarvenik-vu-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(devInst);
        auto node = std::make_unique<PipeNode>(*this, "\\\\.\\pipe\\" + name, lowered("\\" + name));
        std::lock_guard lock(mutex_);
        // A unit put back keeping its DevInst takes its earlier name, which a handle of the
        // earlier node, disconnected, may still hold: the name is ours already.
        const bool first = std::find(named_.begin(), named_.end(), devInst) == named_.end();
        for (int i = 0; i < kFreeInstances; ++i)
            if (!listen(*node, first && i == 0))
                return nullptr;
        if (first)
            named_.push_back(devInst);
        return node;
    }

    int identify(HANDLE handle, HandleIdentity& out) override {
        // The name of the pipe inside the pipe file system: "\tarvenik-vu-...".
        alignas(FILE_NAME_INFO) std::array<unsigned char, sizeof(FILE_NAME_INFO) + 512> buffer{};
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (GetFileType(handle) != FILE_TYPE_PIPE)
            return ERROR_INVALID_HANDLE;
        // A unit put back with its DevInst has its earlier name: a handle of the earlier node is
        // told by its end having been disconnected.
        if (!PeekNamedPipe(handle, nullptr, 0, nullptr, nullptr, nullptr) &&
            (GetLastError() == ERROR_PIPE_NOT_CONNECTED || GetLastError() == ERROR_BROKEN_PIPE))
            return ERROR_DEVICE_NOT_CONNECTED;
        if (!GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                          static_cast<DWORD>(buffer.size()))) {
            // A client end whose server instance is gone has no name any more: its unit was
            // unplugged.
            return GetLastError() == ERROR_PIPE_NOT_CONNECTED ? ERROR_DEVICE_NOT_CONNECTED
                                                              : ERROR_INVALID_HANDLE;
        }
        out.key.clear();
        for (DWORD i = 0; i < info->FileNameLength / sizeof(WCHAR); ++i) {
            const WCHAR c = info->FileName[i];
            if (c > 0x7F)
                return ERROR_INVALID_HANDLE; // not one of ours
            out.key.push_back(static_cast<char>(std::tolower(c)));
        }
        out.readWrite = grantsReadWrite(handle);
        return ERROR_SUCCESS;
    }

    // To the top-level windows of this process only: the units are its own, and the other
    // programs of the session have no business rescanning for them. Posted, so that a plug made
    // on a window's own thread, with the bus locked, reaches the window once that thread is back
    // in its event loop.
    void announceChange() override {
        for (int i = 0; i < kAnnouncementsPerChange; ++i)
            EnumWindows(
                [](HWND window, LPARAM) -> BOOL {
                    DWORD process = 0;
                    GetWindowThreadProcessId(window, &process);
                    if (process == GetCurrentProcessId())
                        PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
                    return TRUE;
                },
                0);
    }

    std::mutex mutex_;

    // Under the lock.
    void closeInstance(Instance& instance) {
        if (instance.closed)
            return;
        instance.closed = true;
        if (instance.node != nullptr) {
            auto& list = instance.node->instances;
            list.erase(std::remove(list.begin(), list.end(), &instance), list.end());
            instance.node = nullptr;
        }
        // The client's pending reads end now, with ERROR_PIPE_NOT_CONNECTED; the server's own
        // operations come back through the port as aborted.
        DisconnectNamedPipe(instance.pipe);
        CloseHandle(instance.pipe);
        release(instance);
    }

    enum class Delivery { Taken, Full, NoClient };

    // Under the lock: a write of one report to the client of an instance, unless the last one is
    // still waiting for room (the client reads no more; the report passes it by). Tried also
    // where the connection has not come back through the port yet: a handle the program has
    // just opened gets what is sent after its CreateFile.
    Delivery write(Instance& instance, const uint8_t* report, size_t length) {
        if (instance.writing)
            return Delivery::Full;
        if (length > instance.out.size())
            return Delivery::NoClient;
        std::copy(report, report + length, instance.out.begin());
        instance.write = OVERLAPPED{};
        if (WriteFile(instance.pipe, instance.out.data(), static_cast<DWORD>(length), nullptr,
                      &instance.write))
            return Delivery::Taken; // in the client's queue; no completion follows
        switch (GetLastError()) {
        case ERROR_IO_PENDING: // the queue is full: the write goes on once the client reads
            instance.writing = true;
            ++instance.pending;
            return Delivery::Taken;
        case ERROR_PIPE_LISTENING: // free, no client yet
            return Delivery::NoClient;
        default: // the client has closed its handle
            closeInstance(instance);
            return Delivery::NoClient;
        }
    }

private:
    static bool grantsReadWrite(HANDLE handle) {
        PUBLIC_OBJECT_BASIC_INFORMATION basic{};
        ULONG length = 0;
        if (!NT_SUCCESS(
                NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, &length)))
            return false;
        const ACCESS_MASK both = FILE_READ_DATA | FILE_WRITE_DATA;
        return (basic.GrantedAccess & both) == both;
    }

    // Under the lock: one more free instance of the node's pipe, waiting for a client.
    bool listen(PipeNode& node, bool first) {
        const std::wstring name(node.path().begin(), node.path().end());
        auto owned = std::make_unique<Instance>();
        Instance& instance = *owned;
        instance.pipe = CreateNamedPipeW(
            name.c_str(),
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, kQueuedReports * kInputReportSize, 0, 0, nullptr);
        if (instance.pipe == INVALID_HANDLE_VALUE)
            return false;
        // An operation done at once is taken up here and posts no completion: a write into a
        // queue with room is over before the next report is sent.
        if (CreateIoCompletionPort(instance.pipe, port_, reinterpret_cast<ULONG_PTR>(&instance),
                                   0) == nullptr ||
            !SetFileCompletionNotificationModes(instance.pipe,
                                                FILE_SKIP_COMPLETION_PORT_ON_SUCCESS)) {
            CloseHandle(instance.pipe);
            return false;
        }
        instance.node = &node;
        node.instances.push_back(&instance);
        instances_.push_back(std::move(owned));
        if (ConnectNamedPipe(instance.pipe, &instance.connect) ||
            GetLastError() == ERROR_PIPE_CONNECTED) {
            connected(instance); // a client came first
        } else if (GetLastError() == ERROR_IO_PENDING) {
            ++instance.pending;
        } else if (GetLastError() == ERROR_NO_DATA) {
            // A client came and went already: the instance is spent, another takes its place.
            closeInstance(instance);
            return listen(node, false);
        } else {
            closeInstance(instance);
            return false;
        }
        return true;
    }

    // Under the lock.
    void connected(Instance& instance) {
        if (instance.node != nullptr)
            listen(*instance.node, false);
        // Last: a client gone already has the instance closed and freed here.
        watch(instance);
    }

    // Under the lock. Clients never write: the read ends when the client closes its handle.
    void watch(Instance& instance) {
        for (;;) {
            instance.watch = OVERLAPPED{};
            if (ReadFile(instance.pipe, &instance.watchByte, 1, nullptr, &instance.watch))
                continue; // a byte the client wrote after all: of no interest
            if (GetLastError() == ERROR_IO_PENDING)
                break;
            closeInstance(instance);
            return;
        }
        ++instance.pending;
    }

    // Under the lock.
    void release(Instance& instance) {
        if (!instance.closed || instance.pending > 0)
            return;
        instances_.remove_if([&](const auto& owned) { return owned.get() == &instance; });
    }

    void completed(Instance& instance, OVERLAPPED* operation, bool ok) {
        std::lock_guard lock(mutex_);
        --instance.pending;
        if (instance.closed) {
            release(instance);
            return;
        }
        if (operation == &instance.connect) {
            if (ok) {
                connected(instance);
            } else {
                // A client that came and went before this was seen: a free instance is still
                // owed to the unit.
                PipeNode* node = instance.node;
                closeInstance(instance);
                if (node != nullptr)
                    listen(*node, false);
            }
        } else if (operation == &instance.watch) {
            if (ok)
                watch(instance);
            else
                closeInstance(instance); // the client has gone
        } else if (operation == &instance.write) {
            instance.writing = false;
            if (!ok)
                closeInstance(instance);
        }
    }

    void serve() {
        for (;;) {
            DWORD count = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* operation = nullptr;
            const bool ok = GetQueuedCompletionStatus(port_, &count, &key, &operation, INFINITE);
            if (operation == nullptr) {
                if (!ok && GetLastError() != ERROR_ABANDONED_WAIT_0)
                    continue;
                return;
            }
            completed(*reinterpret_cast<Instance*>(key), operation, ok);
        }
    }

    HANDLE port_ = nullptr;
    std::thread thread_;
    std::list<std::unique_ptr<Instance>> instances_; // under the lock
    std::vector<DWORD> named_;                       // the DevInsts whose pipes were made
};

PipeNode::~PipeNode() {
    if (processEnding.load())
        return;
    std::lock_guard lock(host_.mutex_);
    // Closing takes each instance off the list.
    while (!instances.empty())
        host_.closeInstance(*instances.back());
}

bool PipeNode::sendInput(const uint8_t* report, size_t length) {
    std::lock_guard lock(host_.mutex_);
    bool anyClient = false;
    bool taken = false;
    // A copy: a client found gone is taken off the list on the way.
    const std::vector<Instance*> current = instances;
    for (Instance* instance : current) {
        const PipeHost::Delivery delivery = host_.write(*instance, report, length);
        anyClient = anyClient || delivery != PipeHost::Delivery::NoClient;
        taken = taken || delivery == PipeHost::Delivery::Taken;
    }
    return taken || !anyClient;
}

// The handle is the program's client end, in this same process: what it has not read yet is read
// away here.
void PipeNode::flushInput(HANDLE handle) {
    std::array<uint8_t, 512> scratch{};
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return;
        OVERLAPPED read{};
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (read.hEvent == nullptr)
            return;
        DWORD count = 0;
        const DWORD wanted = std::min<DWORD>(available, static_cast<DWORD>(scratch.size()));
        const bool done =
            (ReadFile(handle, scratch.data(), wanted, nullptr, &read) ||
             GetLastError() == ERROR_IO_PENDING || GetLastError() == ERROR_MORE_DATA) &&
            (GetOverlappedResult(handle, &read, &count, TRUE) || GetLastError() == ERROR_MORE_DATA);
        CloseHandle(read.hEvent);
        if (!done)
            return;
    }
}

} // namespace

std::unique_ptr<NodeHost> makeNodeHost() {
    return std::make_unique<PipeHost>();
}

} // namespace virtualunit

// Called before the module's static destructors, on both load and unload.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
        virtualunit::processEnding.store(true);
    return TRUE;
}
