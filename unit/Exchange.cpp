#include "unit/Exchange.h"

#include "hid/HidControllerClass.h"

namespace unit {

bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    device.OpenMainHandle(); // SetFeatureReport tries again and fails when this does
    FrameForSend(data, report);
    // A failure is the caller's to report: it knows whether it is the first of a run, and the
    // thread's last error still tells why.
    return device.SetFeatureReport(report.data(), block::kReportSize);
}

bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    device.OpenMainHandle();
    PrepareForRead(report);
    clear_bytes(data.data(), block::kBlockSize - 1);
    const bool answered = device.GetFeatureReport(report.data(), block::kReportSize);
    BlockFromReport(report, data);
    return answered;
}

} // namespace unit
