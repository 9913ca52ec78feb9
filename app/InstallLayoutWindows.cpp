#include "app/InstallLayout.h"

#include <QDir>
#include <QFileInfo>

namespace installlayout {

bool IsInstalledProgramFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QDir programs(folder);
    if (QFileInfo(programs.filePath(QString::fromLatin1(kUninstaller))).isFile())
        return true;
    // File names compare without case on Windows.
    if (programs.dirName().compare(QString::fromLatin1(kDemoFolder), Qt::CaseInsensitive) != 0)
        return false;
    return QFileInfo(programs.filePath(QStringLiteral("../") + QString::fromLatin1(kUninstaller)))
        .isFile();
}

} // namespace installlayout
