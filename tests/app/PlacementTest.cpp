// Where the window comes back: the place it was left, brought back onto a screen when a monitor
// went away or shrank, and the kept position read back from the settings file.

#include "app/Placement.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QSize kWindow(509, 425);
const QRect kLeft(0, 0, 1920, 1080);
const QRect kRight(1920, 0, 1280, 1024);

} // namespace

TEST(WindowPlace, StaysWhereLeftWhenWholeOnAScreen) {
    EXPECT_EQ(design::OnScreenTopLeft({100, 200}, kWindow, {kLeft, kRight}, kLeft),
              QPoint(100, 200));
    EXPECT_EQ(design::OnScreenTopLeft({2000, 50}, kWindow, {kLeft, kRight}, kLeft),
              QPoint(2000, 50));
}

TEST(WindowPlace, IsBroughtBackOntoTheScreensThereAreNow) {
    // Left on the right monitor, which is unplugged now: centred on the primary screen.
    EXPECT_EQ(design::OnScreenTopLeft({2000, 50}, kWindow, {kLeft}, kLeft), QPoint(705, 327));
    // Half over the right edge: moved the shortest way onto the screen it overlaps.
    EXPECT_EQ(design::OnScreenTopLeft({1700, 900}, kWindow, {kLeft}, kLeft), QPoint(1411, 655));
    // Above and left of every screen, but overlapping the first.
    EXPECT_EQ(design::OnScreenTopLeft({-100, -50}, kWindow, {kLeft}, kLeft), QPoint(0, 0));
    // Straddling two screens: onto the one it overlaps most.
    EXPECT_EQ(design::OnScreenTopLeft({1800, 10}, kWindow, {kLeft, kRight}, kLeft),
              QPoint(1920, 10));
    // A screen smaller than the window keeps the title bar on it.
    EXPECT_EQ(
        design::OnScreenTopLeft({50, 50}, kWindow, {QRect(0, 0, 400, 300)}, QRect(0, 0, 400, 300)),
        QPoint(0, 0));
}

TEST(WindowPlace, KeptInTheSettingsAndNothingElseIsTakenForIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QSettings settings(folder.filePath("tarvenik.conf"), QSettings::IniFormat);
    EXPECT_FALSE(design::RememberedPosition(settings)); // first run: centred

    design::RememberPosition(settings, {-300, 1200});
    QSettings again(folder.filePath("tarvenik.conf"), QSettings::IniFormat);
    EXPECT_EQ(design::RememberedPosition(again), QPoint(-300, 1200));

    // A hand-edited or damaged value is no position.
    again.setValue("window/position", "here");
    EXPECT_FALSE(design::RememberedPosition(again));
}

TEST(WindowPlace, TheWindowOpensWhereItWasLeftOrCentredWhenThatIsOffScreen) {
    for (const bool onScreen : {true, false}) {
        TTarvenik_Control_Form form;
        const QPoint left = onScreen ? QPoint(12, 34) : QPoint(-5000, 9000);
        form.RememberedPlace = [left] { return left; };
        form.show();
        const QRect screen = form.screen()->availableGeometry();
        const QRect frame = form.frameGeometry();
        EXPECT_EQ(frame.topLeft(), onScreen ? left : design::CentredTopLeft(screen, frame.size()));
        form.hide();
    }
}
