// Saving: when compression runs, what reaches the stream or file, and how
// failures end.
#include "JpegDecoder.h"
#include "ProgressLog.h"
#include "imaging/jpeg.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <jerror.h>
#include <memory>

using framework::TBitmap;
using imaging::TJPEGImage;
using namespace testing_jpeg;

namespace {

QByteArray ReadFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A picture with some detail, so that different settings give different bytes.
void Pattern(TBitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            bitmap.Image().setPixel(x, y, qRgb((x * 7) & 255, (y * 13) & 255, (x * y) & 255));
}

// Takes only part of every write, as a full or failing medium does.
class ShortDevice : public QIODevice {
public:
    ShortDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override { return length / 2; }
};

} // namespace

TEST(JpegSave, CompressesOnceAndReusesTheStream) {
    TBitmap bitmap(40, 30);
    Pattern(bitmap);
    TJPEGImage image;
    ProgressLog log;
    log.Attach(image);
    image.AssignFrom(bitmap);
    image.JpegQuality = 50;
    const QByteArray first = Save(image);
    image.JpegQuality = 10; // too late: the stream exists
    const QByteArray second = Save(image);
    EXPECT_EQ(first, second);
    EXPECT_EQ(log.Count(framework::psStarting), 1);
    EXPECT_EQ(*Decode(second).quantTables[0], kLuminanceK1);

    // A new bitmap makes the next save compress again, with today's quality.
    image.AssignFrom(bitmap);
    EXPECT_FALSE(image.JpegData().Bytes);
    const QByteArray third = Save(image);
    EXPECT_EQ(log.Count(framework::psStarting), 2);
    EXPECT_NE(third, first);
    EXPECT_EQ(*Decode(third).quantTables[0], Scaled(kLuminanceK1, 10));
}

TEST(JpegSave, ImagesAssignedFromOneAnotherShareOneCompression) {
    TBitmap bitmap(24, 24);
    Pattern(bitmap);
    auto first = std::make_unique<TJPEGImage>();
    first->AssignFrom(bitmap);
    ProgressLog firstLog, secondLog;
    firstLog.Attach(*first);
    TJPEGImage second;
    secondLog.Attach(second);
    second.JpegQuality = 5; // settings are not shared; the compression is
    second.AssignFrom(*first);
    EXPECT_EQ(&second.JpegData(), &first->JpegData());
    EXPECT_EQ(second.JpegDataHolders(), 2);
    EXPECT_EQ(second.Width(), 24);

    const QByteArray fromFirst = Save(*first);
    const QByteArray fromSecond = Save(second);
    EXPECT_EQ(fromFirst, fromSecond);
    EXPECT_EQ(firstLog.Count(framework::psStarting), 1);
    EXPECT_EQ(secondLog.entries.size(), 0u);

    first.reset(); // the last holder frees the shared data, not the first
    EXPECT_EQ(second.JpegDataHolders(), 1);
    EXPECT_EQ(Save(second), fromFirst);
}

TEST(JpegSave, AssigningAJpegWithoutBitmapKeepsTheOwnBitmap) {
    TBitmap bitmap(12, 10);
    TJPEGImage holder, bare;
    holder.AssignFrom(bitmap);
    holder.AssignFrom(bare);
    EXPECT_EQ(&holder.JpegData(), &bare.JpegData());
    ASSERT_TRUE(holder.HeldBitmap());
    EXPECT_EQ(holder.Width(), 12);
    EXPECT_EQ(holder.Height(), 10);
}

TEST(JpegSave, AnImageCanTakeItsOwnHeldBitmapAgain) {
    TBitmap bitmap(20, 10);
    Pattern(bitmap);
    TJPEGImage image;
    image.AssignFrom(bitmap);
    const QByteArray first = Save(image);
    image.AssignFrom(*image.HeldBitmap());
    EXPECT_FALSE(image.JpegData().Bytes); // a new bitmap: compress again
    EXPECT_EQ(image.Width(), 20);
    EXPECT_EQ(Save(image), first);
}

