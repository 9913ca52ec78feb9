#include "platform/hidraw/WideStrings.h"

#include "platform/hidraw/ModuleErrors.h"

#include <cstring>

namespace hidmodules {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the sequence a lead byte announces, 0 for a byte that cannot lead.
int sequenceLength(unsigned char lead) {
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

void appendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

} // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = sequenceLength(lead);
        if (length == 0) {
            appendCodePoint(out, kReplacement);
            ++i;
            continue;
        }
        if (length == 1) {
            out.push_back(lead);
            ++i;
            continue;
        }
        char32_t cp = lead & (0x7F >> length);
        int taken = 1;
        bool valid = true;
        for (; taken < length; ++taken) {
            if (i + taken >= utf8.size()) {
                valid = false;
                break;
            }
            const auto next = static_cast<unsigned char>(utf8[i + taken]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        appendCodePoint(out, valid ? cp : kReplacement);
        i += valid ? length : (taken > 1 ? taken : 1);
    }
    return out;
}

BOOLEAN copyWideString(const std::u16string& text, PVOID buffer, ULONG length) {
    if (buffer == nullptr)
        return failHid(ERROR_INVALID_PARAMETER);
    const size_t capacity = length / 2;
    if (capacity == 0)
        return failHid(ERROR_INVALID_USER_BUFFER);
    const size_t count = text.size() < capacity ? text.size() : capacity;
    auto* out = static_cast<unsigned char*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    if (count < capacity) {
        out[2 * count] = 0;
        out[2 * count + 1] = 0;
    }
    return TRUE;
}

} // namespace hidmodules
