// THidDeviceController: services, the device list, rescans, events.

#include "hid/HidControllerClass.h"

#include "hid/Hid.h"
#include "hid/HidLogging.h"
#include "hid/HidNotifyWindow.h"
#include "hid/SetupApi.h"
#include "platform/win32/FileIo.h"

#include <QPointer>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// The HID device-interface class, for when the HID services can't tell it.
constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// A device path runs to a few hundred bytes; a larger size from the setup
// services is not believed.
constexpr DWORD kMaxDetailSize = 64 * 1024;

// Runs `call`, which fires a handler that may give back (destroy) `device`;
// answers whether the device is still there afterwards. Nothing of a device
// is touched after a handler unless this said so.
template <typename Call> bool Survives(THidDevice* device, Call&& call) {
    const QPointer<THidDevice> alive(device);
    call();
    return !alive.isNull();
}

// InCallback for the duration of one controller event about a device. The
// handler may destroy the device; the flag is then left alone.
class TCallbackScope {
public:
    TCallbackScope(const QPointer<THidDevice>& device, std::atomic<bool>& flag)
        : device_(device), flag_(flag), previous_(flag.exchange(true)) {}
    ~TCallbackScope() {
        if (device_)
            flag_ = previous_;
    }
    TCallbackScope(const TCallbackScope&) = delete;
    TCallbackScope& operator=(const TCallbackScope&) = delete;

private:
    const QPointer<THidDevice>& device_;
    std::atomic<bool>& flag_;
    bool previous_;
};

// One controller event about a device (OnArrival, OnRemoval, OnEnumerate):
// the device may be opened meanwhile. Answers as Survives does.
template <typename Call>
bool CallAbout(THidDevice* device, std::atomic<bool>& inCallback, Call&& call) {
    const QPointer<THidDevice> alive(device);
    {
        TCallbackScope scope(alive, inCallback);
        call();
    }
    return !alive.isNull();
}

class TDeviceInfoList {
public:
    explicit TDeviceInfoList(HDEVINFO set) : set_(set) {}
    ~TDeviceInfoList() {
        if (SetupApi::SetupDiDestroyDeviceInfoList != nullptr)
            SetupApi::SetupDiDestroyDeviceInfoList(set_);
    }
    TDeviceInfoList(const TDeviceInfoList&) = delete;
    TDeviceInfoList& operator=(const TDeviceInfoList&) = delete;
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

} // namespace

THidDeviceController::THidDeviceController(QObject* owner) : QObject(owner) {
    SetupAcquired_ = SetupApi::AcquireSetupApi();
    if (SetupAcquired_)
        HidAcquired_ = Hid::AcquireHidApi();
    if (HidAcquired_ && Hid::HidApiAvailable()) {
        Hid::HidD_GetHidGuid(&HidInterfaceGuid_);
        NotifyWindow_ = std::make_unique<THidNotifyWindow>(
            TWindowProc(this, &THidDeviceController::NotificationHandler));
        NotifyWindow_->PostMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, -1);
    } else {
        HidInterfaceGuid_ = kHidInterfaceClass;
    }
}

THidDeviceController::~THidDeviceController() {
    Destroying_ = true;
    OnDeviceChange_ = TNotifyEvent();
    OnDeviceUnplug_ = THidPlugEvent();
    OnEnumerate_ = THidEnumerateEvent();
    NotifyWindow_.reset();

    // An unplug handler fired below may release any device its holder has.
    const std::vector<QPointer<THidDevice>> devices = Snapshot();
    Devices_.clear();
    for (const QPointer<THidDevice>& device : devices) {
        if (!device)
            continue;
        device->Controller_ = nullptr;
        if (device->CheckedOut_) {
            // Stays with its holder, closed and unattached. The HID services
            // leave with this controller, so the preparsed data goes back
            // now: the device can't be opened to need it again.
            THidDevice* orphan = device.data();
            if (Survives(orphan, [orphan] { orphan->HandleUnplug(); }))
                orphan->FreePreparsedData();
        } else {
            std::unique_ptr<THidDevice> owned(device.data());
        }
    }

    // Only what this controller acquired is released.
    if (SetupAcquired_)
        SetupApi::ReleaseSetupApi();
    if (HidAcquired_)
        Hid::ReleaseHidApi();
}

THidDevice* THidDeviceController::CreateDevice(const THidPnPInfo& info) {
    std::unique_ptr<THidDevice> device(new THidDevice(info, this));
    device->setParent(this);
    return device.release();
}

THidDevice* THidDeviceController::DeviceAt(int Idx) const {
    if (Idx < 0 || Idx >= DeviceCount())
        return nullptr;
    return Devices_[static_cast<size_t>(Idx)];
}

int THidDeviceController::IndexOf(const THidDevice* device) const {
    const auto it = std::find(Devices_.begin(), Devices_.end(), device);
    return it == Devices_.end() ? -1 : static_cast<int>(it - Devices_.begin());
}

std::vector<QPointer<THidDevice>> THidDeviceController::Snapshot() const {
    return {Devices_.begin(), Devices_.end()};
}