TEST(JpegSave, NothingToCompressGivesAnEmptyFileAndNoEvents) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("empty.jpg"));
    TBitmap noWidth, noHeight;
    noWidth.SetHeight(5);
    noHeight.SetWidth(5);
    const TBitmap* sources[] = {nullptr, &noWidth, &noHeight};
    for (const TBitmap* source : sources) {
        TJPEGImage image;
        ProgressLog log;
        log.Attach(image);
        if (source)
            image.AssignFrom(*source);
        EXPECT_TRUE(image.Empty());
        for (int save = 0; save < 2; ++save) {
            ASSERT_NO_THROW(image.SaveJpegFile(name));
            EXPECT_TRUE(QFile::exists(name));
            EXPECT_EQ(QFile(name).size(), 0);
        }
        EXPECT_TRUE(log.entries.empty());
        ASSERT_TRUE(image.JpegData().Bytes);
        EXPECT_EQ(image.JpegData().Bytes->size(), 0);
        EXPECT_FALSE(image.Empty()); // it holds a stream now, if an empty one
    }
}

TEST(JpegSave, ASideAbove65500PixelsIsALibraryErrorAndLeavesAnEmptyFile) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("wide.jpg"));
    for (const QSize size : {QSize(65501, 1), QSize(1, 65501)}) {
        TBitmap bitmap(size.width(), size.height());
        TJPEGImage image;
        ProgressLog log;
        log.Attach(image);
        image.AssignFrom(bitmap);
        try {
            image.SaveJpegFile(name);
            ADD_FAILURE() << "saved";
        } catch (const imaging::EJPEG& e) {
            EXPECT_EQ(e.Code(), JERR_IMAGE_TOO_BIG);
            EXPECT_EQ(e.Message(), QStringLiteral("JPEG error #%1").arg(JERR_IMAGE_TOO_BIG));
        }
        EXPECT_TRUE(QFile::exists(name));
        EXPECT_EQ(QFile(name).size(), 0);
        ASSERT_EQ(log.entries.size(), 2u);
        EXPECT_EQ(log.entries[0].stage, framework::psStarting);
        EXPECT_EQ(log.entries[1].stage, framework::psEnding);
        EXPECT_EQ(log.entries[1].percent, 0);
        // The cut-off stream is not kept: a later save tries again.
        EXPECT_FALSE(image.JpegData().Bytes);
        EXPECT_THROW(image.SaveJpegFile(name), imaging::EJPEG);
    }
    // 65500 is still allowed.
    TBitmap widest(65500, 1);
    TJPEGImage image;
    image.AssignFrom(widest);
    const Decoded jpeg = Decode(Save(image));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.width, 65500);
}

TEST(JpegSave, AFileThatCannotBeCreatedFailsBeforeCompressing) {
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString names[] = {dir.filePath(QStringLiteral("missing/shot.jpg")),
                             dir.filePath(QStringLiteral("plain/shot.jpg")), QString()};
    for (const QString& name : names) {
        TBitmap bitmap(8, 8);
        TJPEGImage image;
        ProgressLog log;
        log.Attach(image);
        image.AssignFrom(bitmap);
        try {
            image.SaveJpegFile(name);
            ADD_FAILURE() << "saved " << name.toStdString();
        } catch (const framework::EFCreateError& e) {
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("Cannot create file \"%1\". ").arg(QDir::toNativeSeparators(name))))
                << e.Message().toStdString();
        }
        EXPECT_TRUE(log.entries.empty());
        EXPECT_FALSE(image.JpegData().Bytes);
    }
}

TEST(JpegSave, AnExistingFileIsReplaced) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("061226_141530.jpg"));
    QFile old(name);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200000, 'x'));
    old.close();
    TBitmap bitmap(30, 20);
    Pattern(bitmap);
    TJPEGImage image;
    image.AssignFrom(bitmap);
    image.JpegQuality = 50;
    image.SaveJpegFile(name);
    const QByteArray written = ReadFile(name);
    EXPECT_EQ(written, Save(image));
    EXPECT_TRUE(Decode(written).ok);
}

