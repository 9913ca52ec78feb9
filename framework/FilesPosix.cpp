#include "framework/Files.h"

#include "framework/FileName.h"
#include "framework/StopSignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace framework {

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// All of `size` bytes, or the system's error.
int WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

bool TAppendFile::Open(const QString& path) {
    Close();
    path_ = path;
    // O_APPEND from the system: each write lands at the end, whoever else appends. O_NONBLOCK
    // only for the opening: a FIFO with no reader then fails at once (ENXIO) instead of waiting
    // for one, unseen and deaf to a stop signal.
    const int fd = ::open(FileNameBytes(path).constData(),
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
    handle_ = fd;
    regular_ = S_ISREG(status.st_mode);
    return true;
}

void TAppendFile::Close() {
    if (IsOpen())
        ::close(Fd(handle_));
    handle_ = kClosed;
    regular_ = false;
}

bool TAppendFile::Lock() {
    return regular_ && ::flock(Fd(handle_), LOCK_EX) == 0;
}

void TAppendFile::Unlock() {
    ::flock(Fd(handle_), LOCK_UN);
}

qint64 TAppendFile::Size() {
    struct stat status {};
    return IsOpen() && ::fstat(Fd(handle_), &status) == 0 ? status.st_size : -1;
}

bool TAppendFile::Write(const QByteArray& bytes) {
    // A file on a disk never waits for a reader; a pipe or a terminal may, for as long as its
    // reader likes, and a stop signal must still be heard meanwhile.
    const int error =
        regular_ ? WriteAll(Fd(handle_), bytes.constData(), static_cast<std::size_t>(bytes.size()))
                 : WriteUnlessStopped(Fd(handle_), bytes.constData(),
                                      static_cast<std::size_t>(bytes.size()));
    if (error == 0)
        return true;
    stopped_ = error == EINTR;
    error_ = stopped_ ? QStringLiteral("stopped by a signal") : SystemReason(error);
    return false;
}

void TAppendFile::Truncate(qint64 size) {
    [[maybe_unused]] const int truncated = ::ftruncate(Fd(handle_), size);
}

QByteArray TAppendFile::ReadBeginning(qint64 length) const {
    const int fd = ::open(FileNameBytes(path_).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray begun(length, '\0');
    const ssize_t n = ::pread(fd, begun.data(), static_cast<std::size_t>(begun.size()), 0);
    ::close(fd);
    begun.truncate(n > 0 ? n : 0);
    return begun;
}

namespace {

TFileKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return TFileKind::Regular;
    if (S_ISDIR(mode))
        return TFileKind::Folder;
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return TFileKind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return TFileKind::Device;
    return TFileKind::Other;
}

} // namespace

bool OpenRegularFile(const QString& path, QFile& file, TFileKind& kind, QString& why) {
    const QByteArray name = FileNameBytes(path);
    struct stat status {};
    kind = TFileKind::Regular;
    if (::stat(name.constData(), &status) != 0) {
        why = SystemReason(errno);
        return false;
    }
    if ((kind = KindOf(status.st_mode)) != TFileKind::Regular)
        return false;
    // Swapped for a FIFO since the look: O_NONBLOCK keeps the open from waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        why = SystemReason(errno);
        return false;
    }
    if (::fstat(fd, &status) != 0 || (kind = KindOf(status.st_mode)) != TFileKind::Regular) {
        why = SystemReason(errno);
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        why = flags < 0 ? SystemReason(errno) : file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

void GivePlainFilePermissions(QFileDevice& file) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.handle(), 0666 & ~mask);
}

TPathKind KindOf(const QString& path) {
    struct stat status {};
    if (::stat(FileNameBytes(path).constData(), &status) != 0)
        return TPathKind::Missing;
    if (S_ISREG(status.st_mode))
        return TPathKind::Regular;
    if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))
        return TPathKind::Stream;
    return TPathKind::Other;
}

bool MoveOver(const QString& from, const QString& to, QString& why, const TReplacePause&) {
    if (const TPathKind kind = KindOf(to);
        kind != TPathKind::Missing && kind != TPathKind::Regular) {
        why = QStringLiteral("not a regular file, so not replaced");
        return false;
    }
    if (::rename(FileNameBytes(from).constData(), FileNameBytes(to).constData()) == 0)
        return true;
    why = SystemReason(errno);
    return false;
}

bool WriteInPlaceOf(const QString& path, const QByteArray& bytes, QString& why,
                    const TReplacePause& pause) {
    // A rename would put a plain file in the place of a FIFO or a device node (as root, in place
    // of /dev/null itself).
    if (const TPathKind kind = KindOf(path);
        kind != TPathKind::Missing && kind != TPathKind::Regular) {
        why = QStringLiteral("not a regular file, so not replaced");
        return false;
    }
    // A name taken meanwhile is a clash of random names or a planted one: another name is drawn.
    constexpr int kAttempts = 16;
    QString part;
    QByteArray partName;
    int fd = -1;
    for (int attempt = 0; attempt < kAttempts && fd < 0; ++attempt) {
        part = PartNameBeside(path);
        partName = FileNameBytes(part);
        // O_EXCL alone already refuses an existing link; O_NOFOLLOW says so twice.
        fd = ::open(partName.constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) {
            why = SystemReason(errno);
            return false;
        }
    }
    if (fd < 0) {
        why = SystemReason(EEXIST);
        return false;
    }
    qsizetype done = 0;
    int writeError = 0;
    while (done < bytes.size() && !writeError) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            writeError = n == 0 ? EIO : errno;
    }
    if (::close(fd) != 0 || writeError) {
        why = SystemReason(writeError ? writeError : errno);
        ::unlink(partName.constData());
        return false;
    }
    if (!MoveOver(part, path, why, pause)) {
        ::unlink(partName.constData());
        return false;
    }
    return true;
}

} // namespace framework
