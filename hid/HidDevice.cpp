// THidDevice: handles, identification, texts, reports, overlapped reads.

#include "hid/HidControllerClass.h"

#include "hid/DeviceLocation.h"
#include "hid/Hid.h"
#include "hid/HidDeliveryMailbox.h"
#include "platform/win32/FileIo.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kMinReadSleepTime = 10;
constexpr int kMaxReadSleepTime = 10000;
constexpr int kTextCharacters = 254;

HANDLE openInterface(const std::string& path, DWORD access, DWORD flags) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

void closeIfOpen(HANDLE& handle) {
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

} // namespace

THidDevice::THidDevice(const THidPnPInfo& info, THidDeviceController* controller)
    : Controller_(controller), InterfaceInfo_(info) {
    if (Controller_ != nullptr) {
        SetDataHandler(Controller_->OnDeviceData());
        UnplugHandler_ = Controller_->OnDeviceUnplug();
    }
    OpenMainHandleUnchecked();
    if (MainHandle_ == INVALID_HANDLE_VALUE)
        throw EControllerError(QStringLiteral("Device cannot be opened"));
    HidAttributes_.Size = sizeof(HIDD_ATTRIBUTES);
    if (Hid::HidD_GetAttributes == nullptr ||
        !Hid::HidD_GetAttributes(MainHandle_, &HidAttributes_)) {
        CloseMainHandle();
        throw EControllerError(QStringLiteral("Device cannot be identified"));
    }
    CloseMainHandle();
}

THidDevice::~THidDevice() {
    const THidDataEvent dataHandler = DataHandler_;
    const THidPlugEvent unplugHandler = UnplugHandler_;
    // Cleared before the thread stops: a delivery still waiting is dropped,
    // as no handler may see a device its holder has already given back.
    DataHandler_ = THidDataEvent();
    DataErrorHandler_ = THidDataErrorEvent();
    StopReadThread();
    UnplugHandler_ = THidPlugEvent();
    CloseMainHandle();
    CloseReadHandle();
    FreePreparsedData();

    if (Controller_ != nullptr)
        Controller_->TakeBack({}, this, dataHandler, unplugHandler);
}

void THidDevice::FreePreparsedData() {
    if (PHIDP_PREPARSED_DATA data = PreparsedData_.exchange(nullptr))
        if (Hid::HidD_FreePreparsedData != nullptr)
            Hid::HidD_FreePreparsedData(data);
}

HANDLE THidDevice::ReadHandle() const {
    std::lock_guard lock(ReadMutex_);
    return ReadHandle_;
}

void THidDevice::OpenMainHandleUnchecked() {
    MainHandle_ = openInterface(InterfaceInfo_.InterfacePath, GENERIC_READ | GENERIC_WRITE, 0);
    ReadWriteAllowed_ = MainHandle_ != INVALID_HANDLE_VALUE;
    ReadWriteError_ = ReadWriteAllowed_ ? ERROR_SUCCESS : GetLastError();
    if (!ReadWriteAllowed_) // query only: enough for attributes and strings
        MainHandle_ = openInterface(InterfaceInfo_.InterfacePath, 0, 0);
}

bool THidDevice::OpenMainHandle() {
    if (!MayOpen())
        return MainHandle_ != INVALID_HANDLE_VALUE;
    if (MainHandle_ == INVALID_HANDLE_VALUE) {
        OpenMainHandleUnchecked();
    } else if (!ReadWriteAllowed_) {
        // Access may have been granted since the query-only open (a udev rule applied while the
        // unit stayed plugged in): ask again rather than keep a handle that can't exchange.
        const HANDLE readWrite =
            openInterface(InterfaceInfo_.InterfacePath, GENERIC_READ | GENERIC_WRITE, 0);
        if (readWrite != INVALID_HANDLE_VALUE) {
            CloseMainHandle();
            MainHandle_ = readWrite;
            ReadWriteAllowed_ = true;
            ReadWriteError_ = ERROR_SUCCESS;
        } else {
            ReadWriteError_ = GetLastError();
        }
    }
    return MainHandle_ != INVALID_HANDLE_VALUE;
}

