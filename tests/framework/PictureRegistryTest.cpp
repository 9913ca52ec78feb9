#include "framework/PictureRegistry.h"
#include "framework/Bitmap.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

using framework::TGraphicClass;
using framework::TPictureRegistry;

namespace {

struct TSketch : framework::TBitmap {
    QString ClassName() const override { return QStringLiteral("TSketch"); }
};

// Leaves the process-wide registry as the test found it.
struct RegistryGuard {
    ~RegistryGuard() {
        TPictureRegistry::Instance().UnregisterGraphicClass(TGraphicClass::Of<TSketch>());
        TPictureRegistry::Instance().UnregisterGraphicClass(
            TGraphicClass::Of<framework::TBitmap>());
    }
};

} // namespace

TEST(PictureRegistry, FindsFormatsWithoutCaseOrDot) {
    RegistryGuard guard;
    auto& registry = TPictureRegistry::Instance();
    registry.RegisterFileFormat(QStringLiteral(".SKT"), QStringLiteral("Sketch"),
                                TGraphicClass::Of<TSketch>());
    for (const char* ext : {"skt", ".skt", "Skt", ".SKT"}) {
        const auto format = registry.FindExtension(QString::fromLatin1(ext));
        ASSERT_TRUE(format) << ext;
        EXPECT_EQ(format->Extension, QStringLiteral("skt"));
        EXPECT_EQ(format->Description, QStringLiteral("Sketch"));
    }
    EXPECT_FALSE(registry.FindExtension(QStringLiteral("sk")));
    auto made = registry.CreateForExtension(QStringLiteral("skt"));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->ClassName(), QStringLiteral("TSketch"));
    EXPECT_EQ(registry.CreateForExtension(QStringLiteral("none")), nullptr);
}

TEST(PictureRegistry, LaterRegistrationWinsAndUnregisteringRemovesOnlyThatClass) {
    RegistryGuard guard;
    auto& registry = TPictureRegistry::Instance();
    registry.RegisterFileFormat(QStringLiteral("skt"), QStringLiteral("Sketch"),
                                TGraphicClass::Of<TSketch>());
    registry.RegisterFileFormat(QStringLiteral("sk2"), QStringLiteral("Sketch 2"),
                                TGraphicClass::Of<TSketch>());
    registry.RegisterFileFormat(QStringLiteral("bmpx"), QStringLiteral("Bitmap"),
                                TGraphicClass::Of<framework::TBitmap>());
    registry.RegisterFileFormat(QStringLiteral("sk2"), QStringLiteral("Bitmap too"),
                                TGraphicClass::Of<framework::TBitmap>());
    EXPECT_EQ(registry.FindExtension(QStringLiteral("sk2"))->Description,
              QStringLiteral("Bitmap too"));

    registry.UnregisterGraphicClass(TGraphicClass::Of<TSketch>());
    EXPECT_FALSE(registry.FindExtension(QStringLiteral("skt")));
    EXPECT_TRUE(registry.FindExtension(QStringLiteral("sk2")));
    EXPECT_TRUE(registry.FindExtension(QStringLiteral("bmpx")));
    int ours = 0;
    for (const auto& format : registry.Formats())
        ours += format.GraphicClass == TGraphicClass::Of<framework::TBitmap>();
    EXPECT_EQ(ours, 2);
}

TEST(PictureRegistry, AnExtensionIsRequired) {
    EXPECT_THROW(TPictureRegistry::Instance().RegisterFileFormat(
                     QStringLiteral(" . "), QStringLiteral("x"), TGraphicClass::Of<TSketch>()),
                 framework::EInvalidGraphicOperation);
}
