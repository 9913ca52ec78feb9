#include "imaging/JpegTexts.h"
#include "imaging/jpeg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <chrono>

namespace imaging {

using framework::TBitmap;

EJPEG::EJPEG(int MessageCode)
    : EInvalidGraphic(QString::fromLatin1(texts::JpegError)
                          .replace(QLatin1String("%d"), QLocale::c().toString(MessageCode))),
      code_(MessageCode) {}

TJPEGImage::TJPEGImage()
    : DecodeSmooth(NewImageDefaults.DecodeSmooth), GrayEncode(NewImageDefaults.GrayEncode),
      DecodeDepth(NewImageDefaults.DecodeDepth), JpegQuality(NewImageDefaults.JpegQuality),
      ProgressiveShow(NewImageDefaults.ProgressiveShow),
      ProgressiveSave(NewImageDefaults.ProgressiveSave), DecodeSpeed(NewImageDefaults.DecodeSpeed),
      DecodeScale(NewImageDefaults.DecodeScale), data_(new TJPEGData) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::AssignFrom(const framework::TGraphic& Source) {
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
        // The source may be this image's own held bitmap, which the
        // replacement frees: take its pixels first.
        TBitmap pixels;
        pixels.AssignFrom(*bitmap);
        ResetJpegData();
        ReplaceBitmap();
        bitmap_->AssignFrom(pixels);
        return;
    }
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&Source)) {
        if (jpeg == this)
            return;
        data_ = jpeg->data_;
        if (jpeg->bitmap_) {
            ReplaceBitmap();
            bitmap_->AssignFrom(*jpeg->bitmap_);
        }
        return;
    }
    TGraphic::AssignFrom(Source);
}

namespace {

// The size a decoder gives at a scale, rounded up. The scale is a plain byte; anything past the
// eighth counts as the eighth.
int ScaledSide(int side, TJpegDecodeScale scale) {
    const int divisor = 1 << std::min<int>(scale, jsEighth);
    return (side + divisor - 1) / divisor;
}

} // namespace

int TJPEGImage::Width() const {
    if (bitmap_)
        return bitmap_->Width();
    return ScaledSide(data_->Width, DecodeScale);
}

int TJPEGImage::Height() const {
    if (bitmap_)
        return bitmap_->Height();
    return ScaledSide(data_->Height, DecodeScale);
}

void TJPEGImage::SetWidth(int) {
    throw framework::EInvalidGraphicOperation(QString::fromLatin1(texts::ChangeJpegSize));
}

void TJPEGImage::SetHeight(int) {
    throw framework::EInvalidGraphicOperation(QString::fromLatin1(texts::ChangeJpegSize));
}

bool TJPEGImage::Empty() const {
    return !data_->Bytes && (!bitmap_ || bitmap_->Empty());
}

void TJPEGImage::SaveJpegFile(const QString& FileName) {
    // Unbuffered: every write reaches the file at once, so a full disk shows
    // in the count the write reports instead of vanishing in a late flush.
    QFile file(FileName);
    if (FileName.isEmpty() ||
        !file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        const QString path = FileName.isEmpty() ? FileName : QFileInfo(FileName).absoluteFilePath();
        throw framework::EFCreateError(
            QStringLiteral("Cannot create file \"%1\". %2")
                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    SaveJpegStream(file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw framework::EWriteError(
            QStringLiteral("Stream write error: %1").arg(file.errorString()));
}

void TJPEGImage::SaveJpegStream(QIODevice& Stream) {
    EnsureJpeg();
    if (!data_->Bytes)
        return; // a progress handler cancelled the compression: nothing to write
    const QByteArray& bytes = data_->Bytes->data();
    const qint64 written = Stream.write(bytes);
    // A short write would leave a cut-off picture that looks saved.
    if (written != bytes.size())
        throw framework::EWriteError(
            QStringLiteral("Stream write error: %1").arg(Stream.errorString()));
    if (auto* file = qobject_cast<QFileDevice*>(&Stream); file && !file->flush())
        throw framework::EWriteError(
            QStringLiteral("Stream write error: %1").arg(file->errorString()));
}

void TJPEGImage::EnsureJpeg() {
    if (!data_->Bytes)
        EncodeBitmap();
}

void TJPEGImage::ResetJpegData() {
    data_ = new TJPEGData;
}

void TJPEGImage::ReplaceBitmap() {
    bitmap_ = std::make_unique<TBitmap>();
}

std::uint32_t TJPEGImage::TickCount() const {
    if (tickSource_)
        return tickSource_();
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace imaging
