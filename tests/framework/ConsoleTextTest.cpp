// The tool's Russian words on their way to a Windows console: UTF-8 written in pieces, as a
// stream writes it, comes out as whole UTF-16 characters.

#include "framework/ConsoleText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string InPieces(const std::string& bytes, std::size_t piece) {
    framework::TUtf8Pieces pieces;
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); i += piece)
        text += pieces.Take(std::string_view(bytes).substr(i, piece));
    return text;
}

} // namespace

TEST(ConsoleText, UnitTextWrittenInAnyPiecesComesOutWhole) {
    const std::string bytes = "Порог OS1 = 1.00 В; ≥ 2.5 В 😀\n";
    const std::u16string expected = u"Порог OS1 = 1.00 В; ≥ 2.5 В 😀\n";
    for (std::size_t piece = 1; piece <= bytes.size(); ++piece)
        EXPECT_EQ(InPieces(bytes, piece), expected) << "pieces of " << piece << " bytes";
}

TEST(ConsoleText, BytesThatAreNoUtf8ShowAsReplacementCharacters) {
    framework::TUtf8Pieces pieces;
    // A lone continuation byte, a lead cut short by plain text, an overlong form, a surrogate.
    EXPECT_EQ(pieces.Take("a\x80"
                          "b\xD0"
                          "c\xE0\x80\x80"
                          "\xED\xA0\x80"),
              u"a\uFFFDb\uFFFDc\uFFFD\uFFFD");
    // A character begun at the end of one write waits for the next one.
    EXPECT_EQ(pieces.Take("x\xD0"), u"x");
    EXPECT_EQ(pieces.Take("\xAF"), u"Я");
}
