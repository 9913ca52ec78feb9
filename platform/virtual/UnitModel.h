#pragma once
// What goes on inside one virtual Tarvenik unit: its EEPROM, its working
// parameters, the two traces it samples and the measurements it takes, and
// how it answers the commands of the data block. No I/O here.

#include <array>
#include <cstddef>
#include <cstdint>

namespace virtualunit {

inline constexpr size_t kBlockSize = 250;
inline constexpr size_t kReportSize = 252;
inline constexpr size_t kSamplePairs = 117;

// Block offsets of the variables the unit serves.
namespace block {
inline constexpr size_t kPollPeriod = 235;
inline constexpr size_t kThreshold0 = 236;
inline constexpr size_t kThreshold1 = 237;
inline constexpr size_t kOs2Length = 238;
inline constexpr size_t kOs2Delay = 239;
inline constexpr size_t kScale = 240;
inline constexpr size_t kOs1Min = 241;
inline constexpr size_t kOs1Max = 242;
inline constexpr size_t kOs2Voltage = 243;
inline constexpr size_t kPosition = 244;
inline constexpr size_t kOs2PulseTime = 245;
inline constexpr size_t kOs1Time1 = 246;
inline constexpr size_t kOs1Time0 = 247;
inline constexpr size_t kOs1State = 248;
inline constexpr size_t kCommand = 249;
} // namespace block

namespace command {
inline constexpr uint8_t kNormal = 0;
inline constexpr uint8_t kReadEeprom = 1;
inline constexpr uint8_t kSaveEeprom = 2;
inline constexpr uint8_t kResetVariables = 32;
inline constexpr uint8_t kOs1Force0 = 48;
inline constexpr uint8_t kOs1Force1 = 49;
inline constexpr uint8_t kOs2Force0 = 64;
inline constexpr uint8_t kOs2Force1 = 65;
} // namespace command

// Poll period 10, thresholds 1.0 V and 2.5 V at scale 64, OS2 length 20, delay 5.
inline constexpr std::array<uint8_t, 5> kEepromDefaults{10, 58, 145, 20, 5};
inline constexpr uint8_t kScaleByte = 64;

using Parameters = std::array<uint8_t, 5>; // block bytes 235..239

class UnitModel {
public:
    explicit UnitModel(uint64_t seed);

    // Back to the factory: EEPROM defaults, then a power-up.
    void factoryReset();
    // What plugging in does: working parameters from EEPROM, measurements
    // cleared, normal operation, the sampling sequence from its start.
    void powerUp();

    // One feature report as the unit answers it: [0x00, block, sequence byte].
    // Every call takes a fresh capture.
    void nextReport(uint8_t* report);
    // A feature report from the host: [0x00, block, byte 251]. The unit
    // takes the parameter bytes and runs the command byte.
    void acceptReport(const uint8_t* report);

    const Parameters& eeprom() const { return eeprom_; }
    const Parameters& parameters() const { return working_; }
    uint8_t mode() const { return mode_; }

private:
    uint32_t random(uint32_t below);
    void resetMeasurements();
    void capture(uint8_t* blk);

    uint64_t seed_;
    uint64_t rng_ = 0;
    Parameters eeprom_ = kEepromDefaults;
    Parameters working_ = kEepromDefaults;
    uint8_t mode_ = command::kNormal;

    // Signal generator.
    uint32_t phase_ = 0;
    int amplitude_ = 80;
    int offset_ = 116;
    int os2Level_ = 200;
    int position_ = 0;
    int direction_ = 1;
    bool comparator_ = false;
    uint8_t sequence_ = 0;

    // Measurements held between captures.
    uint8_t os1Min_ = 255;
    uint8_t os1Max_ = 0;
    uint8_t os2Voltage_ = 0;
    uint8_t os2PulseTime_ = 0;
};

} // namespace virtualunit
