#include "platform/virtual/VirtualBus.h"

#include "platform/hidraw/WideStrings.h"
#include "platform/virtual/UnitModel.h"
#include "platform/virtual/UnitNodes.h"
#include "platform/virtual/VirtualUnitControl.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace virtualunit {

namespace {

constexpr const char* kProduct = "Tarvenik";
constexpr const char* kManufacturer = "Mirdal-vk";
constexpr uint8_t kFixedTrailer = 0xA5;

// Each unit keeps its serial and its port through unplug and plug, as a real one does.
std::string defaultSerial(int number) {
    return "VU" + std::to_string(1000 + number);
}

std::string locationOf(int number) {
    return "virtual-" + std::to_string(number + 1);
}

struct Unit {
    explicit Unit(uint64_t seed) : model(seed) {}
    UnitModel model;
    std::unique_ptr<UnitNode> node; // none while unplugged
    DWORD devInst = 0;              // of the present node
    std::u16string product;
    std::u16string manufacturer;
    std::optional<std::u16string> serial; // none: the unit has no serial number string
    std::optional<std::array<uint8_t, kBlockSize>> fixedBlock;
    bool failGet = false;
    bool failSet = false;
    bool stalled = false;       // every feature request waits until the stall ends
    bool keepDevInst = false;   // a plug after an unplug gives back the DevInst it had
    uint8_t answerReportId = 0; // the report ID its answers carry (a faulty unit's is not 0)
    uint64_t timeOuts = 0;      // the waits a transfer timeout has ended so far
    std::array<uint8_t, kInputReportSize - 1> lastInput{};

    void restoreDefaults(int number) {
        product = hidmodules::utf8ToUtf16(kProduct);
        serial = hidmodules::utf8ToUtf16(defaultSerial(number));
        manufacturer = hidmodules::utf8ToUtf16(kManufacturer);
        fixedBlock.reset();
        failGet = failSet = false;
        stalled = keepDevInst = false;
        answerReportId = 0;
        lastInput.fill(0);
        model.factoryReset();
    }
};

// CLOCK_MONOTONIC on Linux, as the log entry promises.
long long monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// TARVENIK_VIRTUAL_UNITS=N has units 0 to N-1 plugged in at load, for a demo of several units;
// anything else, one.
int pluggedAtLoad() {
    const char* text = std::getenv("TARVENIK_VIRTUAL_UNITS");
    if (text == nullptr || text[0] < '1' || text[0] > '0' + kUnitCount || text[1] != '\0')
        return 1;
    return text[0] - '0';
}

class Bus {
public:
    Bus()
        : host_(makeNodeHost()), units_{Unit(0x7A2E0001), Unit(0x7A2E0002), Unit(0x7A2E0003),
                                        Unit(0x7A2E0004)} {
        for (int i = 0; i < kUnitCount; ++i)
            unit(i).restoreDefaults(i);
        const int plugged = pluggedAtLoad();
        for (int i = 0; i < plugged; ++i)
            plug(i);
        // As a system announces the devices it found at start.
        if (plugged > 0)
            host_->announceChange();
    }

    ~Bus() {
        // A program that gave up on a stalled request may still have a thread waiting in it: the
        // unplug fails its request, and the bus outlives the thread's way out (bounded, for a
        // thread that cannot get to run).
        std::unique_lock lock(mutex);
        for (int i = 0; i < kUnitCount; ++i)
            unplug(i);
        requestLeft_.wait_for(lock, std::chrono::seconds(1),
                              [this] { return stalledRequests_ == 0; });
    }

    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    std::mutex mutex;

