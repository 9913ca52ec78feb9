// The virtual unit as the HID services reach it: identity, capabilities, the
// data block it serves, the commands it runs, failures and the log.

#include "VirtualUnitFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace testsupport;

namespace {

constexpr size_t kPoll = 1 + 235; // report offsets: block byte + 1
constexpr size_t kThreshold0 = 1 + 236;
constexpr size_t kThreshold1 = 1 + 237;
constexpr size_t kOs2Length = 1 + 238;
constexpr size_t kOs2Delay = 1 + 239;
constexpr size_t kScale = 1 + 240;
constexpr size_t kOs1Min = 1 + 241;
constexpr size_t kOs1Max = 1 + 242;
constexpr size_t kOs2Voltage = 1 + 243;
constexpr size_t kPosition = 1 + 244;
constexpr size_t kOs2PulseTime = 1 + 245;
constexpr size_t kTime1 = 1 + 246;
constexpr size_t kTime0 = 1 + 247;
constexpr size_t kState = 1 + 248;
constexpr size_t kCommand = 1 + 249;

uint8_t channelA(const Report& r, size_t i) {
    return r[1 + 2 * i];
}
uint8_t channelB(const Report& r, size_t i) {
    return r[2 + 2 * i];
}

class VirtualData : public VirtualUnitTest {
protected:
    void SetUp() override {
        VirtualUnitTest::SetUp();
        node = std::make_unique<OpenNode>(unitPath(), O_RDWR);
        ASSERT_TRUE(node->valid());
    }
    HANDLE h() const { return node->handle(); }
    Report command(uint8_t code) {
        Report r = readReport(h());
        r[kCommand] = code;
        writeReport(h(), r);
        return r;
    }
    // A feature read (or, with `send`, a write) on its own thread, which sets `error` to 0 on
    // success or to the module's error once the call returns.
    std::thread Request(std::atomic<int>& error, bool send = false) {
        error = -1;
        return std::thread([this, &error, send] {
            Report mine{};
            const bool done = send ? exports.HidD_SetFeature(h(), mine.data(), mine.size())
                                   : exports.HidD_GetFeature(h(), mine.data(), mine.size());
            error = done ? 0 : moduleError();
        });
    }
    void UntilStalled() {
        while (control.StalledRequests() == 0)
            std::this_thread::yield();
    }
    std::unique_ptr<OpenNode> node;
};

std::u16string wide(const uint16_t* text, size_t max) {
    std::u16string s;
    for (size_t i = 0; i < max && text[i] != 0; ++i)
        s.push_back(static_cast<char16_t>(text[i]));
    return s;
}

TEST_F(VirtualData, IdentifiesItselfAndAnswersQueriesOnAQueryOnlyHandle) {
    OpenNode query(unitPath(), O_PATH);
    ASSERT_TRUE(query.valid());
    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(exports.HidD_GetAttributes(query.handle(), &attributes));
    EXPECT_EQ(attributes.Size, sizeof attributes);
    EXPECT_NE(attributes.VendorID, 0);

    uint16_t text[254] = {};
    ASSERT_TRUE(exports.HidD_GetProductString(query.handle(), text, sizeof text));
    EXPECT_EQ(wide(text, 254), u"Tarvenik");
    ASSERT_TRUE(exports.HidD_GetManufacturerString(query.handle(), text, sizeof text));
    EXPECT_EQ(wide(text, 254), u"Mirdal-vk");

    PHIDP_PREPARSED_DATA preparsed = nullptr;
    ASSERT_TRUE(exports.HidD_GetPreparsedData(query.handle(), &preparsed));
    HIDP_CAPS caps{};
    ASSERT_EQ(exports.HidP_GetCaps(preparsed, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 0);
    EXPECT_EQ(caps.FeatureReportByteLength, 252);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_TRUE(exports.HidD_FreePreparsedData(preparsed));
    EXPECT_FALSE(exports.HidD_FreePreparsedData(preparsed)) << "freed twice";
    EXPECT_EQ(exports.HidP_GetCaps(preparsed, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_EQ(exports.HidP_GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);

    // Feature reports need read and write access.
    Report r{};
    EXPECT_FALSE(exports.HidD_GetFeature(query.handle(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_ACCESS_DENIED);
    OpenNode readOnly(unitPath(), O_RDONLY | O_NONBLOCK);
    EXPECT_FALSE(exports.HidD_SetFeature(readOnly.handle(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_ACCESS_DENIED);
}

TEST_F(VirtualData, StringsAreCutToTheBufferAsWindowsDoes) {
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += "Жё"; // two bytes each in UTF-8, one UTF-16 unit each
    control.SetStrings(0, longName.c_str(), nullptr);
    uint16_t text[260];
    std::fill(std::begin(text), std::end(text), 0xEEEE);
    ASSERT_TRUE(exports.HidD_GetProductString(h(), text, 508));
    EXPECT_EQ(text[0], 0x0416);
    EXPECT_EQ(text[253], 0x0451);
    EXPECT_EQ(text[254], 0xEEEE) << "nothing written past the buffer";

    control.SetStrings(0, "Tar", nullptr);
    ASSERT_TRUE(exports.HidD_GetProductString(h(), text, 8));
    EXPECT_EQ(wide(text, 4), u"Tar");
    ASSERT_TRUE(exports.HidD_GetProductString(h(), text, 6));
    EXPECT_EQ(text[2], u'r') << "exactly full: no room for the NUL";
    EXPECT_FALSE(exports.HidD_GetProductString(h(), text, 1));
    EXPECT_EQ(moduleError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(exports.HidD_GetProductString(h(), nullptr, 8));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);

    control.SetStrings(0, nullptr, "M\xFFk"); // malformed UTF-8 stays readable
    ASSERT_TRUE(exports.HidD_GetManufacturerString(h(), text, sizeof text));
    EXPECT_EQ(wide(text, 8), u"M\uFFFDk");
    EXPECT_EQ(wide(text, 8).size(), 3u);
    ASSERT_TRUE(exports.HidD_GetProductString(h(), text, sizeof text));
    EXPECT_EQ(wide(text, 8), u"Tar") << "NULL kept the product string";
}

TEST_F(VirtualData, ServesAPlausibleLiveBlock) {
    Report previous{};
    int passes200 = 0;
    int lastPosition = -1;
    bool wentDown = false;
    for (int n = 0; n < 300; ++n) {
        const Report r = readReport(h());
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[kScale], 64);
        EXPECT_EQ(r[kPoll], 10);
        EXPECT_EQ(r[kThreshold0], 58);
        EXPECT_EQ(r[kThreshold1], 145);
        EXPECT_EQ(r[kOs2Length], 20);
        EXPECT_EQ(r[kOs2Delay], 5);
        EXPECT_EQ(r[kCommand], 0);
        EXPECT_EQ(r[kTime1] + r[kTime0], 117);
        EXPECT_LE(r[kState], 1);
        uint8_t lowest = 255, highest = 0;
        for (size_t i = 0; i < 117; ++i) {
            lowest = std::min(lowest, channelA(r, i));
            highest = std::max(highest, channelA(r, i));
            const uint8_t b = channelB(r, i);
            EXPECT_TRUE(b < 10 || b > 180) << "OS2 is a pulse train, low or high";
        }
        EXPECT_LE(r[kOs1Min], lowest);
        EXPECT_GE(r[kOs1Max], highest);
        EXPECT_LT(lowest, 58) << "the wave crosses threshold 0";
        EXPECT_GT(highest, 145) << "and threshold 1";
        const int position = r[kPosition];
        if (lastPosition >= 0) {
            EXPECT_NE(position, lastPosition);
            EXPECT_LE(std::abs(position - lastPosition), 6);
            wentDown |= position < lastPosition;
            if (lastPosition <= 200 && position > 200)
                ++passes200;
        }
        lastPosition = position;
        EXPECT_NE(std::memcmp(r.data() + 1, previous.data() + 1, 234), 0) << "fresh traces";
        previous = r;
    }
    EXPECT_GE(passes200, 2);
    EXPECT_TRUE(wentDown);
    // With the default delay 5 and length 20 whole pulses fit in a trace.
    EXPECT_EQ(previous[kOs2PulseTime], 20);
    EXPECT_GT(previous[kOs2Voltage], 180);
}

TEST_F(VirtualData, RepeatsTheSameSequenceAfterAReset) {
    std::vector<Report> first;
    for (int i = 0; i < 5; ++i)
        first.push_back(readReport(h()));
    control.Reset();
    OpenNode again(unitPath(), O_RDWR);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(readReport(again.handle()), first[static_cast<size_t>(i)]);
}

TEST_F(VirtualData, KeepsParametersInItsOwnEeprom) {
    Report r = readReport(h());
    r[kPoll] = 33;
    r[kThreshold0] = 40;
    r[kThreshold1] = 200;
    r[kOs2Length] = 7;
    r[kOs2Delay] = 9;
    r[kCommand] = 0;
    writeReport(h(), r);
    Report now = readReport(h());
    EXPECT_EQ(now[kPoll], 33) << "written parameters are the working ones";
    EXPECT_EQ(now[kOs2Delay], 9);

    command(1); // reload from EEPROM
    now = readReport(h());
    EXPECT_EQ(now[kPoll], 10);
    EXPECT_EQ(now[kThreshold1], 145);

    r = now;
    r[kPoll] = 44;
    r[kOs2Length] = 12;
    r[kCommand] = 2; // save
    writeReport(h(), r);
    r[kPoll] = 99;
    r[kCommand] = 0;
    writeReport(h(), r);
    EXPECT_EQ(readReport(h())[kPoll], 99);
    command(1);
    now = readReport(h());
    EXPECT_EQ(now[kPoll], 44);
    EXPECT_EQ(now[kOs2Length], 12);

    // The EEPROM outlives unplugging; a reset of the modules restores it.
    control.Unplug(0);
    control.Plug(0);
    OpenNode replugged(unitPath(), O_RDWR);
    EXPECT_EQ(readReport(replugged.handle())[kPoll], 44);
    control.Reset();
    OpenNode fresh(unitPath(), O_RDWR);
    EXPECT_EQ(readReport(fresh.handle())[kPoll], 10);
}

TEST_F(VirtualData, ResetOfTheWorkingVariablesRestartsTheMeasurements) {
    // Accumulated extremes reach beyond any single trace after a while.
    Report r{};
    for (int i = 0; i < 40; ++i)
        r = readReport(h());
    command(32);
    r = readReport(h());
    uint8_t lowest = 255, highest = 0;
    for (size_t i = 0; i < 117; ++i) {
        lowest = std::min(lowest, channelA(r, i));
        highest = std::max(highest, channelA(r, i));
    }
    EXPECT_EQ(r[kOs1Min], lowest);
    EXPECT_EQ(r[kOs1Max], highest);
}

TEST_F(VirtualData, OutputTestsForceTheirSignal) {
    command(48);
    Report r = readReport(h());
    EXPECT_EQ(r[kCommand], 48);
    EXPECT_EQ(r[kState], 0);
    EXPECT_EQ(r[kTime1], 0);

    command(49);
    r = readReport(h());
    EXPECT_EQ(r[kState], 1);
    EXPECT_EQ(r[kTime1], 117);

    command(64);
    r = readReport(h());
    for (size_t i = 0; i < 117; ++i)
        EXPECT_LT(channelB(r, i), 10);

    command(65);
    r = readReport(h());
    EXPECT_EQ(r[kCommand], 65);
    for (size_t i = 0; i < 117; ++i)
        EXPECT_GT(channelB(r, i), 180);

    command(0);
    r = readReport(h());
    EXPECT_EQ(r[kCommand], 0);
    EXPECT_GT(r[kTime1], 0);
    EXPECT_GT(r[kTime0], 0);

    command(77); // unknown: nothing changes
    EXPECT_EQ(readReport(h())[kCommand], 0);
}

TEST_F(VirtualData, FixedBlockAndFailures) {
    std::array<unsigned char, 250> block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 7);
    control.SetFixedBlock(0, block.data());
    for (int n = 0; n < 2; ++n) {
        const Report r = readReport(h());
        EXPECT_EQ(r[0], 0);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), r.begin() + 1));
        EXPECT_EQ(r[251], 0xA5);
    }
    control.SetFixedBlock(0, nullptr);
    EXPECT_EQ(readReport(h())[kScale], 64);

    control.ClearLog();
    control.SetFailures(0, 1, 0);
    Report r{};
    r.fill(0x5C);
    r[0] = 0;
    const Report before = r;
    EXPECT_FALSE(exports.HidD_GetFeature(h(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(r, before) << "a failed read leaves the buffer alone";
    EXPECT_TRUE(exports.HidD_SetFeature(h(), r.data(), r.size()));
    control.SetFailures(0, 0, 1);
    EXPECT_FALSE(exports.HidD_SetFeature(h(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(exports.HidD_GetFeature(h(), r.data(), r.size()));
    EXPECT_EQ(control.LogCount(), 2) << "only successful calls are logged";
}

// A stalled unit keeps each request waiting, without holding up anyone else meanwhile: with no
// timeout and no error, as the Windows HID stack's calls wait; the stall's end answers it.
TEST_F(VirtualData, AStalledUnitKeepsRequestsWaitingWithTheBusFreeUntilItAnswers) {
    control.ClearLog();
    control.SetStall(0, 1);
    Report r{};
    r[0] = 1;
    EXPECT_FALSE(exports.HidD_GetFeature(h(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER) << "a malformed call is refused, not stalled";

    std::atomic<int> error{-1};
    std::thread waiting = Request(error);
    UntilStalled();
    HIDD_ATTRIBUTES attributes{};
    EXPECT_TRUE(exports.HidD_GetAttributes(h(), &attributes)) << "the bus is not held";
    control.SetStall(1, 0); // another unit's change wakes the wait; it goes on waiting
    EXPECT_EQ(control.LogCount(), 0);
    EXPECT_EQ(error, -1);
    control.SetStall(0, 0);
    waiting.join();
    EXPECT_EQ(error, 0) << "the request was answered once the unit answered again";
    EXPECT_EQ(control.LogCount(), 1);
    EXPECT_EQ(control.StalledRequests(), 0);

    control.SetStall(0, 1);
    std::thread unplugged = Request(error, true);
    // Whether the request is waiting yet or not, the unplug fails it as unplugged.
    control.Unplug(0);
    unplugged.join();
    EXPECT_EQ(error, ERROR_DEVICE_NOT_CONNECTED);
}

// Only a stack with a transfer timeout of its own (Linux's, 5 s) ends a wait with an error.
TEST_F(VirtualData, AStalledRequestTimesOutOnlyWhereTheStackHasATimeout) {
    control.SetStall(0, 1);
    std::atomic<int> error{-1};
    std::thread waiting = Request(error);
    UntilStalled();
#ifdef _WIN32
    EXPECT_EQ(control.TimeOutStalled(0), -1);
    EXPECT_EQ(control.StalledRequests(), 1);
    control.SetStall(0, 0);
    waiting.join();
    EXPECT_EQ(error, 0);
#else
    EXPECT_EQ(control.TimeOutStalled(0), 0);
    waiting.join();
    EXPECT_EQ(error, ERROR_SEM_TIMEOUT);
    EXPECT_EQ(control.LogCount(), 0) << "no request that timed out is logged";
#endif
}

// Put back in its port, a unit may keep its DevInst and so its interface path, as on Windows:
// a handle of the earlier plug stays dead all the same, and a new one reaches the unit.
TEST_F(VirtualData, AUnitPutBackKeepingItsDevInstHasTheSamePathAndOnlyNewHandlesReachIt) {
    const auto before = listInterfaces(exports);
    ASSERT_EQ(before.size(), 1u);
    control.KeepDevInst(0, 1);
    ASSERT_EQ(control.Unplug(0), 0);
    ASSERT_EQ(control.Plug(0), 0);
    const auto after = listInterfaces(exports);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].devInst, before[0].devInst);
    EXPECT_EQ(after[0].path, before[0].path);
    Report r{};
    EXPECT_FALSE(exports.HidD_GetFeature(h(), r.data(), r.size()));
    EXPECT_EQ(moduleError(), ERROR_DEVICE_NOT_CONNECTED);
    OpenNode again(after[0].path, O_RDWR);
    ASSERT_TRUE(again.valid());
    readReport(again.handle());

    control.Reset(); // and a plug after a reset is a fresh node again
    EXPECT_NE(listInterfaces(exports)[0].devInst, before[0].devInst);
}

TEST_F(VirtualData, RefusesMalformedFeatureCalls) {
    std::array<uint8_t, 300> big{};
    EXPECT_FALSE(exports.HidD_GetFeature(h(), big.data(), 251));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(exports.HidD_SetFeature(h(), big.data(), 0));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(exports.HidD_GetFeature(h(), nullptr, 252));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);
    big[0] = 3; // the unit has no numbered reports
    EXPECT_FALSE(exports.HidD_GetFeature(h(), big.data(), 252));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(exports.HidD_SetFeature(h(), big.data(), 252));
    EXPECT_EQ(moduleError(), ERROR_INVALID_PARAMETER);

    // A longer buffer is fine; only the report's 252 bytes are touched.
    big.fill(0xEE);
    big[0] = 0;
    EXPECT_TRUE(exports.HidD_GetFeature(h(), big.data(), big.size()));
    EXPECT_EQ(big[kScale], 64);
    EXPECT_EQ(big[252], 0xEE);
}

TEST_F(VirtualData, LogsEveryExchangeWithItsBufferAndTime) {
    EXPECT_EQ(control.LogCount(), 0);
    Report sent = readReport(h());
    sent[kCommand] = 32;
    writeReport(h(), sent);
    std::array<uint8_t, 260> longer{};
    ASSERT_TRUE(exports.HidD_GetFeature(h(), longer.data(), longer.size()));

    ASSERT_EQ(control.LogCount(), 3);
    VirtualUnitLogEntry e[3];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(control.LogEntry(i, &e[i]), 0);
    EXPECT_EQ(e[0].direction, 1);
    EXPECT_EQ(e[1].direction, 0);
    EXPECT_EQ(e[0].unit, 0);
    EXPECT_EQ(e[1].length, 252);
    EXPECT_EQ(e[2].length, 260);
    EXPECT_EQ(std::memcmp(e[1].report, sent.data(), 252), 0);
    EXPECT_EQ(std::memcmp(e[2].report, longer.data(), 252), 0);
    EXPECT_LE(e[0].monotonic_ns, e[1].monotonic_ns);
    EXPECT_LE(e[1].monotonic_ns, e[2].monotonic_ns);
    EXPECT_GT(e[0].monotonic_ns, 0);

    EXPECT_EQ(control.LogEntry(3, &e[0]), -1);
    EXPECT_EQ(control.LogEntry(-1, &e[0]), -1);
    EXPECT_EQ(control.LogEntry(0, nullptr), -1);
    control.ClearLog();
    EXPECT_EQ(control.LogCount(), 0);
}

TEST_F(VirtualData, UnitsAreIndependent) {
    control.Plug(1);
    const auto list = listInterfaces(exports);
    ASSERT_EQ(list.size(), 2u);
    OpenNode second(list[1].path, O_RDWR);
    control.SetStrings(1, "Other", nullptr);
    control.SetFailures(0, 1, 1);
    Report r = readReport(second.handle());
    r[kPoll] = 77;
    r[kCommand] = 2;
    writeReport(second.handle(), r);
    uint16_t text[16];
    ASSERT_TRUE(exports.HidD_GetProductString(h(), text, sizeof text));
    EXPECT_EQ(wide(text, 16), u"Tarvenik");
    control.SetFailures(0, 0, 0);
    EXPECT_EQ(readReport(h())[kPoll], 10);
    VirtualUnitLogEntry e{};
    ASSERT_EQ(control.LogEntry(1, &e), 0);
    EXPECT_EQ(e.unit, 1);
}

} // namespace
