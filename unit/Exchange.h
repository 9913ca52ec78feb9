#pragma once
// The block's exchange with a unit: one feature report of 252 bytes, report id 0, each way.

#include "unit/Block.h"

class THidDevice;

namespace unit {

// Frames the block in `report` (byte 251 keeps what the last read left there) and sets it as the
// feature report. True when the unit took it.
bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report);

// Clears the report and the block, gets the feature report and copies its bytes 1..250 into the
// block whatever the answer: a failed read leaves the block all zero. True when the unit answered.
bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data);

} // namespace unit
