#pragma once
// HID device access: the controller that keeps one THidDevice per HID
// device interface present, the device itself, and the device's optional
// read thread.
//
// Lending a device
//   A device object is always in one of these states. The controller lists
//   devices in Devices_; CheckOutAt lends one to its caller, the holder, who
//   gives it back by destroying it (`delete device`, or a std::unique_ptr).
//
//   state                  Attached  CheckedOut  listed  owner
//   listed                 yes       no          yes     the controller (its Qt child)
//   lent                   yes       yes         yes     the holder (no Qt parent)
//   unplugged while lent   no        yes         yes     the holder
//   orphaned               no        yes         no      the holder; Controller() is null
//   given back             -         -           no      none: the object is destroyed
//
//   Transitions, and what happens to the list (no others exist):
//   - a rescan's arrival pass: a new object -> listed; appended, OnArrival.
//   - CheckOutAt: listed -> lent; the slot stays.
//   - a rescan finds the interface gone (HandleUnplug fires the device's
//     unplug handler, then OnRemoval): listed -> given back, destroyed by
//     the controller, its slot goes; lent -> unplugged while lent, the slot
//     stays (and every later rescan fires OnRemoval for it again).
//   - the holder destroys a lent device: -> given back; a fresh checked-in
//     twin (listed) takes the slot, or the slot goes if the twin can't be
//     opened.
//   - the holder destroys an unplugged-while-lent device: -> given back; the
//     slot goes.
//   - the controller is destroyed: listed -> given back; lent and unplugged
//     while lent -> orphaned (HandleUnplug: closed, unattached).
//   - the holder destroys an orphan: -> given back; no list is involved.
//
//   Devices_ grows only in the arrival pass, and loses or swaps entries only
//   in TakeBack, which every destruction of a listed device calls; the
//   controller's own destruction drops the list whole. The three counts are
//   read from the list.
//
//   Any event handler (OnRemoval, OnEnumerate, OnArrival, a device's unplug
//   or data handler) may give back a device it holds, even the one the event
//   is about: nothing of a device is touched after a handler returns unless
//   it is known to be still there.
//
// Threads
//   Everything runs on the thread that created the controller (the
//   user-interface thread), except a device's read thread, which exists only
//   while the device is checked out and has a data handler. That thread
//   hands every report and error to the user-interface thread and waits
//   until the handler has returned (docs/threads.md).
//
// Texts
//   Product and manufacturer strings are QString (UTF-16, as the HID
//   services deliver them).

#include "framework/BoundEvent.h"
#include "framework/Exceptions.h"
#include "platform/win32/WinTypes.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;
class THidNotifyWindow;
class THidDeliveryMailbox;

// Opening or identifying a device failed.
class EControllerError : public framework::Exception {
public:
    using framework::Exception::Exception;
};

// The identity of one HID device interface. Devices of two scans are the
// same device when their InstanceHandle values are equal.
struct THidPnPInfo {
    uint32_t InstanceHandle = 0; // DevInst of the interface
    std::string InterfacePath;   // the path the device is opened under
};

using THidPlugEvent = framework::TBoundEvent<void(THidDevice* HidDev)>;
// Answers true to go on with the next device, false to stop.
using THidEnumerateEvent = framework::TBoundEvent<bool(THidDevice* HidDev, int Idx)>;
// Data: the report bytes after the report id; Size: their count.
using THidDataEvent = framework::TBoundEvent<void(THidDevice* HidDev, uint8_t ReportID,
                                                  const uint8_t* Data, uint16_t Size)>;
using THidDataErrorEvent = framework::TBoundEvent<void(THidDevice* HidDev, uint32_t Error)>;
using framework::TNotifyEvent;

// One HID device interface. Usable while it is attached and either checked
// out or inside a controller event about it (MayOpen); otherwise only its
// cached texts answer, and report calls fail at once.
class THidDevice : public QObject {
    Q_OBJECT
public:
    // Releases the device: stops its read thread (a report or error it still
    // waits to deliver is dropped), closes its handles and gives it back to
    // its controller (THidDeviceController::TakeBack), which puts a
    // checked-in twin into its list slot or drops the slot. Nothing escapes.
    ~THidDevice() override;

