#include "framework/Canvas.h"

#include <gtest/gtest.h>

using framework::TCanvas;
using framework::TColor;

namespace {

QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    return image;
}

int CountOf(const TCanvas& canvas, TColor color) {
    int n = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            n += canvas.Pixel(x, y) == color;
    return n;
}

} // namespace

TEST(Color, BlueGreenRedOrderMapsToQColor) {
    EXPECT_EQ(TColor(0xFF0000).ToQColor(), QColor(0, 0, 255));
    EXPECT_EQ(TColor(0x008000).ToQColor(), QColor(0, 128, 0));
    EXPECT_EQ(TColor(0x0000FF).ToQColor(), QColor(255, 0, 0));
    EXPECT_EQ(TColor(0x808080).ToQColor(), QColor(128, 128, 128));
    EXPECT_EQ(TColor::FromQColor(QColor(0x12, 0x34, 0x56)).Value(), 0x563412u);
    EXPECT_EQ(TColor(0xFF123456).Value(), 0x123456u); // bits above the colour are dropped
    EXPECT_EQ(TColor::FromRgb(TColor(0xABCDEF).ToRgb()), TColor(0xABCDEF));
}

TEST(Canvas, PolylinePaintsEachJointOnceAndLeavesTheLastPointOut) {
    TCanvas canvas(White(20, 20));
    canvas.Pen.Color = 0x0000FF;
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 1);
    canvas.LineTo(5, 5);
    EXPECT_EQ(canvas.PenPos(), QPoint(5, 5));
    EXPECT_EQ(canvas.Pixel(1, 1), TColor(0x0000FF));
    EXPECT_EQ(canvas.Pixel(5, 1), TColor(0x0000FF)); // the joint, painted by the second line
    EXPECT_EQ(canvas.Pixel(5, 4), TColor(0x0000FF));
    EXPECT_EQ(canvas.Pixel(5, 5), framework::clWhite); // the last end point
    EXPECT_EQ(CountOf(canvas, 0x0000FF), 8);
    EXPECT_EQ(canvas.Bitmap().pixel(1, 1), QColor(255, 0, 0).rgb());
}

TEST(Canvas, MoveToDrawsNothingAndLinesOutsideMoveThePen) {
    TCanvas canvas(White(10, 10));
    int changes = 0;
    canvas.SetOnChange([&] { ++changes; });
    canvas.MoveTo(3, 3);
    canvas.MoveTo(-50, 3);
    canvas.LineTo(-20, 3); // entirely outside
    EXPECT_EQ(canvas.PenPos(), QPoint(-20, 3));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(CountOf(canvas, framework::clWhite), 100);
    canvas.LineTo(20, 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(CountOf(canvas, framework::clBlack), 10);
}

TEST(Canvas, WidePenAndFillRectFollowThePixelRules) {
    TCanvas canvas(White(30, 20));
    canvas.Pen.Color = framework::clGray;
    canvas.Pen.Width = 4;
    canvas.MoveTo(10, 0);
    canvas.LineTo(10, 20);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(canvas.Pixel(x, 7) == framework::clGray, x >= 8 && x <= 11) << x;

    canvas.Brush.Color = framework::clGreen;
    canvas.FillRect(2, 3, 5, 7);
    EXPECT_EQ(CountOf(canvas, framework::clGreen), 3 * 4);
    EXPECT_EQ(canvas.Pixel(4, 6), framework::clGreen);
    EXPECT_EQ(canvas.Pixel(5, 6), framework::clWhite);
    EXPECT_EQ(canvas.Pixel(4, 7), framework::clWhite);

    canvas.Brush.Color = framework::clWhite;
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
    EXPECT_EQ(CountOf(canvas, framework::clWhite), 30 * 20);
}

TEST(Canvas, CopiesOfTheBitmapKeepTheirPixels) {
    TCanvas canvas(White(8, 8));
    const QImage before = canvas.Bitmap();
    canvas.MoveTo(0, 0);
    canvas.LineTo(8, 0);
    EXPECT_EQ(before.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(canvas.Bitmap().pixel(0, 0), 0xFF000000u);
}

TEST(Canvas, AcceptsAnyImageFormatAndAnEmptyImage) {
    QImage indexed(4, 4, QImage::Format_Grayscale8);
    indexed.fill(255);
    TCanvas canvas(indexed);
    EXPECT_EQ(canvas.Bitmap().format(), QImage::Format_RGB32);
    EXPECT_EQ(canvas.Pixel(3, 3), framework::clWhite);
    EXPECT_EQ(canvas.Pixel(4, 0), framework::clBlack); // outside

    TCanvas empty{QImage()};
    empty.MoveTo(0, 0);
    empty.LineTo(10, 10);
    empty.FillRect(0, 0, 10, 10);
    EXPECT_EQ(empty.Width(), 0);
}
