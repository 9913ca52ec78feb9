#include "unit/RecordFile.h"

#include "unit/FileName.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace unit {

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

TRecordFile::TRecordFile(const QString& path, const QString& header, const QString& olderHeader)
    : path_(path), header_(header.toUtf8()), olderHeader_(olderHeader.toUtf8()) {}

TRecordFile::~TRecordFile() {
    Close();
}

void TRecordFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TRecordFile::Ready() {
    return Open();
}

bool TRecordFile::Open() {
    if (fd_ >= 0)
        return true;
    // O_APPEND from the system: each record lands at the end, whoever else appends. O_NONBLOCK
    // only for the opening: a FIFO with no reader then fails at once (ENXIO) instead of waiting
    // for one, unseen and deaf to a stop signal.
    const int fd = ::open(FileNameBytes(path_).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int error = errno;
        error_ = error == ENXIO
                     ? QStringLiteral("nothing reads from it (%1)").arg(SystemReason(error))
                     : SystemReason(error);
        return false;
    }
    struct stat status {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::fstat(fd, &status) != 0) {
        error_ = SystemReason(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    regular_ = S_ISREG(status.st_mode);
    needHeader_ = !header_.isEmpty();
    olderLayout_ = regular_ && status.st_size > 0 && BeginsWithOlderHeader();
    return true;
}

// Read through a descriptor of its own: the one held is open for appending only.
bool TRecordFile::BeginsWithOlderHeader() const {
    if (olderHeader_.isEmpty())
        return false;
    const int fd = ::open(FileNameBytes(path_).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    QByteArray begun(olderHeader_.size(), '\0');
    const ssize_t n = ::pread(fd, begun.data(), static_cast<std::size_t>(begun.size()), 0);
    ::close(fd);
    return n == begun.size() && begun == olderHeader_;
}

bool TRecordFile::WriteAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = SystemReason(n < 0 ? errno : EIO);
            return false;
        }
        done += n;
    }
    return true;
}

bool TRecordFile::Append(const QString& record) {
    if (!Open())
        return false;
    QByteArray bytes = record.toUtf8();
    // Two writers starting on one new file: the lock makes the size seen and the header written
    // one step, so only the first writes the header.
    const bool locked = regular_ && ::flock(fd_, LOCK_EX) == 0;
    struct stat status {};
    const bool sized = regular_ && ::fstat(fd_, &status) == 0;
    const off_t before = sized ? status.st_size : 0;
    const bool header = needHeader_ && (!regular_ || (sized && before == 0));
    if (header)
        bytes.prepend(header_);
    const bool written = WriteAll(bytes);
    // A record written in part would run into the next one: the file goes back to where it was.
    if (!written && sized) [[maybe_unused]]
        const int truncated = ::ftruncate(fd_, before);
    if (locked)
        ::flock(fd_, LOCK_UN);
    if (written) {
        needHeader_ = false;
        return true;
    }
    // Closed, so the next record opens afresh (the file may have been replaced meanwhile).
    Close();
    return false;
}

} // namespace unit
