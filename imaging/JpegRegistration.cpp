#include "framework/PictureRegistry.h"
#include "imaging/JpegTexts.h"
#include "imaging/jpeg.h"

#include <QGuiApplication>
#include <QScreen>

namespace imaging {

TJpegSettings NewImageDefaults;

TJpegDecodeDepth DecodeDepthForScreenDepth(int BitsPerPixel) {
    return BitsPerPixel > 0 && BitsPerPixel <= 8 ? dd8Bit : dd24Bit;
}

void RegisterJpegFormats() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen();
            screen && DecodeDepthForScreenDepth(screen->depth()) == dd8Bit)
            NewImageDefaults.DecodeDepth = dd8Bit;
    }
    auto& registry = framework::TPictureRegistry::Instance();
    const auto jpegClass = framework::TGraphicClass::Of<TJPEGImage>();
    const QString description = QString::fromLatin1(texts::JpegImageFile);
    registry.RegisterFileFormat(QStringLiteral("jpeg"), description, jpegClass);
    registry.RegisterFileFormat(QStringLiteral("jpg"), description, jpegClass);
}

void UnregisterJpegFormats() {
    framework::TPictureRegistry::Instance().UnregisterGraphicClass(
        framework::TGraphicClass::Of<TJPEGImage>());
}

} // namespace imaging
