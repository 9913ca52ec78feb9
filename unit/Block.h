#pragma once
// The device data block the unit shares with its programs: its layout, the command codes, the
// frame it travels in, and the conversion between raw bytes and volts. Pure functions; the
// window's process-wide copy of the block lives in app/DataBlock.h.

#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>

namespace block {

inline constexpr int kBlockSize = 250;       // data_block
inline constexpr int kReportSize = 252;      // report_buf: report id, the block, one spare byte
inline constexpr std::uint8_t kReportId = 0; // the unit's only report, both ways
inline constexpr int kSamplePairs = 117;

// Byte indexes in the block. Samples: channel A at 2i, channel B at 2i + 1, i = 0..116.
inline constexpr int kPollPeriod = 235;
inline constexpr int kThreshold0 = 236;
inline constexpr int kThreshold1 = 237;
inline constexpr int kOs2Length = 238;
inline constexpr int kOs2Delay = 239;
inline constexpr int kScaleByte = 240;
inline constexpr int kOs1Min = 241;
inline constexpr int kOs1Max = 242;
inline constexpr int kOs2Voltage = 243;
inline constexpr int kPosition = 244;
inline constexpr int kOs2PulseTime = 245;
inline constexpr int kOs1Time1 = 246;
inline constexpr int kOs1Time0 = 247;
inline constexpr int kOs1State = 248;
inline constexpr int kCommand = 249;

// The scale when the scale byte is 0.
inline constexpr int kDefaultScale = 64;

// The volts that the raw count `scale` stands for, as the nearest extended value.
inline constexpr long double kFullCountVolts = 1.1L;

} // namespace block

// Command codes for the block's command byte, in the order of the function selector.
inline constexpr std::uint8_t cmd_normal = 0;
inline constexpr std::uint8_t cmd_read_eeprom = 1;
inline constexpr std::uint8_t cmd_save_eeprom = 2;
inline constexpr std::uint8_t cmd_reset_vars = 32;
inline constexpr std::uint8_t cmd_os1_test_0 = 48;
inline constexpr std::uint8_t cmd_os1_test_1 = 49;
inline constexpr std::uint8_t cmd_os2_test_0 = 64;
inline constexpr std::uint8_t cmd_os2_test_1 = 65;

// The command code of each selector item, index 0 to 7.
inline constexpr std::array<std::uint8_t, 8> kSelectorCommands{
    cmd_normal,     cmd_read_eeprom, cmd_save_eeprom, cmd_reset_vars,
    cmd_os1_test_0, cmd_os1_test_1,  cmd_os2_test_0,  cmd_os2_test_1};

using TDataBlock = std::array<std::uint8_t, block::kBlockSize>;
using TReportBuffer = std::array<std::uint8_t, block::kReportSize>;

// Sets bytes 0..last_index of buffer to 0; a negative last_index clears nothing.
void clear_bytes(std::uint8_t* buffer, int last_index);

// The frame, the same in both directions: byte 0 the report id (0), bytes 1..250 the block, byte
// 251 spare. Before a send: bytes 0..250 cleared, the block copied in, byte 251 left as the last
// read left it. Before a read: bytes 0..250 cleared (so report id 0 is asked for).
void FrameForSend(const TDataBlock& data, TReportBuffer& report);
void PrepareForRead(TReportBuffer& report);
// Bytes 1..250 of the report, whatever the read answered.
void BlockFromReport(const TReportBuffer& report, TDataBlock& data);

// The scale a scale byte stands for: the byte itself, 64 for 0.
int ScaleFromByte(std::uint8_t scaleByte);
// The scale of a block: its scale byte's.
int ScaleOf(const TDataBlock& data);

// volts = raw x 1.1 / scale, multiplication first, in extended precision. A scale below 1 (none
// read yet) counts as 64.
long double RawToVolts(std::uint8_t raw, int scaleValue);
// raw = volts x scale / 1.1 rounded to the nearest count (halves away from zero), kept within
// 0..255: a value shown with two decimals and saved unedited keeps its count, and a voltage too
// high for the byte saves as 255 rather than wrapping round to a small count.
int VoltsToRaw(long double volts, int scaleValue);

// Fixed notation with `decimals` decimals and the locale's decimal separator, rounded from the
// exact extended value as printf's %.Nf rounds it.
QString PrintfFixed(long double value, int decimals, const QLocale& locale = QLocale());
