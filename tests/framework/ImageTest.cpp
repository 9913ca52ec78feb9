#include "framework/Image.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Widgets need an application object; the first test that asks makes one for the whole run.
void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "framework_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

} // namespace

TEST(Image, FirstCanvasUseMakesAWhiteBitmapOfTheControlSize) {
    EnsureApplication();
    framework::TImage image;
    image.resize(470, 255);
    EXPECT_FALSE(image.HasBitmap());
    EXPECT_TRUE(image.Picture().isNull());

    framework::TCanvas* canvas = image.Canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(image.HasBitmap());
    EXPECT_EQ(image.Canvas(), canvas); // made once
    EXPECT_EQ(image.Picture().size(), QSize(470, 255));
    EXPECT_EQ(canvas->Pixel(0, 0), framework::clWhite);
    EXPECT_EQ(canvas->Pixel(469, 254), framework::clWhite);

    // The bitmap keeps its size when the control changes size later.
    image.resize(100, 100);
    EXPECT_EQ(image.Canvas()->Width(), 470);
}

TEST(Image, ShowsWhatWasDrawn) {
    EnsureApplication();
    framework::TImage image;
    image.resize(40, 30);
    auto* canvas = image.Canvas();
    canvas->Pen.Color = framework::clRed;
    canvas->MoveTo(0, 10);
    canvas->LineTo(40, 10);

    const QImage shown = image.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(40, 30));
    EXPECT_EQ(QColor(shown.pixel(5, 10)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shown.pixel(5, 11)), QColor(255, 255, 255));
    EXPECT_EQ(image.Picture().pixel(39, 10), QColor(255, 0, 0).rgb());
}