LRESULT THidDeviceController::NotificationHandler(UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!Destroying_ && Msg == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED &&
        !RescanRunning_) {
        LastChangeParam_ = static_cast<int32_t>(lParam);
        RescanRunning_ = true;
        struct Reset {
            bool& Flag;
            ~Reset() { Flag = false; }
        } reset{RescanRunning_};
        DeviceChange();
    }
    return DefWindowProcA(NotifyWindow_.get(), Msg, wParam, lParam);
}

void THidDeviceController::ScanOneInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                                            TFreshList& fresh) {
    SP_DEVINFO_DATA devinfo{};
    devinfo.cbSize = sizeof devinfo;
    DWORD required = 0;
    SetupApi::SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &devinfo);
    if (required == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    if (required <= pathOffset || required > kMaxDetailSize)
        return;

    std::vector<char> block(required, 0);
    const DWORD cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    std::memcpy(block.data(), &cbSize, sizeof cbSize);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
    if (!SetupApi::SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, &required,
                                                    &devinfo))
        return;

    const char* path = block.data() + pathOffset;
    THidPnPInfo info;
    info.InstanceHandle = devinfo.DevInst;
    info.InterfacePath.assign(path, strnlen(path, block.size() - pathOffset));
    try {
        fresh.emplace_back(CreateDevice(info));
    } catch (const EControllerError& error) {
        // Can't be opened or identified: skipped, and tried again next scan. Said once per
        // interface, not at every rescan.
        const DWORD reason = GetLastError();
        if (std::find(ReportedFailures_.begin(), ReportedFailures_.end(), info.InterfacePath) ==
            ReportedFailures_.end()) {
            ReportedFailures_.push_back(info.InterfacePath);
            qCWarning(lcHid).noquote() << info.InterfacePath.c_str() << ":" << error.Message()
                                       << "-" << hidlog::ErrorText(reason);
        }
    } catch (const std::exception& error) {
        qCWarning(lcHid) << info.InterfacePath.c_str() << ": skipped:" << error.what();
    } catch (...) {
        qCWarning(lcHid) << info.InterfacePath.c_str() << ": skipped after an unknown error";
    }
}

THidDeviceController::TFreshList THidDeviceController::ScanInterfaces() {
    TFreshList fresh;
    if (!Hid::HidApiAvailable() || SetupApi::SetupDiGetClassDevsA == nullptr ||
        SetupApi::SetupDiEnumDeviceInterfaces == nullptr ||
        SetupApi::SetupDiGetDeviceInterfaceDetailA == nullptr)
        return fresh;
    HDEVINFO set = SetupApi::SetupDiGetClassDevsA(&HidInterfaceGuid_, nullptr, nullptr,
                                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return fresh;
    TDeviceInfoList list(set);
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupApi::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &HidInterfaceGuid_, i,
                                                   &data))
            break;
        ScanOneInterface(list.get(), data, fresh);
    }
    return fresh;
}

void THidDeviceController::DeviceChange() {
    bool changed = LastChangeParam_ == -1;
    TFreshList fresh = ScanInterfaces();
    auto inFresh = [&fresh](uint32_t instance) {
        return std::any_of(fresh.begin(), fresh.end(), [instance](const auto& device) {
            return device && device->InterfaceInfo_.InstanceHandle == instance;
        });
    };

    // Removal, from the end of the list towards the start.
    for (int i = DeviceCount() - 1; i >= 0; --i) {
        if (i >= DeviceCount())
            continue; // a handler released devices meanwhile
        THidDevice* device = Devices_[static_cast<size_t>(i)];
        if (device->Attached_ && inFresh(device->InterfaceInfo_.InstanceHandle))
            continue;
        changed = true;
        // The device's own unplug handler fires inside HandleUnplug.
        if (!Survives(device, [device] { device->HandleUnplug(); }))
            continue;
        if (!CallAbout(device, device->InCallback_, [&] { OnRemoval_(device); }) ||
            device->CheckedOut_)
            continue;
        // Checked in, so the controller's own: its destruction takes its slot (TakeBack).
        std::unique_ptr<THidDevice> discarded(device);
    }

    // Devices already listed: the fresh object is not needed.
    for (auto& candidate : fresh) {
        const uint32_t instance = candidate->InterfaceInfo_.InstanceHandle;
        const bool known = std::any_of(Devices_.begin(), Devices_.end(), [instance](auto* device) {
            return device->Attached_ && device->InterfaceInfo_.InstanceHandle == instance;
        });
        if (known) {
            candidate->Controller_ = nullptr;
            candidate.reset();
        }
    }

    // Arrivals, in scan order.
    for (auto& candidate : fresh) {
        if (!candidate)
            continue;
        THidDevice* device = candidate.release();
        Devices_.push_back(device);
        changed = true;
        CallAbout(device, device->InCallback_, [&] { OnArrival_(device); });
    }

    if (changed)
        OnDeviceChange_(this);
}

