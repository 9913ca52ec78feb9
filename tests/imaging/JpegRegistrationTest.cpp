#include "framework/PictureRegistry.h"
#include "imaging/jpeg.h"

#include <gtest/gtest.h>

using framework::TPictureRegistry;

TEST(JpegRegistration, RegistersBothExtensionsUntilShutDown) {
    {
        imaging::TJpegFormatsRegistration registration;
        auto& registry = TPictureRegistry::Instance();
        for (const char* extension : {"jpeg", "jpg", ".JPG"}) {
            const auto format = registry.FindExtension(QString::fromLatin1(extension));
            ASSERT_TRUE(format) << extension;
            EXPECT_EQ(format->Description, QStringLiteral("JPEG Image File"));
            auto made = registry.CreateForExtension(QString::fromLatin1(extension));
            EXPECT_TRUE(dynamic_cast<imaging::TJPEGImage*>(made.get()));
        }
        const auto formats = registry.Formats();
        ASSERT_GE(formats.size(), 2);
        EXPECT_EQ(formats[formats.size() - 2].Extension, QStringLiteral("jpeg"));
        EXPECT_EQ(formats.back().Extension, QStringLiteral("jpg"));
    }
    EXPECT_FALSE(TPictureRegistry::Instance().FindExtension(QStringLiteral("jpeg")));
    EXPECT_FALSE(TPictureRegistry::Instance().FindExtension(QStringLiteral("jpg")));
}

TEST(JpegRegistration, ScreensOf8BitsOrLessDecodeTo8Bits) {
    for (int depth : {1, 4, 8})
        EXPECT_EQ(imaging::DecodeDepthForScreenDepth(depth), imaging::dd8Bit) << depth;
    for (int depth : {15, 16, 24, 32})
        EXPECT_EQ(imaging::DecodeDepthForScreenDepth(depth), imaging::dd24Bit) << depth;
    // Without an application there is no screen; the default stays.
    const auto saved = imaging::NewImageDefaults;
    imaging::RegisterJpegFormats();
    EXPECT_EQ(imaging::NewImageDefaults.DecodeDepth, saved.DecodeDepth);
    imaging::UnregisterJpegFormats();
}