    THidDeviceController* Controller() const { return Controller_; }
    bool Attached() const { return Attached_; }
    bool CheckedOut() const { return CheckedOut_; }
    bool InCallback() const { return InCallback_; }
    bool MayOpen() const { return Attached_ && (CheckedOut_ || InCallback_); }
    bool ReadWriteAllowed() const { return ReadWriteAllowed_; }
    // Why the last read-write open failed (a Windows error code), or ERROR_SUCCESS.
    DWORD ReadWriteError() const { return ReadWriteError_; }
    HANDLE MainHandle() const { return MainHandle_; }
    HANDLE ReadHandle() const;
    const HIDD_ATTRIBUTES& HidAttributes() const { return HidAttributes_; }
    const THidPnPInfo& InterfaceInfo() const { return InterfaceInfo_; }
    PHIDP_PREPARSED_DATA PreparsedData() const { return PreparsedData_; }
    int ReadSleepTime() const { return ReadSleepTime_; }
    const THidDataEvent& DataHandler() const { return DataHandler_; }
    const THidDataErrorEvent& DataErrorHandler() const { return DataErrorHandler_; }
    const THidPlugEvent& UnplugHandler() const { return UnplugHandler_; }
    THidDeviceReadThread* ReadThread() const { return ReadThread_.get(); }

    // MainHandle: opened read/write, or query-only when that is refused.
    // True when it is open. An open handle stays open until closed; while it
    // is query-only, each call tries read/write again and keeps the better.
    bool OpenMainHandle();
    void CloseMainHandle();
    // ReadHandle: opened for overlapped reads, no query-only fallback.
    bool OpenReadHandle();
    void CloseReadHandle();
    // Cancels this thread's pending read on ReadHandle (CancelIo, looked up
    // in kernel32.dll at each call).
    bool CancelPendingRead();

    // Fetched once while the device may be opened, then cached; up to 254
    // characters. Empty while never fetched.
    QString GetManufacturerText();
    QString GetProductText();
    // The same for the serial number string, and for where the device is
    // attached (a text of the HID modules that survives a replug into the
    // same port; empty when they give none).
    QString GetSerialNumberText();
    QString GetLocationText();

    PHIDP_PREPARSED_DATA EnsurePreparsedData();
    void QueryCapabilities(HIDP_CAPS& caps);

    // One feature report through MainHandle, buf[0] being the report id.
    // False without a platform call when the device can't be opened.
    bool GetFeatureReport(unsigned char* buf, int len);
    bool SetFeatureReport(unsigned char* buf, int len);

    // Starts one overlapped read on ReadHandle; the completion routine runs
    // in a later alertable SleepEx of the calling thread.
    bool ReadReportOverlapped(unsigned char* buffer, DWORD length,
                              LPOVERLAPPED_COMPLETION_ROUTINE completion);
    DWORD LastReadByteCount();

    void SetDataHandler(const THidDataEvent& handler);
    void SetDataErrorHandler(const THidDataErrorEvent& handler) { DataErrorHandler_ = handler; }
    void SetUnplugHandler(const THidPlugEvent& handler) { UnplugHandler_ = handler; }
    void StartReadThread();
    // Waits for the thread to end, serving its pending deliveries meanwhile.
    // A handler served here may release the device; the call (and a
    // SetDataHandler that made it) then returns without touching it.
    void StopReadThread();
    // Accepts 10 to 10000 ms; other values are ignored.
    void SetReadSleepTime(int ms);
    // The interface has vanished: handles close, Attached clears, and the
    // unplug handler fires (once in the device's life).
    void HandleUnplug();

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;

    // Opens and identifies the interface; throws EControllerError when it
    // can't. Only the controller builds devices: in a scan, and as the twin
    // of a device given back (TakeBack).
    THidDevice(const THidPnPInfo& info, THidDeviceController* controller);