    // A stalled unit keeps a request waiting with the bus free, as long as the stall lasts: a HID
    // stack without a timeout of its own (Windows') neither ends the call nor fails it. The
    // request is answered once the stall ends, fails as unplugged once its unit has gone, and
    // fails as timed out only where a stack with a transfer timeout (Linux's) ends it.
    int waitOutStall(std::unique_lock<std::mutex>& lock, HANDLE handle, int i) {
        const uint64_t timeOuts = unit(i).timeOuts;
        ++stalledRequests_;
        int found = i;
        int error = ERROR_SUCCESS;
        for (;;) {
            stallChanged_.wait(lock);
            error = lookup(handle, true, found);
            if (error != ERROR_SUCCESS || !unit(found).stalled)
                break;
            if (unit(found).timeOuts != timeOuts) {
                error = ERROR_SEM_TIMEOUT;
                break;
            }
        }
        --stalledRequests_;
        requestLeft_.notify_all();
        return error;
    }

    int stalledRequests() const { return stalledRequests_; }

    // Wakes every stalled request to look at its unit again.
    void endStalls() { stallChanged_.notify_all(); }

    static bool validUnit(int unit) { return unit >= 0 && unit < kUnitCount; }
    Unit& unit(int i) { return units_[static_cast<size_t>(i)]; }

    bool plug(int i) {
        Unit& u = unit(i);
        if (u.node)
            return false;
        const DWORD devInst = u.keepDevInst && u.devInst != 0 ? u.devInst : nextDevInst_++;
        u.node = host_->plug(i, devInst);
        if (!u.node)
            return false;
        u.devInst = devInst;
        u.model.powerUp();
        return true;
    }

    bool unplug(int i) {
        Unit& u = unit(i);
        if (!u.node)
            return false;
        retired_.push_back(u.node->key());
        u.node.reset();
        endStalls();
        return true;
    }

    void resetAll() {
        for (int i = 0; i < kUnitCount; ++i) {
            unplug(i);
            unit(i).restoreDefaults(i);
        }
        log_.clear();
        plug(0);
    }

    void notify() { host_->announceChange(); }

    std::vector<InterfaceSnapshot> present() const {
        std::vector<InterfaceSnapshot> list;
        for (const Unit& u : units_)
            if (u.node)
                list.push_back({u.node->path(), u.devInst});
        return list;
    }

    // The unit behind an open handle, or a Windows error.
    int lookup(HANDLE handle, bool needReadWrite, int& found) {
        HandleIdentity identity;
        if (const int error = host_->identify(handle, identity); error != ERROR_SUCCESS)
            return error;
        for (int i = 0; i < kUnitCount; ++i) {
            if (unit(i).node && unit(i).node->key() == identity.key) {
                if (needReadWrite && !identity.readWrite)
                    return ERROR_ACCESS_DENIED;
                found = i;
                return ERROR_SUCCESS;
            }
        }
        if (std::find(retired_.begin(), retired_.end(), identity.key) != retired_.end())
            return ERROR_DEVICE_NOT_CONNECTED;
        return ERROR_INVALID_HANDLE;
    }

    void record(int unitNumber, int direction, const uint8_t* report, size_t length) {
        VirtualUnitLogEntry entry{};
        entry.unit = unitNumber;
        entry.direction = direction;
        entry.length = static_cast<int>(std::min<size_t>(length, INT_MAX));
        std::memcpy(entry.report, report, kReportSize);
        entry.monotonic_ns = monotonicNanoseconds();
        if (log_.size() >= kLogLimit)
            log_.pop_front();
        log_.push_back(entry);
    }

    std::deque<VirtualUnitLogEntry>& log() { return log_; }

private:
    // Declared first: the units' nodes go before their host.
    std::unique_ptr<NodeHost> host_;
    std::array<Unit, kUnitCount> units_;
    DWORD nextDevInst_ = 1;
    std::vector<std::string> retired_;
    std::deque<VirtualUnitLogEntry> log_;
    std::condition_variable stallChanged_;
    std::condition_variable requestLeft_;
    int stalledRequests_ = 0;
};

Bus& bus() {
    static Bus instance;
    return instance;
}

template <typename Action> int withUnit(HANDLE handle, bool needReadWrite, Action&& action) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    int found = -1;
    if (const int error = b.lookup(handle, needReadWrite, found); error != ERROR_SUCCESS)
        return error;
    return action(b, found);
}

