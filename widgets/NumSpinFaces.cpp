#include "widgets/NumSpinFaces.h"

#include "widgets/NumText.h"

#include <QImageReader>
#include <QString>
#include <cstdlib>
#include <cstring>

static void InitNumSpinResources() {
    Q_INIT_RESOURCE(numspin);
}

namespace {

QImage ReadSpinGlyph(const char* name) {
    InitNumSpinResources();
    // Read as the XBM it is: a reader that may detect the format loads every image format plugin
    // to ask whether it would rather read it, even with the format named.
    QImageReader reader(QStringLiteral(":/numspin/") + QLatin1String(name), "XBM");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

namespace numspin {

namespace {

class FacePainter {
public:
    explicit FacePainter(QImage& image) : image_(image) {}

    void Plot(int x, int y, QRgb color) {
        if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height())
            image_.setPixel(x, y, color);
    }

    // From (x0, y0) towards (x1, y1), the end point left out.
    void Line(int x0, int y0, int x1, int y1, QRgb color) {
        const int dx = std::abs(x1 - x0);
        const int dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const int sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        while (x0 != x1 || y0 != y1) {
            Plot(x0, y0, color);
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }

    void Polyline(std::initializer_list<QPoint> points, QRgb color) {
        const QPoint* previous = nullptr;
        for (const QPoint& p : points) {
            if (previous)
                Line(previous->x(), previous->y(), p.x(), p.y(), color);
            previous = &p;
        }
    }

    void Outline(int w, int h, QRgb color) {
        Polyline({{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}, {0, 0}}, color);
    }

    void Glyph(const QImage& glyph, int left, int top, QRgb face) {
        if (glyph.isNull())
            return;
        const QImage g = glyph.convertToFormat(QImage::Format_RGB32);
        const QRgb transparent = g.pixel(0, g.height() - 1);
        for (int y = 0; y < g.height(); ++y)
            for (int x = 0; x < g.width(); ++x) {
                const QRgb c = g.pixel(x, y);
                Plot(left + x, top + y, c == transparent ? face : c);
            }
    }

private:
    QImage& image_;
};

int RoundToInt(long double x) {
    return static_cast<int>(RoundHalfEven(x));
}

} // namespace

TSpinFaceColors SystemFaceColors(const QPalette& palette) {
    auto c = [&](QPalette::ColorRole role) { return palette.color(QPalette::Active, role).rgb(); };
    return {c(QPalette::Button), c(QPalette::Shadow), c(QPalette::Dark), c(QPalette::Light)};
}

QImage RenderSpinFace(QSize size, TNumSpinButtonState s, const TSpinFaceColors& colors,
                      const QImage& upGlyph, const QImage& downGlyph) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const int W = size.width();
    const int H = size.height();
    image.fill(colors.face);
    FacePainter p(image);
    p.Outline(W, H, colors.frame);
    p.Line(-1, H, W, -1, colors.frame);
    p.Polyline({{1, H - 4}, {1, 1}, {W - 3, 1}},
               s == TopPressed ? colors.shadow : colors.highlight);
    if (s != TopPressed)
        p.Line(1, H - 3, W - 2, 0, colors.shadow);
    p.Polyline({{2, H - 2}, {W - 2, H - 2}, {W - 2, 1}},
               s == BottomPressed ? colors.highlight : colors.shadow);
    p.Line(2, H - 2, W - 1, 1, s == BottomPressed ? colors.shadow : colors.highlight);
    const int d = s == TopPressed ? 2 : 1;
    p.Glyph(upGlyph, RoundToInt(W / 4.0L - upGlyph.width() / 2.0L) + d,
            RoundToInt(H / 4.0L - upGlyph.height() / 2.0L) + d, colors.face);
    p.Glyph(downGlyph, RoundToInt(3 * W / 4.0L - downGlyph.width() / 2.0L) - 1,
            RoundToInt(3 * H / 4.0L - downGlyph.height() / 2.0L) - 1, colors.face);
    if (s == BottomPressed)
        p.Line(3, H - 2, W - 1, 2, colors.shadow);
    return image;
}

QImage LoadSpinGlyph(const char* name) {
    // Every spin field's button has both glyphs: each is read once, and the copies share it.
    static const QImage up = ReadSpinGlyph("NUMSPINUP");
    static const QImage down = ReadSpinGlyph("NUMSPINDOWN");
    if (std::strcmp(name, "NUMSPINUP") == 0)
        return up;
    if (std::strcmp(name, "NUMSPINDOWN") == 0)
        return down;
    return ReadSpinGlyph(name);
}

} // namespace numspin
