#include "framework/ConsoleText.h"

namespace framework {

namespace {

// How many bytes the sequence that `lead` starts has; 0 for a byte that starts none.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool Continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::u16string TUtf8Pieces::Take(std::string_view piece) {
    std::string bytes = held_;
    bytes.append(piece);
    held_.clear();
    std::u16string text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = SequenceLength(lead);
        if (length == 0) {
            text.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        std::size_t have = 1;
        while (have < static_cast<std::size_t>(length) && i + have < bytes.size() &&
               Continuation(static_cast<unsigned char>(bytes[i + have])))
            ++have;
        if (have < static_cast<std::size_t>(length)) {
            if (i + have == bytes.size()) {
                held_ = bytes.substr(i); // the rest comes with the next piece
                break;
            }
            text.push_back(u'\uFFFD'); // cut short by a byte that continues nothing
            i += have;
            continue;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            text.push_back(u'\uFFFD');
        } else if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
        i += static_cast<std::size_t>(length);
    }
    return text;
}

} // namespace framework
