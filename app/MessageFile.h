#pragma once
// Where the panel's messages go when it has no console (a window program on Windows): a text file
// of bounded size. Once a message would take the file past its limit, the file becomes the old
// one (replacing the one before) and a new one is begun, so that at most twice the limit is kept
// and the latest messages are always there. The file is opened for each message and closed again:
// messages are rare (nothing is logged while everything works), and a closed file can be rotated
// even while another copy of the program logs into it.

#include <QMutex>
#include <QString>

namespace messages {

inline constexpr qint64 kMessageFileLimit = 1024 * 1024;

// The file for an application name under a local data folder: Tarvenik/<name>.log.
QString MessageFilePath(const QString& localDataFolder, const QString& applicationName);
// "tarvenik.log" -> "tarvenik.old.log", beside it.
QString OldFilePath(const QString& path);

class TMessageFile {
public:
    explicit TMessageFile(QString path, qint64 limit = kMessageFileLimit);

    // Appends one line (its end added), made safe to call from any thread. False when the
    // file cannot be written; the message is then lost, as it would be without a console.
    bool Append(const QString& line);

    const QString& Path() const { return path_; }

private:
    void RotateBefore(qint64 bytes);

    const QString path_;
    const qint64 limit_;
    QMutex mutex_;
};

} // namespace messages