// A feature request: checked as any call, then stalled or answered.
template <typename Check, typename Action>
int withAnsweringUnit(HANDLE handle, Check&& check, Action&& action) {
    Bus& b = bus();
    std::unique_lock lock(b.mutex);
    int found = -1;
    if (const int error = b.lookup(handle, true, found); error != ERROR_SUCCESS)
        return error;
    if (const int error = check(b, found); error != ERROR_SUCCESS)
        return error;
    if (b.unit(found).stalled) {
        if (const int error = b.waitOutStall(lock, handle, found); error != ERROR_SUCCESS)
            return error;
    }
    return action(b, found);
}

} // namespace

std::vector<InterfaceSnapshot> presentInterfaces() {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    return b.present();
}

int unitWithDevInst(DWORD devInst) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    for (int i = 0; i < kUnitCount; ++i)
        if (b.unit(i).node && b.unit(i).devInst == devInst)
            return i;
    return -1;
}

std::string unitLocation(int number) {
    return locationOf(number);
}

int checkHandle(HANDLE handle) {
    return withUnit(handle, false, [](Bus&, int) { return ERROR_SUCCESS; });
}

int deviceString(HANDLE handle, StringKind kind, std::u16string& out) {
    return withUnit(handle, false, [&](Bus& b, int i) {
        const Unit& u = b.unit(i);
        switch (kind) {
        case StringKind::Product:
            out = u.product;
            break;
        case StringKind::Manufacturer:
            out = u.manufacturer;
            break;
        case StringKind::Serial:
            if (!u.serial)
                return ERROR_FILE_NOT_FOUND;
            out = *u.serial;
            break;
        case StringKind::Location:
            out = hidmodules::utf8ToUtf16(locationOf(i));
            break;
        }
        return ERROR_SUCCESS;
    });
}

int getFeature(HANDLE handle, uint8_t* buffer, size_t length) {
    if (buffer == nullptr || length < kReportSize)
        return ERROR_INVALID_PARAMETER;
    const auto unnumbered = [&](Bus&, int) {
        // the unit has no numbered reports
        return buffer[0] == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    };
    return withAnsweringUnit(handle, unnumbered, [&](Bus& b, int i) {
        Unit& u = b.unit(i);
        if (u.failGet)
            return ERROR_GEN_FAILURE;
        if (u.fixedBlock) {
            buffer[0] = 0;
            std::copy(u.fixedBlock->begin(), u.fixedBlock->end(), buffer + 1);
            buffer[kReportSize - 1] = kFixedTrailer;
        } else {
            u.model.nextReport(buffer);
        }
        buffer[0] = u.answerReportId;
        b.record(i, 1, buffer, length);
        return ERROR_SUCCESS;
    });
}

int setFeature(HANDLE handle, const uint8_t* buffer, size_t length) {
    if (buffer == nullptr || length < kReportSize)
        return ERROR_INVALID_PARAMETER;
    const auto unnumbered = [&](Bus&, int) {
        return buffer[0] == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    };
    return withAnsweringUnit(handle, unnumbered, [&](Bus& b, int i) {
        Unit& u = b.unit(i);
        if (u.failSet)
            return ERROR_GEN_FAILURE;
        u.model.acceptReport(buffer);
        b.record(i, 0, buffer, length);
        return ERROR_SUCCESS;
    });
}

int flushInput(HANDLE handle) {
    return withUnit(handle, false, [handle](Bus& b, int i) {
        b.unit(i).node->flushInput(handle);
        return ERROR_SUCCESS;
    });
}

int lastInputReport(HANDLE handle, uint8_t* buffer, size_t length) {
    if (buffer == nullptr || length < kInputReportSize)
        return ERROR_INVALID_PARAMETER;
    return withUnit(handle, true, [&](Bus& b, int i) {
        if (buffer[0] != 0)
            return ERROR_INVALID_PARAMETER;
        const auto& last = b.unit(i).lastInput;
        std::copy(last.begin(), last.end(), buffer + 1);
        return ERROR_SUCCESS;
    });
}

} // namespace virtualunit

