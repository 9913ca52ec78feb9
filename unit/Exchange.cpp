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

// The same exchange through a device or a channel of its own. A failure is the caller's to
// report: it knows whether it is the first of a run, and the thread's last error still tells why.
template <typename Port>
ExchangeResult SendThrough(Port& port, const TDataBlock& data, TReportBuffer& report) {
    FrameForSend(data, report);
    return ResultOf(port.SetFeatureReport(report.data(), block::kReportSize));
}

template <typename Port>
ExchangeResult ReadThrough(Port& port, TReportBuffer& report, TDataBlock& data) {
    PrepareForRead(report);
    clear_bytes(data.data(), block::kBlockSize - 1);
    const std::uint8_t spare = report[block::kReportSize - 1];
    const bool answered = port.GetFeatureReport(report.data(), block::kReportSize);
    if (answered && report[0] != block::kReportId) {
        // Nothing of it is kept: the block stays all zero and the buffer as before the read.
        PrepareForRead(report);
        report[block::kReportSize - 1] = spare;
        return ExchangeResult::NotTheBlock;
    }
    BlockFromReport(report, data);
    return ResultOf(answered);
}

} // namespace

ExchangeResult Send(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    device.OpenMainHandle(); // SetFeatureReport tries again and fails when this does
    return SendThrough(device, data, report);
}

ExchangeResult Read(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    device.OpenMainHandle();
    return ReadThrough(device, report, data);
}

ExchangeResult Send(THidReportChannel& channel, const TDataBlock& data, TReportBuffer& report) {
    return SendThrough(channel, data, report);
}

ExchangeResult Read(THidReportChannel& channel, TReportBuffer& report, TDataBlock& data) {
    return ReadThrough(channel, report, data);
}

bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    return Send(device, data, report) == ExchangeResult::Answered;
}

bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    return Read(device, report, data) == ExchangeResult::Answered;
}

} // namespace unit
