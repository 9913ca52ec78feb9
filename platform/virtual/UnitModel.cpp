#include "platform/virtual/UnitModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace virtualunit {

namespace {

constexpr int kOs1Period = 40; // samples per period of the OS1 wave

uint8_t clampByte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

UnitModel::UnitModel(uint64_t seed) : seed_(seed) {
    factoryReset();
}

void UnitModel::factoryReset() {
    eeprom_ = kEepromDefaults;
    powerUp();
}

void UnitModel::powerUp() {
    rng_ = seed_;
    working_ = eeprom_;
    mode_ = command::kNormal;
    phase_ = 0;
    amplitude_ = 80;
    offset_ = 116;
    os2Level_ = 200;
    position_ = 0;
    direction_ = 1;
    comparator_ = false;
    sequence_ = 0;
    resetMeasurements();
}

void UnitModel::resetMeasurements() {
    os1Min_ = 255;
    os1Max_ = 0;
    os2Voltage_ = 0;
    os2PulseTime_ = 0;
}

// splitmix64: small, fast and the same on every machine, so runs repeat.
uint32_t UnitModel::random(uint32_t below) {
    rng_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = rng_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return below == 0 ? 0 : static_cast<uint32_t>(z % below);
}

void UnitModel::nextReport(uint8_t* report) {
    report[0] = 0;
    capture(report + 1);
    report[kReportSize - 1] = ++sequence_;
}

void UnitModel::capture(uint8_t* blk) {
    std::fill(blk, blk + kBlockSize, uint8_t{0});

    // The wave drifts a little from capture to capture and is caught at a new phase.
    phase_ += 5 + random(11);
    amplitude_ = std::clamp(amplitude_ + static_cast<int>(random(7)) - 3, 60, 100);
    offset_ = std::clamp(offset_ + static_cast<int>(random(5)) - 2, 105, 125);
    os2Level_ = std::clamp(os2Level_ + static_cast<int>(random(5)) - 2, 190, 210);

    const uint8_t low = working_[block::kThreshold0 - block::kPollPeriod];
    const uint8_t high = working_[block::kThreshold1 - block::kPollPeriod];
    const int os2Length = working_[block::kOs2Length - block::kPollPeriod];
    const int os2Delay = working_[block::kOs2Delay - block::kPollPeriod];

    int delayLeft = -1; // samples until a triggered OS2 pulse starts
    int pulseLeft = 0;
    int run = 0; // length of the OS2 high stretch in progress
    int runSum = 0;
    int timeInState1 = 0;
    for (size_t i = 0; i < kSamplePairs; ++i) {
        const double angle =
            2.0 * std::numbers::pi * static_cast<double>((phase_ + i) % kOs1Period) / kOs1Period;
        const uint8_t a =
            clampByte(offset_ + static_cast<int>(std::lround(amplitude_ * std::sin(angle))) +
                      static_cast<int>(random(7)) - 3);
        const bool before = comparator_;
        if (mode_ == command::kOs1Force0)
            comparator_ = false;
        else if (mode_ == command::kOs1Force1)
            comparator_ = true;
        else if (a >= high)
            comparator_ = true;
        else if (a <= low)
            comparator_ = false;
        if (comparator_ && !before && delayLeft < 0 && pulseLeft == 0)
            delayLeft = os2Delay;
        if (delayLeft == 0) {
            pulseLeft = os2Length;
            delayLeft = -1;
        } else if (delayLeft > 0) {
            --delayLeft;
        }

        bool os2 = pulseLeft > 0;
        if (pulseLeft > 0)
            --pulseLeft;
        if (mode_ == command::kOs2Force0)
            os2 = false;
        else if (mode_ == command::kOs2Force1)
            os2 = true;
        const uint8_t b = clampByte((os2 ? os2Level_ : 1) + static_cast<int>(random(4)));
        if (os2) {
            ++run;
            runSum += b;
            os2Voltage_ = clampByte(runSum / run);
        } else if (run > 0) {
            os2PulseTime_ = clampByte(run);
            run = 0;
            runSum = 0;
        }

        blk[2 * i] = a;
        blk[2 * i + 1] = b;
        os1Min_ = std::min(os1Min_, a);
        os1Max_ = std::max(os1Max_, a);
        timeInState1 += comparator_ ? 1 : 0;
    }

    // The sweep turns at either end; stopping on the end value keeps it
    // moving on every capture.
    position_ = std::clamp(position_ + direction_ * static_cast<int>(3 + random(4)), 0, 255);
    if (position_ == 255)
        direction_ = -1;
    else if (position_ == 0)
        direction_ = 1;

    std::copy(working_.begin(), working_.end(), blk + block::kPollPeriod);
    blk[block::kScale] = kScaleByte;
    blk[block::kOs1Min] = os1Min_;
    blk[block::kOs1Max] = os1Max_;
    blk[block::kOs2Voltage] = os2Voltage_;
    blk[block::kPosition] = static_cast<uint8_t>(position_);
    blk[block::kOs2PulseTime] = os2PulseTime_;
    blk[block::kOs1Time1] = static_cast<uint8_t>(timeInState1);
    blk[block::kOs1Time0] = static_cast<uint8_t>(kSamplePairs - timeInState1);
    blk[block::kOs1State] = comparator_ ? 1 : 0;
    blk[block::kCommand] = mode_;
}

void UnitModel::acceptReport(const uint8_t* report) {
    const uint8_t* blk = report + 1;
    std::copy(blk + block::kPollPeriod, blk + block::kPollPeriod + working_.size(),
              working_.begin());
    switch (blk[block::kCommand]) {
    case command::kNormal:
    case command::kOs1Force0:
    case command::kOs1Force1:
    case command::kOs2Force0:
    case command::kOs2Force1:
        mode_ = blk[block::kCommand];
        break;
    case command::kReadEeprom:
        working_ = eeprom_;
        break;
    case command::kSaveEeprom:
        eeprom_ = working_;
        break;
    case command::kResetVariables:
        resetMeasurements();
        break;
    default:
        break; // an unknown code changes nothing
    }
}

} // namespace virtualunit
