// Screenshots: the trigger a poll runs with each position it reads, and the routine that saves a
// JPEG picture of the window into the program's folder, or the user's pictures folder when the
// program's can't be written or belongs to an installed tree.

#include "app/AppLogging.h"
#include "app/DataBlock.h"
#include "app/InstallLayout.h"
#include "app/Unit1.h"
#include "framework/Bitmap.h"
#include "framework/Files.h"
#include "framework/Home.h"
#include "imaging/jpeg.h"
#include "unit/ProgramFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <memory>

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
    return QString::fromStdString(unit::ProgramFolder());
}

QString PicturesFolder() {
    // Inside the home folder: none without a usable one.
    if (!framework::HomeUsable())
        return QString();
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QString() : QDir(pictures).filePath(QStringLiteral("Tarvenik"));
}

// A new, exclusively created file beside the picture's name, with the permissions a plain file
// of the user gets; null when the folder can't take one.
std::unique_ptr<QTemporaryFile> OpenPart(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return nullptr;
    auto part = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(QStringLiteral(".") + name + QStringLiteral(".XXXXXX")));
    if (!part->open())
        return nullptr;
    framework::GivePlainFilePermissions(*part);
    return part;
}

} // namespace

// Only while screenshots are ticked; otherwise the latch keeps its state.
void TTarvenik_Control_Form::ScreenshotTrigger(int position) {
    if (!CheckBox2->isChecked())
        return;
    if (position > kShotAbove && !State.shot_latched) {
        State.shot_latched = true;
        State.shot_position = position;
        make_screen_short();
    }
    if (position < kRearmBelow && position < State.shot_position)
        State.shot_latched = false;
}

// The picture is written to a hidden temporary file in its folder and renamed over its name once
// complete: a full disk leaves no cut-off picture, and a link planted under the name is replaced,
// never written through. A folder the user can't write, or an installed program's folder (which
// root could write), sends pictures to the user's pictures folder instead.
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

        // An installed program's folder is never written, even where it could be.
        std::unique_ptr<QTemporaryFile> part;
        if (!installlayout::IsInstalledProgramFolder(folder))
            part = OpenPart(folder, name);
        QString target = QDir(folder).filePath(name);
        if (!part) {
            const QString fallback = PicturesFolder();
            if (!fallback.isEmpty() && QDir().mkpath(fallback)) {
                part = OpenPart(fallback, name);
                target = QDir(fallback).filePath(name);
            }
        }
        if (!part) {
            qCWarning(lcScreenshot).noquote() << "no screenshot saved: neither" << folder << "nor"
                                              << PicturesFolder() << "can be written";
            return;
        }
        jpeg.SaveJpegStream(*part);
        if (part->size() == 0)
            return; // nothing was encoded; the empty part goes with its object
        // A QTemporaryFile holds its handle until it goes, and Windows renames no open file.
        const QString partName = part->fileName();
        part->setAutoRemove(false);
        part.reset();
        QString why;
        if (!framework::MoveOver(partName, target, why)) {
            QFile::remove(partName);
            qCWarning(lcScreenshot).noquote()
                << "no screenshot saved: cannot rename" << partName << "to" << target << "-" << why;
        }
    } catch (const std::exception& error) {
        // A full disk, an encoder failure: no picture and no message in the window, by design.
        qCWarning(lcScreenshot) << "no screenshot saved:" << error.what();
    } catch (...) {
        qCWarning(lcScreenshot) << "no screenshot saved: unknown error";
    }
}
