#include "unit/Block.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

void clear_bytes(std::uint8_t* buffer, int last_index) {
    if (buffer == nullptr || last_index < 0)
        return;
    std::memset(buffer, 0, static_cast<std::size_t>(last_index) + 1);
}

void FrameForSend(const TDataBlock& data, TReportBuffer& report) {
    clear_bytes(report.data(), block::kBlockSize);
    std::copy(data.begin(), data.end(), report.begin() + 1);
}

void PrepareForRead(TReportBuffer& report) {
    clear_bytes(report.data(), block::kBlockSize);
}

void BlockFromReport(const TReportBuffer& report, TDataBlock& data) {
    std::copy(report.begin() + 1, report.begin() + 1 + block::kBlockSize, data.begin());
}

int ScaleFromByte(std::uint8_t scaleByte) {
    return scaleByte == 0 ? block::kDefaultScale : scaleByte;
}

int ScaleOf(const TDataBlock& data) {
    return ScaleFromByte(data[block::kScaleByte]);
}

long double RawToVolts(std::uint8_t raw, int scaleValue) {
    const int divisor = scaleValue < 1 ? block::kDefaultScale : scaleValue;
    return (static_cast<long double>(raw) * block::kFullCountVolts) / divisor;
}

int VoltsToRaw(long double volts, int scaleValue) {
    const long double counts = (volts * scaleValue) / block::kFullCountVolts;
    if (!(counts > 0)) // negative, zero or not a number
        return 0;
    const long double rounded = std::round(counts);
    return rounded >= 255 ? 255 : static_cast<int>(rounded);
}

QString PrintfFixed(long double value, int decimals, const QLocale& locale) {
    // std::to_chars is exact and ignores every locale (unlike printf, which follows the user's
    // locale once a QApplication exists); the separator then comes from the QLocale given.
    char text[512];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return QString();
    QString out = QString::fromLatin1(text, result.ptr - text);
    if (const qsizetype dot = out.indexOf(QLatin1Char('.')); dot >= 0)
        out.replace(dot, 1, locale.decimalPoint());
    return out;
}
