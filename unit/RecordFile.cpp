#include "unit/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace unit {

TRecordFile::TRecordFile(const QString& path, const QString& header, const QString& olderHeader)
    : path_(path), header_(header.toUtf8()), olderHeader_(olderHeader.toUtf8()) {}

bool TRecordFile::Ready() {
    return Open();
}

bool TRecordFile::Open() {
    if (file_.isOpen())
        return true;
    // O_APPEND from the system rather than QIODevice::Append, which seeks and warns on a pipe or a
    // device. Unbuffered: each record goes to the file system in one write, at once.
    const int fd = ::open(QFile::encodeName(path_).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        error_ = file_.errorString();
        ::close(fd);
        return false;
    }
    needHeader_ = !header_.isEmpty() && file_.size() == 0;
    olderLayout_ = false;
    if (!olderHeader_.isEmpty() && !file_.isSequential() && file_.size() > 0) {
        // Read through a file of its own: the one held is open for appending only.
        QFile begun(path_);
        if (begun.open(QIODevice::ReadOnly))
            olderLayout_ = begun.read(olderHeader_.size()) == olderHeader_;
    }
    return true;
}

bool TRecordFile::Append(const QString& record) {
    if (!Open())
        return false;
    const qint64 before = file_.size();
    QByteArray bytes = record.toUtf8();
    if (needHeader_)
        bytes.prepend(header_);
    if (file_.write(bytes) == bytes.size()) {
        needHeader_ = false;
        return true;
    }
    error_ = file_.errorString();
    // A record written in part would run into the next one: the file goes back to where it was.
    // Closed, so the next record opens afresh (the file may have been replaced meanwhile).
    if (!file_.isSequential())
        file_.resize(before);
    file_.close();
    return false;
}

} // namespace unit
