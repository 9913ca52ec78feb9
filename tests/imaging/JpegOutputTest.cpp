// What the written JPEG stream holds, as a JPEG reader sees it.
#include "JpegDecoder.h"
#include "imaging/jpeg.h"

#include <QBuffer>
#include <gtest/gtest.h>

using framework::TBitmap;
using imaging::TJPEGImage;
using namespace testing_jpeg;

namespace {

QByteArray Encode(const TBitmap& bitmap, int quality = -1) {
    TJPEGImage image;
    image.AssignFrom(bitmap);
    if (quality >= 0)
        image.JpegQuality = std::uint8_t(quality);
    return Save(image);
}

// A colour seen through lossy compression.
void ExpectNear(const QColor& seen, const QColor& wanted, int tolerance, const char* where) {
    EXPECT_NEAR(seen.red(), wanted.red(), tolerance) << where;
    EXPECT_NEAR(seen.green(), wanted.green(), tolerance) << where;
    EXPECT_NEAR(seen.blue(), wanted.blue(), tolerance) << where;
}

} // namespace

TEST(JpegOutput, IsAJfifStreamWithTheStandardLayout) {
    TBitmap bitmap(40, 24);
    const QByteArray bytes = Encode(bitmap);
    ASSERT_GT(bytes.size(), 20);
    EXPECT_EQ(quint8(bytes[0]), 0xFF);
    EXPECT_EQ(quint8(bytes[1]), 0xD8);
    EXPECT_EQ(quint8(bytes[2]), 0xFF); // APP0 follows at once
    EXPECT_EQ(quint8(bytes[3]), 0xE0);
    EXPECT_EQ(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
    EXPECT_EQ(quint8(bytes[bytes.size() - 2]), 0xFF);
    EXPECT_EQ(quint8(bytes[bytes.size() - 1]), 0xD9);

    const Decoded jpeg = Decode(bytes);
    ASSERT_TRUE(jpeg.ok) << jpeg.errorCode;
    EXPECT_EQ(jpeg.width, 40);
    EXPECT_EQ(jpeg.height, 24);
    EXPECT_TRUE(jpeg.jfif);
    EXPECT_EQ(jpeg.jfifMajor, 1);
    EXPECT_EQ(jpeg.jfifMinor, 1);
    EXPECT_EQ(jpeg.densityUnit, 0);
    EXPECT_EQ(jpeg.xDensity, 1);
    EXPECT_EQ(jpeg.yDensity, 1);
    EXPECT_FALSE(jpeg.progressive);
    ASSERT_EQ(jpeg.components, 3);
    const Component y = jpeg.componentInfo[0], cb = jpeg.componentInfo[1],
                    cr = jpeg.componentInfo[2];
    EXPECT_EQ(y.id, 1);
    EXPECT_EQ(cb.id, 2);
    EXPECT_EQ(cr.id, 3);
    EXPECT_EQ(y.hSampling, 2);
    EXPECT_EQ(y.vSampling, 2);
    EXPECT_EQ(y.quantTable, 0);
    for (const Component& c : {cb, cr}) {
        EXPECT_EQ(c.hSampling, 1);
        EXPECT_EQ(c.vSampling, 1);
        EXPECT_EQ(c.quantTable, 1);
    }
    ExpectNear(jpeg.At(20, 12), Qt::white, 2, "white bitmap");
}

TEST(JpegOutput, MatchesTheLibrarysOwnFloatingPointEncode) {
    // Same defaults, tables, sampling, Huffman coding and transform as the
    // library gives on its own with the floating-point DCT: the same bytes.
    TBitmap bitmap(61, 35);
    for (int y = 0; y < 35; ++y)
        for (int x = 0; x < 61; ++x)
            bitmap.Image().setPixel(x, y, qRgb((x * 37) & 255, (y * 91 + x) & 255, (x ^ y) * 5));
    TBitmap bgr;
    bgr.AssignFrom(bitmap);
    bgr.SetPixelFormat24();
    for (int quality : {50, 90}) {
        const QByteArray ours = Encode(bitmap, quality);
        const QByteArray floating = ReferenceEncode(bgr, quality, true);
        ASSERT_FALSE(floating.isEmpty());
        EXPECT_EQ(ours, floating) << quality;
        // The picture is busy enough that another transform would show.
        EXPECT_NE(ours, ReferenceEncode(bgr, quality, false)) << quality;
    }
}

TEST(JpegOutput, QuantisationTablesFollowTheStoredQuality) {
    TBitmap bitmap(16, 16);
    struct Case {
        int stored, effective;
    };
    for (const Case c : {Case{50, 50}, Case{100, 100}, Case{0, 1}, Case{1, 1}, Case{25, 25},
                         Case{75, 75}, Case{101, 100}, Case{200, 100}, Case{255, 100}}) {
        const Decoded jpeg = Decode(Encode(bitmap, c.stored));
        ASSERT_TRUE(jpeg.ok);
        ASSERT_TRUE(jpeg.quantTables[0] && jpeg.quantTables[1]);
        EXPECT_EQ(*jpeg.quantTables[0], Scaled(kLuminanceK1, c.effective)) << c.stored;
        EXPECT_EQ(*jpeg.quantTables[1], Scaled(kChrominanceK2, c.effective)) << c.stored;
    }
    // The plain facts behind the scaling, independent of it.
    const Decoded at50 = Decode(Encode(bitmap, 50));
    EXPECT_EQ(*at50.quantTables[0], kLuminanceK1);
    EXPECT_EQ(*at50.quantTables[1], kChrominanceK2);
    const Decoded at100 = Decode(Encode(bitmap, 100));
    std::array<int, 64> ones{};
    ones.fill(1);
    EXPECT_EQ(*at100.quantTables[0], ones);
    EXPECT_EQ(*at100.quantTables[1], ones);
}

TEST(JpegOutput, ANewImageEncodesAtQuality90) {
    TBitmap bitmap(16, 16);
    TJPEGImage image;
    EXPECT_EQ(image.JpegQuality, 90);
    image.AssignFrom(bitmap);
    const Decoded jpeg = Decode(Save(image));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(*jpeg.quantTables[0], Scaled(kLuminanceK1, 90));
    EXPECT_EQ((*jpeg.quantTables[0])[0], 3); // 16 at scale 20 %
}

TEST(JpegOutput, PixelBytesAreReadBlueGreenRed) {
    struct Case {
        std::uint8_t b, g, r;
        QColor seen;
    };
    for (const Case& c :
         {Case{0x00, 0x00, 0xFF, QColor(255, 0, 0)}, Case{0xFF, 0x00, 0x00, QColor(0, 0, 255)},
          Case{0x00, 0xFF, 0x00, QColor(0, 255, 0)}}) {
        TBitmap bitmap(16, 16);
        FillBgr(bitmap, c.b, c.g, c.r);
        const Decoded jpeg = Decode(Encode(bitmap, 100));
        ASSERT_TRUE(jpeg.ok);
        ExpectNear(jpeg.At(8, 8), c.seen, 6, "solid colour");
    }
    // A 32-bit bitmap, as a window capture gives it, reaches the same colours.
    TBitmap captured(16, 16);
    captured.Image().fill(QColor(255, 0, 0));
    const Decoded jpeg = Decode(Encode(captured, 100));
    ExpectNear(jpeg.At(3, 3), QColor(255, 0, 0), 6, "32-bit source");
}

TEST(JpegOutput, RowsAndColumnsKeepTheirPlaces) {
    // Quadrants of different colours: a picture turned upside down or
    // mirrored would show the wrong colour in a corner.
    TBitmap bitmap(64, 48);
    QImage& image = bitmap.Image();
    image.fill(Qt::white);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const QColor colour =
                y < 24 ? (x < 32 ? Qt::red : Qt::green) : (x < 32 ? Qt::blue : Qt::black);
            image.setPixelColor(x, y, colour);
        }
    const Decoded jpeg = Decode(Encode(bitmap, 100));
    ASSERT_TRUE(jpeg.ok);
    ExpectNear(jpeg.At(8, 8), Qt::red, 8, "top left");
    ExpectNear(jpeg.At(56, 8), Qt::green, 8, "top right");
    ExpectNear(jpeg.At(8, 40), Qt::blue, 8, "bottom left");
    ExpectNear(jpeg.At(56, 40), Qt::black, 8, "bottom right");
}

