#pragma once
// The block's exchange with a unit: one feature report of 252 bytes, report id 0, each way.

#include "unit/Block.h"

class THidDevice;
class THidReportChannel;

namespace unit {

// How one exchange ended. NoAnswer: the request timed out, so the unit is there but did not
// answer in time (a hung unit; a stalled virtual unit). Failed: anything else (refused, unplugged,
// no access). After NoAnswer and Failed the thread's last error still tells why. NotTheBlock: the
// unit answered a read with a report whose ID is not the block's (0): a failed read all the same,
// nothing of it taken as the block.
enum class ExchangeResult { Answered, NoAnswer, Failed, NotTheBlock };

// Frames the block in `report` (byte 251 keeps what the last read left there) and sets it as the
// feature report.
ExchangeResult Send(THidDevice& device, const TDataBlock& data, TReportBuffer& report);

// Clears the report and the block, gets the feature report and copies its bytes 1..250 into the
// block when it is the block's: a failed read, or an answer with another report ID, leaves the
// block all zero.
ExchangeResult Read(THidDevice& device, TReportBuffer& report, TDataBlock& data);

// The same through a handle of its own, for a thread other than the device's.
ExchangeResult Send(THidReportChannel& channel, const TDataBlock& data, TReportBuffer& report);
ExchangeResult Read(THidReportChannel& channel, TReportBuffer& report, TDataBlock& data);

// The same, answering true when the unit took the block / answered.
bool SendBlock(THidDevice& device, const TDataBlock& data, TReportBuffer& report);
bool ReadBlock(THidDevice& device, TReportBuffer& report, TDataBlock& data);

} // namespace unit
