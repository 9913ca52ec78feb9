// Any text the user types or pastes into a spin field: parsing never fails
// loudly, and whatever a field writes reads back to the same text.
// The first byte picks the separator and the number of decimals.

#include "widgets/NumText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QChar separator = (data[0] & 1) ? QChar(u',') : QChar(u'.');
    const int decimals = data[0] >> 1;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));

    if (const auto value = numspin::ParseFloatText(text, separator)) {
        Require(std::isfinite(*value));
        const QString written = numspin::FormatFixed(*value, decimals, separator);
        const auto back = numspin::ParseFloatText(written, separator);
        Require(back.has_value());
        Require(numspin::FormatFixed(*back, decimals, separator) == written);
    }
    if (const auto value = numspin::ParseIntegerText(text)) {
        Require(numspin::ParseIntegerText(numspin::FormatInteger(*value)) == value);
        Require(numspin::ParseHexText(numspin::FormatHex(*value)) == value);
    }
    if (const auto value = numspin::ParseHexText(text))
        Require(numspin::ParseHexText(numspin::FormatHex(*value)) == value);

    for (TValueType type : {vtInteger, vtFloat, vtHex}) {
        const long double read = numspin::TextToValue(text, type, 1.5L, separator);
        Require(!std::isnan(read));
        for (QChar c : text)
            numspin::IsAcceptedChar(c, type, text, separator, (data[0] & 2) != 0);
    }
    return 0;
}
