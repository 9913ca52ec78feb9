#include "framework/Bitmap.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <limits>

using framework::TBitmap;

namespace {

// Pixel (x, y) of a 32-bit bitmap as 0xRRGGBB.
QRgb Pixel(const TBitmap& bitmap, int x, int y) {
    return bitmap.Image().pixel(x, y) & 0xFFFFFF;
}

void Paint(TBitmap& bitmap, QRgb rgb) {
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            bitmap.Image().setPixel(x, y, 0xFF000000u | rgb);
}

struct ChangeCounter {
    int count = 0;
    void Changed(void*) { ++count; }
};

} // namespace

TEST(Bitmap, SidesCanBeSetOneAfterTheOtherAndNewPixelsAreWhite) {
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(bitmap.Format(), QImage::Format_RGB32);
    bitmap.SetWidth(5);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_TRUE(bitmap.Empty());
    bitmap.SetHeight(3);
    ASSERT_FALSE(bitmap.Empty());
    EXPECT_EQ(bitmap.Image().size(), QSize(5, 3));
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(bitmap, 4, 2), 0xFFFFFFu);
}

TEST(Bitmap, ResizingKeepsWhatFitsAtTheTopLeft) {
    TBitmap bitmap(4, 3);
    Paint(bitmap, 0x102030);
    bitmap.Image().setPixel(3, 1, 0xFFABCDEF);
    bitmap.SetSize(6, 2);
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0x102030u);
    EXPECT_EQ(Pixel(bitmap, 3, 1), 0xABCDEFu);
    EXPECT_EQ(Pixel(bitmap, 4, 0), 0xFFFFFFu); // added columns
    EXPECT_EQ(Pixel(bitmap, 5, 1), 0xFFFFFFu);
    bitmap.SetHeight(4);
    EXPECT_EQ(Pixel(bitmap, 3, 1), 0xABCDEFu);
    EXPECT_EQ(Pixel(bitmap, 0, 3), 0xFFFFFFu); // added rows

    // The same in the 24-bit layout, whose rows are padded.
    TBitmap packed(3, 2);
    packed.SetPixelFormat24();
    packed.ScanLine(1)[6] = 0x11; // blue of pixel (2, 1)
    packed.SetWidth(5);
    EXPECT_EQ(packed.Format(), QImage::Format_BGR888);
    EXPECT_EQ(packed.ConstScanLine(1)[6], 0x11);
    EXPECT_EQ(packed.ConstScanLine(1)[9], 0xFF);
}

TEST(Bitmap, BadSizesAreRefusedAndLeaveTheBitmapAsItWas) {
    TBitmap bitmap(2, 2);
    Paint(bitmap, 0x010203);
    EXPECT_THROW(bitmap.SetWidth(-1), framework::EInvalidGraphic);
    EXPECT_THROW(bitmap.SetSize(100000, 100000), framework::EOutOfMemory);
    // Sides whose byte count does not even fit in 64 bits are refused the same way.
    constexpr int kLargest = std::numeric_limits<int>::max();
    EXPECT_THROW(bitmap.SetSize(kLargest, kLargest), framework::EOutOfMemory);
    bitmap.SetPixelFormat24();
    EXPECT_THROW(bitmap.SetSize(kLargest, kLargest), framework::EOutOfMemory);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(Pixel(bitmap, 1, 1), 0x010203u);
}

TEST(Bitmap, ScanLineAcceptsOnlyRowsOfThePicture) {
    TBitmap bitmap(3, 4);
    EXPECT_NO_THROW(bitmap.ScanLine(0));
    EXPECT_NO_THROW(bitmap.ConstScanLine(3));
    for (int row : {-1, 4, 1000}) {
        try {
            bitmap.ScanLine(row);
            ADD_FAILURE() << "row " << row << " accepted";
        } catch (const framework::EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Scan line index out of range"));
        }
        EXPECT_THROW(bitmap.ConstScanLine(row), framework::EInvalidGraphic);
    }
    TBitmap noPixels;
    noPixels.SetHeight(3); // width still 0
    EXPECT_THROW(noPixels.ScanLine(0), framework::EInvalidGraphic);
    EXPECT_THROW(TBitmap().ConstScanLine(0), framework::EInvalidGraphic);
}