void THidDevice::CloseMainHandle() {
    closeIfOpen(MainHandle_);
}

bool THidDevice::OpenReadHandle() {
    // Tested under the lock that CloseReadHandle takes: once HandleUnplug has
    // closed the handle, the read thread can't open the node again.
    std::lock_guard lock(ReadMutex_);
    if (!MayOpen())
        return false;
    if (ReadHandle_ == INVALID_HANDLE_VALUE)
        ReadHandle_ =
            openInterface(InterfaceInfo_.InterfacePath, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    return ReadHandle_ != INVALID_HANDLE_VALUE;
}

void THidDevice::CloseReadHandle() {
    std::lock_guard lock(ReadMutex_);
    closeIfOpen(ReadHandle_);
}

bool THidDevice::CancelPendingRead() {
    std::lock_guard lock(ReadMutex_);
    if (ReadHandle_ == INVALID_HANDLE_VALUE)
        return false;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return false;
    using TCancelIo = BOOL(WINAPI*)(HANDLE);
    // Through void (*)(), the type a function pointer is cast through to any other.
    const auto cancelIo = reinterpret_cast<TCancelIo>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "CancelIo")));
    if (cancelIo == nullptr)
        return false;
    return cancelIo(ReadHandle_) != 0;
}

QString THidDevice::FetchText(QString& cache, BOOLEAN(WINAPI* fetch)(HANDLE, PVOID, ULONG)) {
    if (cache.isEmpty() && OpenMainHandle()) {
        std::array<char16_t, kTextCharacters> buffer{};
        if (fetch != nullptr &&
            fetch(MainHandle_, buffer.data(), static_cast<ULONG>(sizeof buffer)) != 0) {
            const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
            cache = QString::fromUtf16(buffer.data(), end - buffer.begin());
        }
        CloseMainHandle();
    }
    return cache;
}

QString THidDevice::GetManufacturerText() {
    return FetchText(ManufacturerText_, Hid::HidD_GetManufacturerString);
}

QString THidDevice::GetProductText() {
    return FetchText(ProductText_, Hid::HidD_GetProductString);
}

QString THidDevice::GetSerialNumberText() {
    return FetchText(SerialNumberText_, Hid::HidD_GetSerialNumberString);
}

QString THidDevice::GetLocationText() {
    if (LocationText_.isEmpty() && OpenMainHandle()) {
        LocationText_ = hidlocation::DeviceLocation(MainHandle_, InterfaceInfo_.InstanceHandle);
        CloseMainHandle();
    }
    return LocationText_;
}

PHIDP_PREPARSED_DATA THidDevice::EnsurePreparsedData() {
    if (PreparsedData_ == nullptr && OpenMainHandle()) {
        PHIDP_PREPARSED_DATA data = nullptr;
        if (Hid::HidD_GetPreparsedData != nullptr && Hid::HidD_GetPreparsedData(MainHandle_, &data))
            PreparsedData_ = data;
        CloseMainHandle();
    }
    return PreparsedData_;
}

void THidDevice::QueryCapabilities(HIDP_CAPS& caps) {
    std::memset(&caps, 0, sizeof caps);
    PHIDP_PREPARSED_DATA data = EnsurePreparsedData();
    // The status is of no interest: a failed call leaves the zeroed record.
    if (data != nullptr && Hid::HidP_GetCaps != nullptr)
        Hid::HidP_GetCaps(data, &caps);
}

bool THidDevice::GetFeatureReport(unsigned char* buf, int len) {
    if (buf == nullptr || len <= 0 || !OpenMainHandle() || Hid::HidD_GetFeature == nullptr)
        return false;
    return Hid::HidD_GetFeature(MainHandle_, buf, static_cast<ULONG>(len)) != 0;
}

bool THidDevice::SetFeatureReport(unsigned char* buf, int len) {
    if (buf == nullptr || len <= 0 || !OpenMainHandle() || Hid::HidD_SetFeature == nullptr)
        return false;
    return Hid::HidD_SetFeature(MainHandle_, buf, static_cast<ULONG>(len)) != 0;
}