    void OpenMainHandleUnchecked();
    // Gives the cached preparsed data back to the HID services, if they are
    // still loaded.
    void FreePreparsedData();
    QString FetchText(QString& cache, BOOLEAN(WINAPI* fetch)(HANDLE, PVOID, ULONG));
    void ReplaceWithTwin();
    // Serves the read thread's pending delivery; runs on this device's thread.
    void ServeDelivery(const std::shared_ptr<THidDeliveryMailbox>& mailbox);

    THidDeviceController* Controller_;
    std::atomic<bool> Attached_{true};
    std::atomic<bool> CheckedOut_{false};
    std::atomic<bool> InCallback_{false};
    HANDLE MainHandle_ = INVALID_HANDLE_VALUE;
    // ReadHandle_ and ReadOverlapped_ are shared with the read thread.
    mutable std::mutex ReadMutex_;
    HANDLE ReadHandle_ = INVALID_HANDLE_VALUE;
    OVERLAPPED ReadOverlapped_{};
    HIDD_ATTRIBUTES HidAttributes_{};
    THidPnPInfo InterfaceInfo_;
    QString ManufacturerText_;
    QString ProductText_;
    QString SerialNumberText_;
    QString LocationText_;
    std::atomic<PHIDP_PREPARSED_DATA> PreparsedData_{nullptr};
    std::atomic<int> ReadSleepTime_{100};
    THidDataEvent DataHandler_;
    THidDataErrorEvent DataErrorHandler_;
    THidPlugEvent UnplugHandler_;
    bool ReadWriteAllowed_ = false;
    DWORD ReadWriteError_ = ERROR_SUCCESS;
    std::unique_ptr<THidDeviceReadThread> ReadThread_;
};

// The HID device list with its events. A QObject, owned by its Qt parent.
class THidDeviceController : public QObject {
    Q_OBJECT
public:
    // Loads the platform services and, when they are there, posts itself the
    // first device-change message: the first scan runs when the event loop
    // dispatches it.
    explicit THidDeviceController(QObject* owner);
    ~THidDeviceController() override;

    // The rescan.
    void DeviceChange();
    // Offers each attached device to OnEnumerate until it answers false;
    // answers the number of devices offered (without a handler, the first
    // attached device counts and ends the walk). Devices not checked out by
    // the handler have their handles closed afterwards.
    int EnumerateDevices();
    // Lends the device at Idx to the caller. False, with HidDev null, for an
    // index out of range or a device already checked out.
    bool CheckOutAt(int Idx, THidDevice*& HidDev);

    // Listed devices not checked out; checked out and attached; no longer
    // attached. Read from the list, so right at any moment, also inside a
    // handler during a rescan.
    int CheckedInCount() const;
    int CheckedOutCount() const;
    int UnpluggedCount() const;
    int DeviceCount() const { return static_cast<int>(Devices_.size()); }
    THidDevice* DeviceAt(int Idx) const;
    const GUID& HidInterfaceGuid() const { return HidInterfaceGuid_; }
    int32_t LastChangeParam() const { return LastChangeParam_; }
    bool RescanRunning() const { return RescanRunning_; }
    // Null while the HID services are not available.
    THidNotifyWindow* NotifyWindow() const { return NotifyWindow_.get(); }

    int DevThreadSleepTime() const { return DevThreadSleepTime_; }
    void SetDevThreadSleepTime(int value);
    QString Version() const { return QString::fromLatin1(VersionText_); }
    void SetVersion(const QString& value);

