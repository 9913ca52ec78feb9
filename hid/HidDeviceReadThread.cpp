// THidDeviceReadThread: overlapped reads of input reports, handed to the
// device's handlers on the user-interface thread.

#include "hid/HidControllerClass.h"

#include "hid/HidDeliveryMailbox.h"
#include "platform/win32/FileIo.h"

#include <algorithm>

namespace {

// The byte count is taken with GetOverlappedResult after the wait, so the
// completion routine has nothing to do.
void ignoreCompletion(DWORD, DWORD, LPOVERLAPPED) {}

} // namespace

THidDeviceReadThread::THidDeviceReadThread(THidDevice* device)
    : OwnerDevice_(device), Mailbox_(std::make_shared<THidDeliveryMailbox>()) {
    // Queried here, on the user-interface thread, so the preparsed data is
    // cached before the thread runs and the thread never opens MainHandle.
    HIDP_CAPS caps;
    device->QueryCapabilities(caps);
    ReportBuffer_.resize(caps.InputReportByteLength);
}

THidDeviceReadThread::~THidDeviceReadThread() {
    requestInterruption();
    wait();
}

void THidDeviceReadThread::Deliver(bool isError, DWORD error, DWORD byteCount) {
    THidDelivery delivery;
    delivery.IsError = isError;
    delivery.Error = error;
    if (!isError) {
        delivery.ReportID = ReportBuffer_[0];
        delivery.Data.assign(ReportBuffer_.begin() + 1, ReportBuffer_.begin() + byteCount);
    }
    THidDevice* device = OwnerDevice_;
    std::shared_ptr<THidDeliveryMailbox> mailbox = Mailbox_;
    // Queued on the device: when the device is gone before the call runs,
    // Qt drops the call (and the device's StopReadThread has served it).
    Mailbox_->Deliver(std::move(delivery), [device, mailbox] {
        QMetaObject::invokeMethod(
            device, [device, mailbox] { device->ServeDelivery(mailbox); }, Qt::QueuedConnection);
    });
}

void THidDeviceReadThread::run() {
    struct EndMark {
        THidDeliveryMailbox& Mailbox;
        ~EndMark() { Mailbox.MarkEnded(); }
    } endMark{*Mailbox_};

    THidDevice* device = OwnerDevice_;
    DWORD waitResult = WAIT_IO_COMPLETION;
    while (!isInterruptionRequested()) {
        waitResult = WAIT_IO_COMPLETION;
        std::fill(ReportBuffer_.begin(), ReportBuffer_.end(), 0);
        if (device->ReadReportOverlapped(ReportBuffer_.data(),
                                         static_cast<DWORD>(ReportBuffer_.size()),
                                         &ignoreCompletion)) {
            do
                waitResult = SleepEx(static_cast<DWORD>(device->ReadSleepTime()), TRUE);
            while (!isInterruptionRequested() && waitResult != WAIT_IO_COMPLETION);
            if (isInterruptionRequested())
                break;
            const DWORD count = std::min<DWORD>(device->LastReadByteCount(),
                                                static_cast<DWORD>(ReportBuffer_.size()));
            ByteCount_ = count;
            if (count > 0)
                Deliver(false, 0, count);
        } else {
            ReadErrorCode_ = GetLastError();
            Deliver(true, ReadErrorCode_, 0);
            // A read that can't start (the device has vanished, say) would
            // fail again at once: wait one slice so the retry doesn't spin.
            if (!isInterruptionRequested())
                SleepEx(static_cast<DWORD>(device->ReadSleepTime()), FALSE);
        }
    }
    if (waitResult != WAIT_IO_COMPLETION)
        device->CancelPendingRead();
}