TEST(JpegSave, AWriteTakenOnlyInPartIsAnError) {
    TBitmap bitmap(30, 20);
    Pattern(bitmap);
    TJPEGImage image;
    image.AssignFrom(bitmap);
    ShortDevice half;
    EXPECT_THROW(image.SaveJpegStream(half), framework::EWriteError);
    QBuffer closed;
    EXPECT_THROW(image.SaveJpegStream(closed), framework::EWriteError);

    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_THROW(image.SaveJpegFile(QStringLiteral("/dev/full")), framework::EWriteError);
}

TEST(JpegSave, TheCallersBitmapStaysAsItWas) {
    TBitmap bitmap(33, 17);
    Pattern(bitmap);
    const QImage before = bitmap.Image().copy();
    const uchar* pixels = bitmap.ConstScanLine(0);
    {
        TJPEGImage image;
        image.AssignFrom(bitmap);
        Save(image);
        ASSERT_TRUE(image.HeldBitmap());
        EXPECT_EQ(image.HeldBitmap()->Format(), QImage::Format_RGB32);
    }
    EXPECT_EQ(bitmap.Format(), QImage::Format_RGB32);
    EXPECT_EQ(bitmap.Image(), before);
    EXPECT_EQ(bitmap.ConstScanLine(0), pixels);

    // A caller may also drop its bitmap straight after handing it over.
    auto shortLived = std::make_unique<TBitmap>(10, 10);
    TJPEGImage image;
    image.AssignFrom(*shortLived);
    shortLived.reset();
    EXPECT_TRUE(Decode(Save(image)).ok);
}

TEST(JpegSave, SizeFollowsTheBitmapAndCannotBeSet) {
    TJPEGImage image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 0);
    // The decode scale is a plain byte: a value past the eighth scale still gives a size.
    image.DecodeScale = imaging::TJpegDecodeScale(200);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    TBitmap bitmap(30, 20);
    image.AssignFrom(bitmap);
    EXPECT_FALSE(image.Empty());
    EXPECT_EQ(image.Width(), 30);
    EXPECT_EQ(image.Height(), 20);
    for (int side = 0; side < 2; ++side) {
        try {
            side == 0 ? image.SetWidth(5) : image.SetHeight(5);
            ADD_FAILURE() << "resized";
        } catch (const framework::EInvalidGraphicOperation& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot change the size of a JPEG image"));
        }
    }
    EXPECT_EQ(image.Width(), 30);
}

TEST(JpegSave, OnlyBitmapsAndJpegImagesAreTaken) {
    struct TOther : framework::TGraphic {
        QString ClassName() const override { return QStringLiteral("TOther"); }
        int Width() const override { return 1; }
        int Height() const override { return 1; }
        void SetWidth(int) override {}
        void SetHeight(int) override {}
        bool Empty() const override { return false; }
    } other;
    TJPEGImage image;
    try {
        image.AssignFrom(other);
        ADD_FAILURE() << "taken";
    } catch (const framework::EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a TOther to a TJPEGImage"));
    }
    EXPECT_TRUE(image.Empty());
}

TEST(JpegSave, NewImagesStartFromTheDefaults) {
    const imaging::TJpegSettings saved = imaging::NewImageDefaults;
    imaging::NewImageDefaults = {77,   true, imaging::dsFast,    imaging::dd8Bit,
                                 true, true, imaging::jsQuarter, false};
    TJPEGImage image;
    imaging::NewImageDefaults = saved;
    EXPECT_EQ(image.JpegQuality, 77);
    EXPECT_TRUE(image.GrayEncode);
    EXPECT_EQ(image.DecodeSpeed, imaging::dsFast);
    EXPECT_EQ(image.DecodeDepth, imaging::dd8Bit);
    EXPECT_TRUE(image.ProgressiveShow);
    EXPECT_TRUE(image.ProgressiveSave);
    EXPECT_EQ(image.DecodeScale, imaging::jsQuarter);
    EXPECT_FALSE(image.DecodeSmooth);

    TJPEGImage plain;
    EXPECT_EQ(plain.JpegQuality, 90);
    EXPECT_FALSE(plain.GrayEncode);
    EXPECT_FALSE(plain.ProgressiveSave);
    EXPECT_TRUE(plain.DecodeSmooth);
    EXPECT_EQ(plain.JpegDataHolders(), 1);
    EXPECT_FALSE(plain.HeldBitmap());
}
