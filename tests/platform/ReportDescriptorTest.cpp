// Report descriptors of real devices and broken ones, read into HIDP_CAPS.

#include "platform/hidraw/ReportDescriptor.h"
#include "platform/hidraw/PreparsedData.h"
#include "platform/virtual/TarvenikDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

using hidmodules::parseReportDescriptor;

namespace {

using Bytes = std::vector<uint8_t>;

// The boot keyboard of the USB HID class definition.
const Bytes kKeyboard{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
                      0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
                      0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
                      0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
                      0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// The boot mouse of the USB HID class definition: a physical collection inside.
const Bytes kMouse{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                   0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                   0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
                   0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

// A keyboard with a consumer-control report and a vendor feature report,
// told apart by report ids 1, 2 and 3.
const Bytes kWithIds{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29,
                     0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x06,
                     0x75, 0x08, 0x26, 0xFF, 0x00, 0x19, 0x00, 0x29, 0xFF, 0x81, 0x00, 0xC0, //
                     0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x03,
                     0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0, //
                     0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x95, 0x20,
                     0x09, 0x01, 0xB1, 0x02, 0xC0};

TEST(ReportDescriptor, TarvenikUnitHasA252ByteFeatureReportWithoutIds) {
    const auto s = parseReportDescriptor(virtualunit::kTarvenikReportDescriptor);
    ASSERT_TRUE(s.valid);
    EXPECT_FALSE(s.usesReportIds);
    EXPECT_EQ(s.caps.UsagePage, 0xFF00);
    EXPECT_EQ(s.caps.Usage, 1);
    EXPECT_EQ(s.caps.InputReportByteLength, 9);
    EXPECT_EQ(s.caps.OutputReportByteLength, 0);
    EXPECT_EQ(s.caps.FeatureReportByteLength, 252);
    EXPECT_EQ(s.caps.NumberLinkCollectionNodes, 1);
    EXPECT_EQ(s.caps.NumberInputValueCaps, 1);
    EXPECT_EQ(s.caps.NumberFeatureValueCaps, 1);
    EXPECT_EQ(s.caps.NumberInputButtonCaps, 0);
}

TEST(ReportDescriptor, BootKeyboardAndMouse) {
    const auto k = parseReportDescriptor(kKeyboard);
    ASSERT_TRUE(k.valid);
    EXPECT_EQ(k.caps.UsagePage, 1);
    EXPECT_EQ(k.caps.Usage, 6);
    EXPECT_EQ(k.caps.InputReportByteLength, 9);  // modifiers, reserved byte, six keys
    EXPECT_EQ(k.caps.OutputReportByteLength, 2); // five LEDs padded to a byte
    EXPECT_EQ(k.caps.FeatureReportByteLength, 0);
    EXPECT_EQ(k.caps.NumberInputButtonCaps, 2); // modifier bits, key array
    EXPECT_EQ(k.caps.NumberInputValueCaps, 0);
    EXPECT_EQ(k.caps.NumberInputDataIndices, 8 + 102);
    EXPECT_EQ(k.caps.NumberOutputButtonCaps, 1);
    EXPECT_EQ(k.caps.NumberOutputDataIndices, 5);

    const auto m = parseReportDescriptor(kMouse);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.caps.Usage, 2);
    EXPECT_EQ(m.caps.InputReportByteLength, 4);
    EXPECT_EQ(m.caps.NumberLinkCollectionNodes, 2);
    EXPECT_EQ(m.caps.NumberInputButtonCaps, 1);
    EXPECT_EQ(m.caps.NumberInputValueCaps, 2); // X and Y
}

TEST(ReportDescriptor, LongestReportPerKindPlusTheIdByte) {
    const auto s = parseReportDescriptor(kWithIds);
    ASSERT_TRUE(s.valid);
    EXPECT_TRUE(s.usesReportIds);
    EXPECT_EQ(s.caps.UsagePage, 1) << "the first top-level collection";
    EXPECT_EQ(s.caps.Usage, 6);
    EXPECT_EQ(s.caps.InputReportByteLength, 8); // id 1: 7 bytes, id 2: 2 bytes
    EXPECT_EQ(s.caps.FeatureReportByteLength, 33);
    EXPECT_EQ(s.caps.NumberLinkCollectionNodes, 3);

    // Bits of one report add up across items before rounding to bytes.
    const Bytes odd{0x05, 0x01, 0x09, 0x00, 0xA1, 0x01, 0x75, 0x03, 0x95,
                    0x01, 0x81, 0x02, 0x75, 0x06, 0x81, 0x02, 0xC0};
    EXPECT_EQ(parseReportDescriptor(odd).caps.InputReportByteLength, 3);

    // Long items are stepped over; a four-byte usage carries its page.
    const Bytes longItem{0x0B, 0x02, 0x00, 0x0D, 0x00, 0xA1, 0x01, 0xFE, 0x02, 0x10,
                         0xAA, 0xBB, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
    const auto l = parseReportDescriptor(longItem);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.caps.UsagePage, 0x0D);
    EXPECT_EQ(l.caps.Usage, 2);
    EXPECT_EQ(l.caps.InputReportByteLength, 2);

    // Push and pop restore the report size.
    const Bytes pushPop{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95,
                        0x04, 0xA4, 0x75, 0x10, 0x81, 0x02, 0xB4, 0x91, 0x02, 0xC0};
    const auto p = parseReportDescriptor(pushPop);
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.caps.InputReportByteLength, 9);
    EXPECT_EQ(p.caps.OutputReportByteLength, 5);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"empty", {}},
        {"no collection", {0x05, 0x01, 0x75, 0x08}},
        {"item cut short", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF}},
        {"long item cut short", {0x05, 0x01, 0xA1, 0x01, 0xFE, 0x05, 0x00, 0x01, 0xC0}},
        {"collection left open", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}},
        {"end without collection", {0x05, 0x01, 0xC0, 0xA1, 0x01, 0xC0}},
        {"report id 0", {0x05, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0}},
        {"report outside a collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
        {"report without id among numbered ones",
         {0x05, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02,
          0xC0}},
        {"pop without push", {0x05, 0x01, 0xA1, 0x01, 0xB4, 0xC0}},
        {"reserved item type", {0x05, 0x01, 0xA1, 0x01, 0x0C, 0xC0}},
        {"unknown main item", {0x05, 0x01, 0xA1, 0x01, 0xF0, 0xC0}},
        {"report size beyond 256 bits", {0x05, 0x01, 0xA1, 0x01, 0x76, 0x01, 0x01, 0xC0}},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_FALSE(parseReportDescriptor(bytes).valid) << name;

    Bytes deep{0x05, 0x01, 0xA1, 0x01};
    for (int i = 0; i < 17; ++i)
        deep.push_back(0xA4);
    deep.push_back(0xC0);
    EXPECT_FALSE(parseReportDescriptor(deep).valid) << "push stack overflow";

    // 300 items of 256 x 8 bits: far beyond what a report length can say.
    Bytes huge{0x05, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x01};
    for (int i = 0; i < 300; ++i) {
        huge.push_back(0x81);
        huge.push_back(0x02);
    }
    huge.push_back(0xC0);
    EXPECT_FALSE(parseReportDescriptor(huge).valid) << "report longer than 65534 bytes";
}

TEST(PreparsedData, CapsOnlyForLiveHandlesOfWellFormedDescriptors) {
    HIDP_CAPS caps{};
    const auto good = hidmodules::createPreparsedData(parseReportDescriptor(kMouse));
    const auto bad = hidmodules::createPreparsedData(parseReportDescriptor(Bytes{0xA1, 0x01}));
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 4);
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, nullptr), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_EQ(hidmodules::capsFromPreparsedData(bad, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    int notOurs = 0;
    EXPECT_EQ(
        hidmodules::capsFromPreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(&notOurs), &caps),
        HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_TRUE(hidmodules::freePreparsedData(good));
    EXPECT_TRUE(hidmodules::freePreparsedData(bad));
    EXPECT_FALSE(hidmodules::freePreparsedData(good));
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
}

} // namespace
