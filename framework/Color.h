#pragma once
// A colour as the panel's drawing code writes it: one 24-bit number with blue in the high byte,
// green in the middle and red in the low byte (0xFF0000 blue, 0x008000 green, 0x0000FF red).
// Bits above the 24 colour bits are ignored.

#include <QColor>
#include <QRgb>

#include <cstdint>

namespace framework {

class TColor {
public:
    constexpr TColor() = default;
    // Implicit on purpose: drawing code writes colours as plain numbers.
    constexpr TColor(std::uint32_t blueGreenRed) : value_(blueGreenRed & 0xFFFFFFu) {}

    constexpr std::uint32_t Value() const { return value_; }
    constexpr int Red() const { return int(value_ & 0xFFu); }
    constexpr int Green() const { return int((value_ >> 8) & 0xFFu); }
    constexpr int Blue() const { return int((value_ >> 16) & 0xFFu); }

    // Opaque 0xAARRGGBB, the pixel value of a 32-bit QImage.
    constexpr QRgb ToRgb() const {
        return 0xFF000000u | (std::uint32_t(Red()) << 16) | (std::uint32_t(Green()) << 8) |
               std::uint32_t(Blue());
    }
    QColor ToQColor() const { return QColor::fromRgb(ToRgb()); }

    // Alpha is dropped: a TColor is always opaque.
    static constexpr TColor FromRgb(QRgb rgb) {
        return TColor(((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu));
    }
    static TColor FromQColor(const QColor& color) { return FromRgb(color.rgb()); }

    friend constexpr bool operator==(TColor a, TColor b) = default;

private:
    std::uint32_t value_ = 0;
};

inline constexpr TColor clBlack{0x000000};
inline constexpr TColor clWhite{0xFFFFFF};
inline constexpr TColor clBlue{0xFF0000};
inline constexpr TColor clGreen{0x008000};
inline constexpr TColor clRed{0x0000FF};
inline constexpr TColor clGray{0x808080};

} // namespace framework