    const THidPlugEvent& OnArrival() const { return OnArrival_; }
    void SetOnArrival(const THidPlugEvent& handler) { OnArrival_ = handler; }
    const THidEnumerateEvent& OnEnumerate() const { return OnEnumerate_; }
    void SetOnEnumerate(const THidEnumerateEvent& handler) { OnEnumerate_ = handler; }
    const TNotifyEvent& OnDeviceChange() const { return OnDeviceChange_; }
    void SetOnDeviceChange(const TNotifyEvent& handler);
    const THidDataEvent& OnDeviceData() const { return OnDeviceData_; }
    void SetOnDeviceData(const THidDataEvent& handler);
    const THidDataErrorEvent& OnDeviceDataError() const { return OnDeviceDataError_; }
    void SetOnDeviceDataError(const THidDataErrorEvent& handler);
    const THidPlugEvent& OnDeviceUnplug() const { return OnDeviceUnplug_; }
    void SetOnDeviceUnplug(const THidPlugEvent& handler);
    const THidPlugEvent& OnRemoval() const { return OnRemoval_; }
    void SetOnRemoval(const THidPlugEvent& handler) { OnRemoval_ = handler; }

    // A device's destruction gives it back with TakeBack; only THidDevice
    // can make the key, so that is the one thing a device does to its
    // controller.
    class TTakeBackKey {
        friend class THidDevice;
        TTakeBackKey() = default;
    };
    // Takes a destroyed device out of the list: a device that is still
    // attached is replaced in its slot by a fresh checked-in twin with the
    // given handlers and the device's read sleep time (the slot goes when the
    // twin can't be opened); an unattached one loses its slot. Nothing for a
    // device that isn't listed (a fresh object of a scan). The only routine
    // that removes or replaces list entries.
    void TakeBack(TTakeBackKey, THidDevice* device, const THidDataEvent& dataHandler,
                  const THidPlugEvent& unplugHandler);

private:
    using TFreshList = std::vector<std::unique_ptr<THidDevice>>;

    // A new device, owned by this controller as its Qt child until it is
    // checked out; throws what the device's construction throws.
    THidDevice* CreateDevice(const THidPnPInfo& info);
    LRESULT NotificationHandler(UINT Msg, WPARAM wParam, LPARAM lParam);
    TFreshList ScanInterfaces();
    void ScanOneInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data, TFreshList& fresh);
    int IndexOf(const THidDevice* device) const;
    std::vector<QPointer<THidDevice>> Snapshot() const;

    std::vector<THidDevice*> Devices_;
    // Interfaces whose failure to open has been logged.
    std::vector<std::string> ReportedFailures_;
    GUID HidInterfaceGuid_{};
    std::unique_ptr<THidNotifyWindow> NotifyWindow_;
    int32_t LastChangeParam_ = 0;
    bool RescanRunning_ = false;
    bool Destroying_ = false;
    bool SetupAcquired_ = false;
    bool HidAcquired_ = false;
    int DevThreadSleepTime_ = 100;
    const char* VersionText_ = "1.0.35";
    THidPlugEvent OnArrival_;
    THidEnumerateEvent OnEnumerate_;
    TNotifyEvent OnDeviceChange_;
    THidDataEvent OnDeviceData_;
    THidDataErrorEvent OnDeviceDataError_;
    THidPlugEvent OnDeviceUnplug_;
    THidPlugEvent OnRemoval_;
};

// Reads input reports from one checked-out device and hands each to the
// device's data handler on the user-interface thread. Created and destroyed
// by the device only.
class THidDeviceReadThread : public QThread {
    Q_OBJECT
public:
    explicit THidDeviceReadThread(THidDevice* device);
    ~THidDeviceReadThread() override;

    THidDevice* OwnerDevice() const { return OwnerDevice_; }
    DWORD ReadErrorCode() const { return ReadErrorCode_; }
    DWORD ByteCount() const { return ByteCount_; }
    const std::shared_ptr<THidDeliveryMailbox>& Mailbox() const { return Mailbox_; }

protected:
    void run() override;

private:
    void Deliver(bool isError, DWORD error, DWORD byteCount);

    THidDevice* OwnerDevice_;
    std::atomic<DWORD> ReadErrorCode_{0};
    std::atomic<DWORD> ByteCount_{0};
    std::vector<uint8_t> ReportBuffer_;
    std::shared_ptr<THidDeliveryMailbox> Mailbox_;
};