TEST(Bitmap, AssignmentSharesPixelsUntilOneSideWrites) {
    TBitmap original(8, 2);
    Paint(original, 0x445566);
    TBitmap copy;
    copy.AssignFrom(original);
    EXPECT_EQ(copy.Width(), 8);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(copy.ConstScanLine(1), original.ConstScanLine(1)); // one storage

    uchar* row = copy.ScanLine(1); // the copy takes its own pixels first
    EXPECT_NE(static_cast<const uchar*>(row), original.ConstScanLine(1));
    row[0] = 0x99;
    EXPECT_EQ(Pixel(original, 0, 1), 0x445566u);

    copy.SetSize(1, 1);
    EXPECT_EQ(original.Width(), 8);
}

TEST(Bitmap, TwentyFourBitRowsAreBlueGreenRedAndTopDown) {
    for (int width : {1, 2, 3, 5, 503}) {
        TBitmap bitmap(width, 3);
        Paint(bitmap, 0xFF0000);                   // red
        bitmap.Image().setPixel(0, 2, 0xFF0000FF); // blue, bottom row
        TBitmap before;
        before.AssignFrom(bitmap);
        bitmap.SetPixelFormat24();
        ASSERT_TRUE(bitmap.IsPixelFormat24());
        const uchar* top = bitmap.ConstScanLine(0);
        EXPECT_EQ(top[0], 0x00);
        EXPECT_EQ(top[1], 0x00);
        EXPECT_EQ(top[2], 0xFF);
        const uchar* bottom = bitmap.ConstScanLine(2);
        EXPECT_EQ(bottom[0], 0xFF);
        EXPECT_EQ(bottom[2], 0x00);
        const qsizetype step = bitmap.ConstScanLine(1) - top;
        EXPECT_EQ(step, bitmap.BytesPerLine());
        EXPECT_GE(step, width * 3);
        EXPECT_EQ(step % 4, 0) << width;
        EXPECT_EQ(bottom - top, 2 * step);
        // The bitmap it shared its pixels with keeps its own layout.
        EXPECT_EQ(before.Format(), QImage::Format_RGB32);
        EXPECT_EQ(Pixel(before, 0, 0), 0xFF0000u);
    }
}

TEST(Bitmap, ConvertingWhatIsAlready24BitCopiesNothing) {
    TBitmap bitmap(4, 4);
    bitmap.SetPixelFormat24();
    const uchar* row = bitmap.ConstScanLine(0);
    bitmap.SetPixelFormat24();
    EXPECT_EQ(bitmap.ConstScanLine(0), row);
    // A bitmap without pixels remembers the layout for when it gets some.
    TBitmap empty;
    empty.SetPixelFormat24();
    empty.SetSize(2, 2);
    EXPECT_EQ(empty.Image().format(), QImage::Format_BGR888);
}

TEST(Bitmap, RefusesToTakeAnotherKindOfPicture) {
    struct TOther : framework::TGraphic {
        QString ClassName() const override { return QStringLiteral("TOther"); }
        int Width() const override { return 0; }
        int Height() const override { return 0; }
        void SetWidth(int) override {}
        void SetHeight(int) override {}
        bool Empty() const override { return true; }
    } other;
    TBitmap bitmap(2, 2);
    try {
        bitmap.AssignFrom(other);
        ADD_FAILURE() << "assignment accepted";
    } catch (const framework::EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a TOther to a TBitmap"));
    }
    EXPECT_EQ(bitmap.Width(), 2);
}

TEST(Bitmap, ChangesAreNotifiedAndImagesAreTaken) {
    ChangeCounter counter;
    TBitmap bitmap;
    bitmap.OnChange = framework::TNotifyEvent(&counter, &ChangeCounter::Changed);
    bitmap.SetSize(3, 3);
    bitmap.SetSize(3, 3); // no change
    bitmap.SetPixelFormat24();
    EXPECT_EQ(counter.count, 2);

    QImage mono(9, 2, QImage::Format_Mono);
    mono.fill(1);
    bitmap.SetImage(mono);
    EXPECT_EQ(bitmap.Width(), 9);
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Format(), QImage::Format_RGB32);
    EXPECT_NO_THROW(bitmap.ConstScanLine(1));
}
