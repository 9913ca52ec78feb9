#include "HidModules.h"

#include "platform/ProgramFolder.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kerneltest {

namespace {

std::string errnoText(const char* what) {
    return std::string(what) + " (errno " + std::to_string(errno) + ")";
}

} // namespace

bool HidModules::loadBesideProgram(std::string& error) {
    const std::string folder = platform::ProgramFolder();
    for (auto [slot, file] :
         {std::pair{&hidLibrary_, "libhidsvc.so"}, std::pair{&setupLibrary_, "libsetupsvc.so"}}) {
        const std::string path = folder + "/" + file;
        *slot = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!*slot) {
            const char* reason = dlerror();
            error = "cannot load " + path + ": " + (reason ? reason : "unknown reason");
            return false;
        }
    }
    std::string missing;
    testsupport::ResolveServices(hidLibrary_, hid_, missing);
    testsupport::ResolveServices(setupLibrary_, setup_, missing);
    if (!missing.empty()) {
        error = "the modules lack the exports " + missing;
        return false;
    }
    return true;
}

HidModules::~HidModules() {
    if (setupLibrary_)
        dlclose(setupLibrary_);
    if (hidLibrary_)
        dlclose(hidLibrary_);
}

std::vector<InterfaceEntry> HidModules::listInterfaces(std::vector<std::string>& faults) const {
    std::vector<InterfaceEntry> entries;
    GUID guid{};
    hid_.HidD_GetHidGuid(&guid);
    errno = 0;
    HDEVINFO set =
        setup_.SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        faults.push_back(errnoText("SetupDiGetClassDevsA failed"));
        return entries;
    }
    constexpr DWORD walkLimit = 1024;
    constexpr size_t pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    for (DWORD index = 0;; ++index) {
        if (index == walkLimit) {
            faults.push_back("the interface walk does not end");
            break;
        }
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        errno = 0;
        if (!setup_.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
            if (errno != ERROR_NO_MORE_ITEMS)
                faults.push_back(errnoText("the interface walk ended without ERROR_NO_MORE_ITEMS"));
            break;
        }
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        DWORD required = 0;
        errno = 0;
        if (setup_.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &info)) {
            faults.push_back("the detail size query succeeded");
            continue;
        }
        if (errno != ERROR_INSUFFICIENT_BUFFER || required <= pathOffset) {
            faults.push_back(errnoText("the detail size query failed oddly") + ", required " +
                             std::to_string(required));
            continue;
        }
        // DWORD storage keeps the record's cbSize aligned.
        std::vector<DWORD> block((required + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        DWORD again = 0;
        errno = 0;
        if (!setup_.SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, &again, &info)) {
            faults.push_back(errnoText("the detail call failed with the size it asked for"));
            continue;
        }
        const size_t room = required - pathOffset;
        const size_t length = strnlen(detail->DevicePath, room);
        if (length == room) {
            faults.push_back("the device path is not NUL-terminated");
            continue;
        }
        entries.push_back({std::string(detail->DevicePath, length), info.DevInst});
    }
    if (!setup_.SetupDiDestroyDeviceInfoList(set))
        faults.push_back(errnoText("SetupDiDestroyDeviceInfoList failed"));
    return entries;
}

DeviceHandle::DeviceHandle(const std::string& path, int flags)
    : fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}

DeviceHandle::~DeviceHandle() {
    if (fd_ >= 0)
        ::close(fd_);
}

DeviceHandle::DeviceHandle(DeviceHandle&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

DeviceHandle& DeviceHandle::operator=(DeviceHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

HANDLE DeviceHandle::get() const {
    return fd_ >= 0 ? reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd_)) : INVALID_HANDLE_VALUE;
}

int waitForNodeChanges(const SetupServices& setup, int fd, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return 0;
        const int changes = setup.DevNodeNotifyRead(fd);
        // A readable descriptor may carry only events of no interest.
        if (changes != 0)
            return changes;
    }
}

void drainNodeChanges(const SetupServices& setup, int fd, int quietMs) {
    for (int round = 0; round < 100; ++round) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, quietMs) <= 0)
            return;
        if (setup.DevNodeNotifyRead(fd) < 0)
            return;
    }
}

std::u16string wideText(const std::vector<uint8_t>& buffer) {
    std::u16string text;
    for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
        const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

} // namespace kerneltest
