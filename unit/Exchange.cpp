#include "unit/Exchange.h"

#include "hid/HidControllerClass.h"
#include "hid/HidLogging.h"
#include "hid/HidReportChannel.h"

namespace unit {

namespace {

// Classifies a finished call by the thread's last error, which it leaves as it is.
ExchangeResult ResultOf(bool succeeded) {
    if (succeeded)
        return ExchangeResult::Answered;
    return hidlog::LastError() == ERROR_SEM_TIMEOUT ? ExchangeResult::NoAnswer
                                                    : ExchangeResult::Failed;
}

} // namespace

ExchangeResult Send(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    device.OpenMainHandle(); // SetFeatureReport tries again and fails when this does
    FrameForSend(data, report);
    // A failure is the caller's to report: it knows whether it is the first of a run, and the
    // thread's last error still tells why.
    return ResultOf(device.SetFeatureReport(report.data(), block::kReportSize));
}

ExchangeResult Read(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    device.OpenMainHandle();
    PrepareForRead(report);
    clear_bytes(data.data(), block::kBlockSize - 1);
    const bool answered = device.GetFeatureReport(report.data(), block::kReportSize);
    BlockFromReport(report, data);
    return ResultOf(answered);
}

ExchangeResult Send(THidReportChannel& channel, const TDataBlock& data, TReportBuffer& report) {
    FrameForSend(data, report);
    return ResultOf(channel.SetFeatureReport(report.data(), block::kReportSize));
}

ExchangeResult Read(THidReportChannel& channel, TReportBuffer& report, TDataBlock& data) {
    PrepareForRead(report);
    clear_bytes(data.data(), block::kBlockSize - 1);
    const bool answered = channel.GetFeatureReport(report.data(), block::kReportSize);
    BlockFromReport(report, data);
    return ResultOf(answered);
}

bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    return Send(device, data, report) == ExchangeResult::Answered;
}

bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    return Read(device, report, data) == ExchangeResult::Answered;
}

} // namespace unit