int THidDeviceController::CheckedInCount() const {
    return static_cast<int>(
        std::count_if(Devices_.begin(), Devices_.end(),
                      [](const THidDevice* device) { return !device->CheckedOut_; }));
}

int THidDeviceController::CheckedOutCount() const {
    return static_cast<int>(
        std::count_if(Devices_.begin(), Devices_.end(), [](const THidDevice* device) {
            return device->CheckedOut_ && device->Attached_;
        }));
}

int THidDeviceController::UnpluggedCount() const {
    return static_cast<int>(
        std::count_if(Devices_.begin(), Devices_.end(),
                      [](const THidDevice* device) { return !device->Attached_; }));
}

int THidDeviceController::EnumerateDevices() {
    int offered = 0;
    const int count = DeviceCount();
    for (int Idx = 0; Idx < count && Idx < DeviceCount(); ++Idx) {
        THidDevice* device = Devices_[static_cast<size_t>(Idx)];
        if (!device->Attached_)
            continue;
        ++offered;
        if (!OnEnumerate_)
            break;
        bool goOn = false;
        const bool alive =
            CallAbout(device, device->InCallback_, [&] { goOn = OnEnumerate_(device, Idx); });
        if (alive && !device->CheckedOut_) {
            device->CloseMainHandle();
            device->CloseReadHandle();
        }
        if (!goOn)
            break;
    }
    return offered;
}

bool THidDeviceController::CheckOutAt(int Idx, THidDevice*& HidDev) {
    HidDev = nullptr;
    THidDevice* device = DeviceAt(Idx);
    if (device == nullptr || device->CheckedOut_)
        return false;
    device->setParent(nullptr); // the holder owns it now
    HidDev = device;
    device->CheckedOut_ = true;
    device->StartReadThread();
    return true;
}

void THidDeviceController::TakeBack(TTakeBackKey, THidDevice* device,
                                    const THidDataEvent& dataHandler,
                                    const THidPlugEvent& unplugHandler) {
    const int index = IndexOf(device);
    if (index < 0)
        return;
    if (!device->Attached_) {
        Devices_.erase(Devices_.begin() + index);
        return;
    }
    // Still present: it comes back as a checked-in twin. If the twin can't be
    // built, the slot goes: the list must never keep a destroyed object.
    try {
        THidDevice* twin = CreateDevice(device->InterfaceInfo_);
        twin->SetDataHandler(dataHandler);
        twin->UnplugHandler_ = unplugHandler;
        twin->SetReadSleepTime(device->ReadSleepTime_);
        Devices_[static_cast<size_t>(index)] = twin;
    } catch (const EControllerError& error) {
        const DWORD reason = GetLastError();
        Devices_.erase(Devices_.begin() + index);
        qCWarning(lcHid).noquote() << device->InterfaceInfo_.InterfacePath.c_str()
                                   << ": given back, but can't be listed again:" << error.Message()
                                   << "-" << hidlog::ErrorText(reason);
    } catch (...) {
        Devices_.erase(Devices_.begin() + index);
        qCWarning(lcHid) << device->InterfaceInfo_.InterfacePath.c_str()
                         << ": given back, but can't be listed again";
    }
}

void THidDeviceController::SetDevThreadSleepTime(int value) {
    if (value == DevThreadSleepTime_)
        return;
    for (THidDevice* device : Devices_)
        if (device->ReadSleepTime() == DevThreadSleepTime_)
            device->SetReadSleepTime(value);
    DevThreadSleepTime_ = value;
}

void THidDeviceController::SetVersion(const QString& /*value*/) {
    // The version is the code's own; a write is accepted and changes nothing.
}

void THidDeviceController::SetOnDeviceChange(const TNotifyEvent& handler) {
    if (handler == OnDeviceChange_)
        return;
    OnDeviceChange_ = handler;
    DeviceChange();
}

void THidDeviceController::SetOnDeviceData(const THidDataEvent& handler) {
    if (handler == OnDeviceData_)
        return;
    const THidDataEvent previous = OnDeviceData_;
    // Stopping a thread serves its deliveries, whose handlers may release
    // devices: walk a snapshot that notices them going.
    for (const QPointer<THidDevice>& device : Snapshot())
        if (device && device->DataHandler_ == previous)
            device->SetDataHandler(handler);
    OnDeviceData_ = handler;
}

void THidDeviceController::SetOnDeviceDataError(const THidDataErrorEvent& handler) {
    if (handler == OnDeviceDataError_)
        return;
    for (THidDevice* device : Devices_)
        if (device->DataErrorHandler_ == OnDeviceDataError_)
            device->DataErrorHandler_ = handler;
    OnDeviceDataError_ = handler;
}

void THidDeviceController::SetOnDeviceUnplug(const THidPlugEvent& handler) {
    if (handler == OnDeviceUnplug_)
        return;
    for (THidDevice* device : Devices_)
        if (device->UnplugHandler_ == OnDeviceUnplug_)
            device->UnplugHandler_ = handler;
    OnDeviceUnplug_ = handler;
}