bool THidDevice::ReadReportOverlapped(unsigned char* buffer, DWORD length,
                                      LPOVERLAPPED_COMPLETION_ROUTINE completion) {
    if (!OpenReadHandle()) {
        if (!MayOpen())
            SetLastError(Attached_ ? ERROR_ACCESS_DENIED : ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    // Held across the start, so the user-interface thread can't close the
    // handle between the test above and ReadFileEx.
    std::lock_guard lock(ReadMutex_);
    if (ReadHandle_ == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    std::memset(&ReadOverlapped_, 0, sizeof ReadOverlapped_);
    return ReadFileEx(ReadHandle_, buffer, length, &ReadOverlapped_, completion) != 0;
}

DWORD THidDevice::LastReadByteCount() {
    std::lock_guard lock(ReadMutex_);
    if (ReadHandle_ == INVALID_HANDLE_VALUE)
        return 0;
    DWORD count = 0;
    if (!GetOverlappedResult(ReadHandle_, &ReadOverlapped_, &count, FALSE))
        return 0;
    return count;
}

void THidDevice::SetDataHandler(const THidDataEvent& handler) {
    if (!handler) {
        const QPointer<THidDevice> alive(this);
        StopReadThread();
        if (!alive)
            return; // a delivery served while stopping released this device
    }
    DataHandler_ = handler;
    StartReadThread();
}

void THidDevice::StartReadThread() {
    if (!DataHandler_ || !Attached_ || !CheckedOut_ || !ReadWriteAllowed_ || ReadThread_)
        return;
    ReadThread_ = std::make_unique<THidDeviceReadThread>(this);
    ReadThread_->start();
}

void THidDevice::StopReadThread() {
    if (!ReadThread_)
        return;
    ReadThread_->requestInterruption();
    const std::shared_ptr<THidDeliveryMailbox> mailbox = ReadThread_->Mailbox();
    const QPointer<THidDevice> alive(this);
    while (mailbox->WaitForDeliveryOrEnd())
        ServeDelivery(mailbox);
    // A handler served above may have released this device, whose
    // destruction stopped the thread; nothing of it may be touched then.
    if (!alive)
        return;
    // It may also have stopped the thread itself.
    if (ReadThread_) {
        ReadThread_->wait();
        ReadThread_.reset();
    }
}

void THidDevice::ServeDelivery(const std::shared_ptr<THidDeliveryMailbox>& mailbox) {
    std::optional<THidDelivery> delivery = mailbox->Take();
    if (!delivery)
        return;
    // The handler may stop the thread or destroy this device; from here on
    // only the mailbox, held by this frame, is touched after it returns.
    struct Finisher {
        std::shared_ptr<THidDeliveryMailbox> Mailbox;
        ~Finisher() { Mailbox->Finish(); }
    } finisher{mailbox};
    try {
        if (delivery->IsError) {
            if (DataErrorHandler_)
                DataErrorHandler_(this, delivery->Error);
        } else if (DataHandler_) {
            DataHandler_(this, delivery->ReportID, delivery->Data.data(),
                         static_cast<uint16_t>(delivery->Data.size()));
        }
    } catch (...) {
        // A delivery has no caller to take an exception: the read thread
        // can't, and it must not cross the event loop either.
    }
}

void THidDevice::SetReadSleepTime(int ms) {
    if (ms >= kMinReadSleepTime && ms <= kMaxReadSleepTime)
        ReadSleepTime_ = ms;
}

void THidDevice::HandleUnplug() {
    // Cleared before the read handle closes (see OpenReadHandle).
    Attached_ = false;
    CloseMainHandle();
    CloseReadHandle();
    const THidPlugEvent handler = UnplugHandler_;
    UnplugHandler_ = THidPlugEvent();
    // Cleared before the call, so a handler that pumps messages into another
    // rescan can't fire it twice.
    handler(this);
}
