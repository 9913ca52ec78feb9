#include "app/InstallLayout.h"

#include <QDir>
#include <QFileInfo>

namespace installlayout {

bool IsInstalledProgramFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QDir programs(folder);
    const QString beside =
        QFileInfo(programs.filePath(QStringLiteral("libhidsvc.so"))).canonicalFilePath();
    for (const char* relative : {kPrivateFromBin, kPrivateFromDemo}) {
        const QFileInfo module(QDir(programs.filePath(QString::fromUtf8(relative)))
                                   .filePath(QStringLiteral("libhidsvc.so")));
        if (module.isFile() && module.canonicalFilePath() != beside)
            return true;
    }
    return false;
}

} // namespace installlayout