using virtualunit::Bus;
using virtualunit::bus;

extern "C" {

void VirtualUnit_Reset(void) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    b.resetAll();
    b.endStalls();
    b.notify();
}

int VirtualUnit_Plug(int unit) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit) || !b.plug(unit))
        return -1;
    b.notify();
    return 0;
}

int VirtualUnit_Unplug(int unit) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit) || !b.unplug(unit))
        return -1;
    b.notify();
    return 0;
}

int VirtualUnit_IsPlugged(int unit) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    return Bus::validUnit(unit) && b.unit(unit).node ? 1 : 0;
}

void VirtualUnit_SetStrings(int unit, const char* product_utf8, const char* manufacturer_utf8) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return;
    if (product_utf8)
        b.unit(unit).product = hidmodules::utf8ToUtf16(product_utf8);
    if (manufacturer_utf8)
        b.unit(unit).manufacturer = hidmodules::utf8ToUtf16(manufacturer_utf8);
}

void VirtualUnit_SetSerial(int unit, const char* serial_utf8, int has_serial) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return;
    auto& serial = b.unit(unit).serial;
    if (!has_serial)
        serial.reset();
    else
        serial = hidmodules::utf8ToUtf16(serial_utf8 ? serial_utf8 : "");
}

void VirtualUnit_SetFixedBlock(int unit, const unsigned char* block250) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return;
    auto& fixed = b.unit(unit).fixedBlock;
    if (block250 == nullptr) {
        fixed.reset();
        return;
    }
    fixed.emplace();
    std::copy(block250, block250 + virtualunit::kBlockSize, fixed->begin());
}

void VirtualUnit_SetFailures(int unit, int fail_get, int fail_set) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return;
    b.unit(unit).failGet = fail_get != 0;
    b.unit(unit).failSet = fail_set != 0;
}

void VirtualUnit_SetStall(int unit, int stalled) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return;
    b.unit(unit).stalled = stalled > 0;
    b.endStalls();
}

int VirtualUnit_TimeOutStalled(int unit) {
#ifdef _WIN32
    (void)unit;
    return -1; // HidD_GetFeature and HidD_SetFeature have no timeout to end a wait with
#else
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit))
        return -1;
    ++b.unit(unit).timeOuts;
    b.endStalls();
    return 0;
#endif
}

void VirtualUnit_SetAnswerReportId(int unit, int report_id) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (Bus::validUnit(unit))
        b.unit(unit).answerReportId = static_cast<uint8_t>(report_id);
}

void VirtualUnit_KeepDevInst(int unit, int keep) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (Bus::validUnit(unit))
        b.unit(unit).keepDevInst = keep != 0;
}

int VirtualUnit_StalledRequests(void) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    return b.stalledRequests();
}

int VirtualUnit_QueueInputReport(int unit, const unsigned char* data8) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (!Bus::validUnit(unit) || data8 == nullptr || !b.unit(unit).node)
        return -1;
    std::array<uint8_t, virtualunit::kInputReportSize> report{};
    std::copy(data8, data8 + report.size() - 1, report.begin() + 1);
    if (!b.unit(unit).node->sendInput(report.data(), report.size()))
        return -1;
    std::copy(data8, data8 + report.size() - 1, b.unit(unit).lastInput.begin());
    return 0;
}

int VirtualUnit_LogCount(void) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    return static_cast<int>(b.log().size());
}

int VirtualUnit_LogEntry(int index, VirtualUnitLogEntry* out) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    if (out == nullptr || index < 0 || static_cast<size_t>(index) >= b.log().size())
        return -1;
    *out = b.log()[static_cast<size_t>(index)];
    return 0;
}

void VirtualUnit_ClearLog(void) {
    Bus& b = bus();
    std::lock_guard lock(b.mutex);
    b.log().clear();
}

} // extern "C"
