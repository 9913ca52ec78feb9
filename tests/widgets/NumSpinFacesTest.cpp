// The diagonal button's faces, pixel by pixel, and their cache.

#include "widgets/NumSpinFaces.h"
#include "WidgetTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace numspin;

namespace {

const QRgb kFace = qRgb(0xC0, 0xC0, 0xC0);
const QRgb kFrame = qRgb(0, 0, 0xFF);
const QRgb kShadow = qRgb(0x80, 0x80, 0x80);
const QRgb kLight = qRgb(0xFF, 0xFF, 0xFF);
const QRgb kInk = qRgb(0, 0, 0);
const TSpinFaceColors kColors{kFace, kFrame, kShadow, kLight};

QImage Render(int size, TNumSpinButtonState state) {
    return RenderSpinFace(QSize(size, size), state, kColors, LoadSpinGlyph("NUMSPINUP"),
                          LoadSpinGlyph("NUMSPINDOWN"));
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}

void ExpectGlyphPattern(const QImage& glyph, const char* const rows[6]) {
    ASSERT_EQ(glyph.size(), QSize(6, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(glyph.pixel(x, y) & 0xFFFFFF, rows[y][x] == 'X' ? 0u : 0xFFFFFFu)
                << x << "," << y;
}

} // namespace

TEST(NumSpinFaces, GlyphResourcesHoldTheArrows) {
    const char* const up[6] = {"..XX..", ".XXXX.", "XXXXXX", "..XX..", "..XX..", "..XX.."};
    const char* const down[6] = {"..XX..", "..XX..", "..XX..", "XXXXXX", ".XXXX.", "..XX.."};
    ExpectGlyphPattern(LoadSpinGlyph("NUMSPINUP"), up);
    ExpectGlyphPattern(LoadSpinGlyph("NUMSPINDOWN"), down);
}

TEST(NumSpinFaces, FrameAndDiagonalInEveryState) {
    for (auto state : {NotPressed, TopPressed, BottomPressed}) {
        const QImage f = Render(20, state);
        ASSERT_EQ(f.size(), QSize(20, 20));
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(At(f, i, 0), kFrame);
            EXPECT_EQ(At(f, 0, i), kFrame);
            EXPECT_EQ(At(f, 19, i), kFrame);
            EXPECT_EQ(At(f, i, 19), kFrame);
            EXPECT_EQ(At(f, i, 19 - i), kFrame) << "the diagonal at " << i;
        }
    }
}

TEST(NumSpinFaces, IdleFaceIsRaised) {
    const QImage f = Render(20, NotPressed);
    EXPECT_EQ(At(f, 1, 8), kLight) << "left edge of the top part";
    EXPECT_EQ(At(f, 8, 1), kLight) << "top edge";
    EXPECT_EQ(At(f, 1, 1), kLight);
    EXPECT_EQ(At(f, 17, 1), kShadow) << "the line's end point is left out, then drawn by the next";
    EXPECT_EQ(At(f, 5, 13), kShadow) << "shadow under the diagonal";
    EXPECT_EQ(At(f, 10, 18), kShadow) << "bottom edge";
    EXPECT_EQ(At(f, 18, 10), kShadow) << "right edge";
    EXPECT_EQ(At(f, 10, 10), kLight) << "highlight of the bottom part";
    EXPECT_EQ(At(f, 18, 2), kLight);
    EXPECT_EQ(At(f, 10, 11), kFace);
}

TEST(NumSpinFaces, GlyphsSitInTheirQuarters) {
    const QImage idle = Render(20, NotPressed);
    // Up glyph at (rnd(5 - 3) + 1, same) = (3, 3); white becomes the face.
    EXPECT_EQ(At(idle, 3, 3), kFace);
    EXPECT_EQ(At(idle, 5, 3), kInk);
    EXPECT_EQ(At(idle, 6, 3), kInk);
    EXPECT_EQ(At(idle, 4, 4), kInk);
    for (int x = 3; x <= 8; ++x)
        EXPECT_EQ(At(idle, x, 5), kInk);
    // Down glyph at (rnd(15 - 3) - 1, same) = (11, 11).
    EXPECT_EQ(At(idle, 11, 11), kFace);
    EXPECT_EQ(At(idle, 13, 11), kInk);
    for (int x = 11; x <= 16; ++x)
        EXPECT_EQ(At(idle, x, 14), kInk);

    const QImage top = Render(20, TopPressed);
    EXPECT_EQ(At(top, 5, 3), kFace) << "the up glyph moves by one when pressed";
    EXPECT_EQ(At(top, 6, 4), kInk);
    EXPECT_EQ(At(top, 7, 4), kInk);
    EXPECT_EQ(At(top, 13, 11), kInk) << "the down glyph never moves";
    const QImage bottom = Render(20, BottomPressed);
    EXPECT_EQ(At(bottom, 5, 3), kInk);
    EXPECT_EQ(At(bottom, 13, 11), kInk);
}

TEST(NumSpinFaces, GlyphPlacementRoundsHalvesToEven) {
    // 18 wide: 3 * 18 / 4 - 3 = 10.5 rounds to 10, so the down glyph is at 9.
    const QImage f = Render(18, NotPressed);
    EXPECT_EQ(At(f, 11, 9), kInk);
    EXPECT_EQ(At(f, 12, 9), kInk);
    EXPECT_EQ(At(f, 13, 10), kFace);
    // 4.5 - 3 = 1.5 rounds to 2: the up glyph is at 3.
    EXPECT_EQ(At(f, 5, 3), kInk);
    EXPECT_EQ(At(f, 4, 3), kFace);
}

TEST(NumSpinFaces, PressedFacesSwapLightAndShadow) {
    const QImage top = Render(20, TopPressed);
    EXPECT_EQ(At(top, 1, 8), kShadow);
    EXPECT_EQ(At(top, 8, 1), kShadow);
    EXPECT_EQ(At(top, 5, 13), kFace) << "no shadow under the diagonal";
    EXPECT_EQ(At(top, 17, 1), kFace) << "the top edge stops before its end point";
    EXPECT_EQ(At(top, 16, 1), kShadow);
    EXPECT_EQ(At(top, 10, 18), kShadow);
    EXPECT_EQ(At(top, 10, 10), kLight);

    const QImage bottom = Render(20, BottomPressed);
    EXPECT_EQ(At(bottom, 1, 8), kLight);
    EXPECT_EQ(At(bottom, 5, 13), kShadow);
    EXPECT_EQ(At(bottom, 10, 18), kLight);
    EXPECT_EQ(At(bottom, 18, 10), kLight);
    EXPECT_EQ(At(bottom, 10, 10), kShadow);
    EXPECT_EQ(At(bottom, 10, 11), kShadow) << "the extra inner shadow";
    EXPECT_EQ(At(bottom, 3, 18), kShadow);
    EXPECT_EQ(At(bottom, 18, 3), kShadow);
}

TEST(NumSpinFaces, ColouredGlyphLosesItsBottomLeftColour) {
    QImage glyph(4, 4, QImage::Format_RGB32);
    glyph.fill(qRgb(0xFF, 0, 0));
    glyph.setPixel(0, 3, qRgb(0, 0xFF, 0));
    glyph.setPixel(2, 1, qRgb(0, 0xFF, 0));
    const QImage f = RenderSpinFace(QSize(20, 20), NotPressed, kColors, glyph, QImage());
    // rnd(5 - 2) + 1 = 4.
    EXPECT_EQ(At(f, 4, 4), qRgb(0xFF, 0, 0));
    EXPECT_EQ(At(f, 6, 5), kFace) << "the transparent colour";
    EXPECT_EQ(At(f, 4, 7), kFace);
}

TEST(NumSpinFaces, TinySizesDoNotFail) {
    for (int size : {0, 1, 2, 3, 5}) {
        const QImage f = Render(size, BottomPressed);
        EXPECT_EQ(f.width(), size);
    }
}

TEST(NumSpinFaces, ButtonCachesItsFacesAndPaintsThePressedOne) {
    QWidget window;
    auto* b = new TNumSpinButton(&window);
    window.show();
    const QImage painted = b->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted, b->Face(NotPressed));
    const int renders = b->FaceRenderCount();
    b->grab();
    b->grab();
    EXPECT_EQ(b->FaceRenderCount(), renders) << "painting copies the cache";

    const QImage enabledTop = b->Face(TopPressed);
    b->setEnabled(false);
    EXPECT_TRUE(b->NeedsRedraw());
    EXPECT_EQ(b->Face(TopPressed), enabledTop) << "a disabled button looks the same";
    EXPECT_EQ(b->FaceRenderCount(), renders + 1);

    b->resize(30, 30);
    EXPECT_EQ(b->Face(NotPressed).size(), QSize(30, 30));
    EXPECT_EQ(b->FaceRenderCount(), renders + 2);

    QImage dot(2, 2, QImage::Format_RGB32);
    dot.fill(Qt::white);
    dot.setPixel(1, 0, qRgb(1, 2, 3));
    b->SetUpGlyph(dot);
    EXPECT_TRUE(b->NeedsRedraw());
    EXPECT_EQ(b->UpGlyph().size(), QSize(2, 2));
    b->SetUpGlyph(QImage());
    EXPECT_EQ(b->UpGlyph().size(), QSize(6, 6)) << "none brings back the built-in glyph";
    b->SetDownGlyph(dot);
    b->SetDownGlyph(QImage());
    EXPECT_EQ(b->DownGlyph(), LoadSpinGlyph("NUMSPINDOWN"));
}
