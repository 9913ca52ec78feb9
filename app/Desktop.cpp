#include "app/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace desktop {

QString ApplicationName(bool demo) {
    return QString::fromLatin1(demo ? kDemoDesktopFile : kDesktopFile);
}

QIcon BuiltInIcon(const char* resource) {
    // Read as the PNG it is: a reader left to find the format loads every image format plugin to
    // ask whether it reads the file.
    QImageReader reader(QString::fromLatin1(resource), "PNG");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

QIcon PanelIcon() {
    return QIcon::fromTheme(QString::fromLatin1(kIconName), BuiltInIcon());
}

void Identify(bool demo) {
    // Settings land in the user's config folder under tarvenik/, one file for each copy.
    QCoreApplication::setOrganizationName(QStringLiteral("tarvenik"));
    QCoreApplication::setApplicationName(ApplicationName(demo));
    QGuiApplication::setDesktopFileName(ApplicationName(demo));
}

void SetWindowIcon(bool demo) {
    // The theme lookup reads the whole hicolor index and probes hundreds of paths, and even the
    // built-in picture brings the image plugins' index: both would cost more than the window's
    // own controls before its first frame. The desktop takes a window's icon when it comes.
    QGuiApplication::setWindowIcon(demo ? BuiltInIcon(kBuiltInDemoIcon) : PanelIcon());
}

} // namespace desktop
