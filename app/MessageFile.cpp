#include "app/MessageFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

namespace messages {

QString OldFilePath(const QString& path) {
    const QFileInfo file(path);
    const QString suffix = file.suffix();
    const QString stem = suffix.isEmpty() ? file.fileName() : file.completeBaseName();
    return file.dir().filePath(stem + QStringLiteral(".old") +
                               (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
}

QString MessageFilePath(const QString& localDataFolder, const QString& applicationName) {
    return QDir(localDataFolder)
        .filePath(QStringLiteral("Tarvenik/") + applicationName + QStringLiteral(".log"));
}

TMessageFile::TMessageFile(QString path, qint64 limit) : path_(std::move(path)), limit_(limit) {}

void TMessageFile::RotateBefore(qint64 bytes) {
    const qint64 size = QFileInfo(path_).size();
    if (size == 0 || size + bytes <= limit_)
        return;
    const QString old = OldFilePath(path_);
    QFile::remove(old);
    // Should another copy of the program hold the file open this moment, it is tried again
    // with the next message.
    QFile::rename(path_, old);
}

bool TMessageFile::Append(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const QMutexLocker lock(&mutex_);
    QDir().mkpath(QFileInfo(path_).absolutePath());
    RotateBefore(bytes.size());
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace messages
