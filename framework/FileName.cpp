#include "framework/FileName.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace framework {

namespace {

constexpr char16_t kByteStandIn = 0xDC00; // + a byte from 0x80 to 0xFF

// The length of the valid UTF-8 sequence at `at`, 0 when there is none.
int SequenceLength(const QByteArray& bytes, qsizetype at, char32_t& codePoint) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint < 0xE000))
        return 0;
    return length;
}

} // namespace

QString ArgumentText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t codePoint = 0;
        const int length = SequenceLength(bytes, at, codePoint);
        if (length == 0) {
            text +=
                QChar(static_cast<char16_t>(kByteStandIn + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        text += QString::fromUcs4(&codePoint, 1);
        at += length;
    }
    return text;
}

QByteArray FileNameBytes(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool lone = unit >= kByteStandIn + 0x80 && unit <= kByteStandIn + 0xFF &&
                          (i == 0 || !name[i - 1].isHighSurrogate());
        if (!lone)
            continue;
        bytes += QStringView(name).sliced(plainFrom, i - plainFrom).toUtf8();
        bytes += static_cast<char>(unit - kByteStandIn);
        plainFrom = i + 1;
    }
    bytes += QStringView(name).sliced(plainFrom).toUtf8();
    return bytes;
}

QString PartNameBeside(const QString& path) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int kRandomLetters = 12; // 71 bits, from the system's own random source
    QString middle;
    for (int i = 0; i < kRandomLetters; ++i)
        middle += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(
            static_cast<quint32>(sizeof kLetters - 1))]);
    const QFileInfo info(path);
    return info.dir().filePath(QStringLiteral(".%1.%2.part").arg(info.fileName(), middle));
}

} // namespace framework
