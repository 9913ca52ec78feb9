// UTF-8 from sysfs and the control interface into the UTF-16 the program reads.

#include "platform/hidraw/WideStrings.h"

#include <gtest/gtest.h>

#include <array>

using hidmodules::copyWideString;
using hidmodules::utf8ToUtf16;

namespace {

TEST(WideStrings, DecodesEveryLengthOfSequence) {
    EXPECT_EQ(utf8ToUtf16("Mirdal-vk"), u"Mirdal-vk");
    EXPECT_EQ(utf8ToUtf16("Тарвеник"), u"Тарвеник");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600") << "a surrogate pair";
    EXPECT_EQ(utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(WideStrings, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD") << "overlong NUL";
    EXPECT_EQ(utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD") << "overlong three-byte form";
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD") << "an encoded surrogate";
    EXPECT_EQ(utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD") << "beyond U+10FFFF";
    EXPECT_EQ(utf8ToUtf16("ab\xD0"), u"ab\uFFFD") << "cut at the end";
    EXPECT_EQ(utf8ToUtf16("\xD0z"), u"\uFFFDz") << "the next character survives";
    EXPECT_EQ(utf8ToUtf16("\x80\xBF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82z"), u"\uFFFDz");
}

TEST(WideStrings, CopyCutsToTheBufferAndTerminatesWhenThereIsRoom) {
    std::array<uint8_t, 12> buffer{};
    buffer.fill(0xAA);
    ASSERT_TRUE(copyWideString(u"Жab", buffer.data(), 9)); // odd length: 4 characters fit
    EXPECT_EQ(buffer[0], 0x16);
    EXPECT_EQ(buffer[1], 0x04) << "little-endian";
    EXPECT_EQ(buffer[4], 'b');
    EXPECT_EQ(buffer[6], 0);
    EXPECT_EQ(buffer[7], 0);
    EXPECT_EQ(buffer[8], 0xAA) << "the odd byte is not written";

    buffer.fill(0xAA);
    ASSERT_TRUE(copyWideString(u"abcdefgh", buffer.data(), 6));
    EXPECT_EQ(buffer[4], 'c');
    EXPECT_EQ(buffer[6], 0xAA) << "cut without a NUL, nothing beyond the buffer";

    ASSERT_TRUE(copyWideString(u"", buffer.data(), 2));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(copyWideString(u"a", buffer.data(), 1));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(copyWideString(u"a", nullptr, 8));
    EXPECT_EQ(errno, ERROR_INVALID_PARAMETER);
}

} // namespace
