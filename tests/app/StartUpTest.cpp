// What start-up leaves until the window is on screen: work held for the first frame runs once
// after it, never for a window already gone; the window icon is the built-in picture until then,
// and the theme's icon afterwards only when the theme has one; the unit's services come after it.

#include "app/Desktop.h"
#include "app/FirstFrame.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

namespace {

// Events until `done` holds or nothing is left to do; no waiting on a clock.
template <typename F> void ProcessUntil(F done) {
    for (int round = 0; round < 50 && !done(); ++round)
        QCoreApplication::processEvents();
}

TEST(FirstFrame, WorkWaitsForTheFirstPaintAndRunsOnce) {
    QWidget window;
    window.resize(120, 90);
    int runs = 0;
    startup::AfterFirstFrame(window, [&runs] { ++runs; });
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0) << "ran before the window was shown";

    window.show();
    ProcessUntil([&] { return runs > 0; });
    EXPECT_EQ(runs, 1);

    window.repaint();
    window.update();
    ProcessUntil([] { return false; });
    EXPECT_EQ(runs, 1) << "ran again on a later frame";
}

TEST(FirstFrame, NothingRunsForAWindowThatWentFirst) {
    int runs = 0;
    auto window = std::make_unique<QWidget>();
    window->resize(120, 90);
    startup::AfterFirstFrame(*window, [&runs] { ++runs; });
    window->show();
    window.reset();
    ProcessUntil([] { return false; });
    EXPECT_EQ(runs, 0);
}

// The application's names and icon and the icon theme, as they were before a test changed them.
class IconTheme : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        paths_ = QIcon::themeSearchPaths();
        theme_ = QIcon::themeName();
        icon_ = QGuiApplication::windowIcon();
        organization_ = QCoreApplication::organizationName();
        application_ = QCoreApplication::applicationName();
        desktopFile_ = QGuiApplication::desktopFileName();
    }
    void TearDown() override {
        QIcon::setThemeSearchPaths(paths_);
        QIcon::setThemeName(theme_);
        QGuiApplication::setWindowIcon(icon_);
        QCoreApplication::setOrganizationName(organization_);
        QCoreApplication::setApplicationName(application_);
        QGuiApplication::setDesktopFileName(desktopFile_);
    }

    // A theme of one folder of 48-pixel application icons; with the panel's icon when `withIcon`.
    void MakeTheme(bool withIcon) {
        const QString theme = folder_.filePath(QStringLiteral("probe"));
        ASSERT_TRUE(QDir().mkpath(theme + QStringLiteral("/48x48/apps")));
        QFile index(theme + QStringLiteral("/index.theme"));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=probe\nDirectories=48x48/apps\n\n"
                    "[48x48/apps]\nSize=48\nContext=Applications\nType=Fixed\n");
        index.close();
        if (withIcon) {
            QImage picture(48, 48, QImage::Format_ARGB32);
            picture.fill(Qt::red);
            ASSERT_TRUE(picture.save(theme + QStringLiteral("/48x48/apps/") +
                                     QLatin1String(desktop::kIconName) + QStringLiteral(".png")));
        }
        QIcon::setThemeSearchPaths({folder_.path()});
        QIcon::setThemeName(QStringLiteral("probe"));
    }

    QTemporaryDir folder_;
    QStringList paths_;
    QString theme_;
    QIcon icon_;
    QString organization_, application_, desktopFile_;
};

TEST_F(IconTheme, NoPictureIsReadBeforeTheWindowThenTheThemesIcon) {
    MakeTheme(true);
    QGuiApplication::setWindowIcon(QIcon());
    desktop::Identify(false);
    EXPECT_TRUE(QGuiApplication::windowIcon().isNull()) << "the icon was read before the window";

    desktop::SetWindowIcon(false);
    const QIcon icon = QGuiApplication::windowIcon();
    EXPECT_EQ(icon.name(), QLatin1String(desktop::kIconName));
    EXPECT_EQ(icon.pixmap(48, 48).toImage().pixelColor(24, 24), QColor(Qt::red));
}

TEST_F(IconTheme, AThemeWithoutTheIconGivesTheBuiltInOne) {
    MakeTheme(false);
    desktop::SetWindowIcon(false);
    const QIcon icon = QGuiApplication::windowIcon();
    EXPECT_TRUE(icon.name().isEmpty());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(64, 64)));
}

// A user running both tells them apart in the taskbar: the demo's icon is its own, not the
// theme's panel icon.
TEST_F(IconTheme, TheDemoHasAnIconOfItsOwn) {
    MakeTheme(true);
    desktop::SetWindowIcon(true);
    const QImage demo = QGuiApplication::windowIcon().pixmap(64, 64).toImage();
    ASSERT_FALSE(demo.isNull());
    EXPECT_TRUE(QGuiApplication::windowIcon().name().isEmpty());
    const QImage panel = desktop::BuiltInIcon().pixmap(64, 64).toImage();
    // The body of the icon, beside the screen: orange in the demo's.
    const QColor body = demo.pixelColor(5, 32);
    EXPECT_GT(body.red(), body.blue() + 80) << body.name().toStdString();
    EXPECT_NE(panel.pixelColor(5, 32), body);
}

} // namespace

// The program's window loads the HID modules and makes the function list's popup only after its
// first frame, the same as a window made with them at once afterwards; ticking the connect box
// before then makes them at that moment.
TEST(UnitStart, TheUnitServicesWaitForTheFirstFrame) {
    using TStart = TTarvenik_Control_Form::TUnitStart;
    TTarvenik_Control_Form window(nullptr, TStart::AfterFirstFrame);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.HidDeviceController, nullptr) << "made before the window was shown";
    window.show();
    ProcessUntil([&] { return window.HidDeviceController != nullptr; });
    ASSERT_NE(window.HidDeviceController, nullptr);
    EXPECT_EQ(window.FuncComboBox->view()->sizeHintForRow(0), 16);

    TTarvenik_Control_Form early(nullptr, TStart::AfterFirstFrame);
    early.CheckBox1->setChecked(true);
    EXPECT_NE(early.HidDeviceController, nullptr);
    EXPECT_EQ(early.FuncComboBox->view()->sizeHintForRow(0), 16);
    early.CheckBox1->setChecked(false);
}
