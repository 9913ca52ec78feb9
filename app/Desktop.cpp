#include "app/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace desktop {

QString ApplicationName(bool demo) {
    return QString::fromLatin1(demo ? kDemoDesktopFile : kDesktopFile);
}

QIcon PanelIcon() {
    return QIcon::fromTheme(QString::fromLatin1(kIconName),
                            QIcon(QString::fromLatin1(kBuiltInIcon)));
}

void Identify(bool demo) {
    // Settings land in the user's config folder under tarvenik/, one file for each copy.
    QCoreApplication::setOrganizationName(QStringLiteral("tarvenik"));
    QCoreApplication::setApplicationName(ApplicationName(demo));
    QGuiApplication::setDesktopFileName(ApplicationName(demo));
    QGuiApplication::setWindowIcon(PanelIcon());
}

} // namespace desktop
