#include "unit/Exchange.h"

#include "hid/HidControllerClass.h"
#include "unit/UnitLogging.h"

namespace unit {

bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report) {
    device.OpenMainHandle(); // SetFeatureReport tries again and fails when this does
    FrameForSend(data, report);
    const bool taken = device.SetFeatureReport(report.data(), block::kReportSize);
    if (!taken)
        qCDebug(lcUnit) << "the unit at" << device.InterfaceInfo().InterfacePath.c_str()
                        << "did not take the block";
    return taken;
}

bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data) {
    device.OpenMainHandle();
    PrepareForRead(report);
    clear_bytes(data.data(), block::kBlockSize - 1);
    const bool answered = device.GetFeatureReport(report.data(), block::kReportSize);
    BlockFromReport(report, data);
    if (!answered)
        qCDebug(lcUnit) << "the unit at" << device.InterfaceInfo().InterfacePath.c_str()
                        << "did not answer the read";
    return answered;
}

} // namespace unit
