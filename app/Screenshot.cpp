// Screenshots: the trigger a poll runs with each position it reads, and the routine that saves a
// JPEG picture of the window into the program's folder.

#include "app/DataBlock.h"
#include "app/Unit1.h"
#include "framework/Bitmap.h"
#include "imaging/jpeg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QPainter>

namespace {

constexpr int kShotAbove = 200;  // a position above this takes a picture...
constexpr int kRearmBelow = 150; // ...and the next one waits until it has fallen below this
constexpr int kJpegQuality = 50;
// The picture is the outer window less these, taken from the client area's top-left corner.
constexpr int kWidthLess = 6;
constexpr int kHeightLess = 52;

QDateTime RealNow() {
    return QDateTime::currentDateTime();
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

} // namespace

// Only while screenshots are ticked; otherwise the latch keeps its state.
void TTarvenik_Control_Form::ScreenshotTrigger(int position) {
    if (!CheckBox2->isChecked())
        return;
    if (position > kShotAbove && !shot_latched) {
        shot_latched = true;
        shot_position = position;
        make_screen_short();
    }
    if (position < kRearmBelow && position < shot_position)
        shot_latched = false;
}

void TTarvenik_Control_Form::make_screen_short() {
    try {
        const QRect outer = frameGeometry();
        framework::TBitmap bitmap;
        bitmap.SetSize(std::max(0, outer.width() - kWidthLess),
                       std::max(0, outer.height() - kHeightLess));
        if (!bitmap.Empty()) {
            // The window's pixels as they stand, drawn into the bitmap; what lies beyond the
            // client area keeps the new bitmap's white.
            QPainter painter(&bitmap.Image());
            render(&painter, QPoint(0, 0), QRegion(QRect(QPoint(0, 0), size())));
        }

        imaging::TJPEGImage jpeg;
        jpeg.AssignFrom(bitmap);
        jpeg.JpegQuality = kJpegQuality;
        const QDateTime now = ScreenshotHooks.Now ? ScreenshotHooks.Now() : RealNow();
        const QString folder = ScreenshotHooks.Folder ? ScreenshotHooks.Folder() : ProgramFolder();
        const QString name = now.toString(QStringLiteral("ddMMyy_HHmmss")) + QStringLiteral(".jpg");
        jpeg.SaveJpegFile(QDir(folder).filePath(name));
    } catch (...) {
        // A folder that can't be written, a full disk, an encoder failure: no picture, no message.
    }
}