TEST(JpegOutput, GrayEncodeWritesOneComponentWithJfif) {
    TBitmap bitmap(32, 16);
    FillBgr(bitmap, 0x00, 0x00, 0xFF);
    TJPEGImage image;
    image.AssignFrom(bitmap);
    image.GrayEncode = true;
    image.JpegQuality = 100;
    const Decoded jpeg = Decode(Save(image));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(image.JpegData().Gray, 1);
    EXPECT_TRUE(jpeg.jfif);
    ASSERT_EQ(jpeg.components, 1);
    EXPECT_EQ(jpeg.componentInfo[0].id, 1);
    EXPECT_EQ(jpeg.componentInfo[0].hSampling, 1);
    EXPECT_EQ(jpeg.componentInfo[0].quantTable, 0);
    EXPECT_NEAR(jpeg.At(10, 10).red(), 76, 3); // the luminance of pure red
}

TEST(JpegOutput, ProgressiveSaveWritesSeveralScans) {
    TBitmap bitmap(48, 40);
    bitmap.Image().fill(QColor(0, 0, 255));
    TJPEGImage image;
    image.AssignFrom(bitmap);
    image.ProgressiveSave = true;
    image.JpegQuality = 100;
    const Decoded jpeg = Decode(Save(image));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_TRUE(jpeg.progressive);
    EXPECT_EQ(image.JpegData().Gray, 0);
    ExpectNear(jpeg.At(30, 30), QColor(0, 0, 255), 6, "progressive");
}

TEST(JpegOutput, PicturesOneRowHighOrOneColumnWideEncode) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{9, 1}, Case{1, 1}, Case{1, 7}, Case{503, 1}}) {
        TBitmap bitmap(c.width, c.height);
        FillBgr(bitmap, 0xFF, 0x00, 0x00);
        TJPEGImage image;
        image.AssignFrom(bitmap);
        image.JpegQuality = 100;
        QByteArray bytes;
        ASSERT_NO_THROW(bytes = Save(image)) << c.width << "x" << c.height;
        const Decoded jpeg = Decode(bytes);
        ASSERT_TRUE(jpeg.ok);
        EXPECT_EQ(jpeg.width, c.width);
        EXPECT_EQ(jpeg.height, c.height);
        ExpectNear(jpeg.At(c.width - 1, c.height - 1), QColor(0, 0, 255), 8, "blue");
        EXPECT_EQ(image.JpegData().Width, c.width);
        EXPECT_EQ(image.JpegData().Height, c.height);
    }
}
