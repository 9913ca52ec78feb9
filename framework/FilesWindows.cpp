#include "framework/Files.h"

#include "framework/FileName.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace framework {

namespace {

QString SystemReason(DWORD error = GetLastError()) {
    return qt_error_string(static_cast<int>(error));
}

const wchar_t* Wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The writers' lock is one byte far past any real data: Windows locks are binding on the bytes
// they cover, so a lock over the data would make a writer that does not lock fail.
constexpr DWORD kLockOffsetHigh = 0x7fffffff;
constexpr DWORD kLockOffsetLow = 0xfffffff0;

// A reader of a small file is done within a few of these.
constexpr DWORD kReplacePauseMilliseconds = 25;

} // namespace

bool TAppendFile::Open(const QString& path) {
    Close();
    path_ = path;
    // Read and write access, to size and cut back the file; every write goes to the end by its
    // offset (all ones), which the system resolves at the write. A pipe with no free instance
    // fails at once.
    const HANDLE handle =
        CreateFileW(Wide(QDir::toNativeSeparators(path)), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error_ = SystemReason();
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    regular_ = GetFileType(handle) == FILE_TYPE_DISK;
    return true;
}

void TAppendFile::Close() {
    if (IsOpen())
        CloseHandle(Handle(handle_));
    handle_ = kClosed;
    regular_ = false;
}

bool TAppendFile::Lock() {
    OVERLAPPED where{};
    where.Offset = kLockOffsetLow;
    where.OffsetHigh = kLockOffsetHigh;
    return regular_ && LockFileEx(Handle(handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where);
}

void TAppendFile::Unlock() {
    OVERLAPPED where{};
    where.Offset = kLockOffsetLow;
    where.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(Handle(handle_), 0, 1, 0, &where);
}

qint64 TAppendFile::Size() {
    LARGE_INTEGER size{};
    return IsOpen() && GetFileSizeEx(Handle(handle_), &size) ? size.QuadPart : -1;
}

bool TAppendFile::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        OVERLAPPED atTheEnd{};
        atTheEnd.Offset = 0xffffffff;
        atTheEnd.OffsetHigh = 0xffffffff;
        DWORD written = 0;
        const bool ok = WriteFile(Handle(handle_), bytes.constData() + done,
                                  static_cast<DWORD>(bytes.size() - done), &written,
                                  regular_ ? &atTheEnd : nullptr);
        if (!ok || written == 0) {
            error_ = ok ? SystemReason(ERROR_WRITE_FAULT) : SystemReason();
            return false;
        }
        done += written;
    }
    return true;
}

void TAppendFile::Truncate(qint64 size) {
    LARGE_INTEGER where{};
    where.QuadPart = size;
    if (SetFilePointerEx(Handle(handle_), where, nullptr, FILE_BEGIN))
        SetEndOfFile(Handle(handle_));
}

QByteArray TAppendFile::ReadBeginning(qint64 length) const {
    QFile file(path_);
    return file.open(QIODevice::ReadOnly) ? file.read(length) : QByteArray();
}

bool OpenRegularFile(const QString& path, QFile& file, TFileKind& kind, QString& why) {
    kind = TFileKind::Regular;
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(Wide(native));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        kind = TFileKind::Folder;
        return false;
    }
    // A pipe (\\.\pipe\...) or a device (CON, NUL, COM1) is told by its handle: opening one
    // for reading does not wait. Shared for writing and deleting, so the writer of a log goes on
    // and may replace it.
    const HANDLE handle = CreateFileW(Wide(native), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        why = SystemReason();
        return false;
    }
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        kind = type == FILE_TYPE_PIPE   ? TFileKind::Pipe
               : type == FILE_TYPE_CHAR ? TFileKind::Device
                                        : TFileKind::Other;
        CloseHandle(handle);
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        why = SystemReason();
        CloseHandle(handle);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        why = file.errorString();
        _close(fd);
        return false;
    }
    return true;
}

void GivePlainFilePermissions(QFileDevice&) {
    // A new file takes the folder's access rights on Windows already.
}

bool MoveOver(const QString& from, const QString& to, QString& why, const TReplacePause& pause) {
    if (const TPathKind kind = KindOf(to);
        kind != TPathKind::Missing && kind != TPathKind::Regular) {
        why = QStringLiteral("not a regular file, so not replaced");
        return false;
    }
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    for (int tries = 1;; ++tries) {
        if (MoveFileExW(Wide(source), Wide(target),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        // A holder of the target shows as a refused access or a sharing violation; anything else
        // will not change by waiting.
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || tries >= kReplaceTries) {
            why = SystemReason(error);
            return false;
        }
        if (pause)
            pause(tries);
        else
            Sleep(kReplacePauseMilliseconds);
    }
}

TPathKind KindOf(const QString& path) {
    const DWORD attributes = GetFileAttributesW(Wide(QDir::toNativeSeparators(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TPathKind::Missing;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return TPathKind::Other;
    return TPathKind::Regular;
}

bool WriteInPlaceOf(const QString& path, const QByteArray& bytes, QString& why,
                    const TReplacePause& pause) {
    if (const TPathKind kind = KindOf(path);
        kind != TPathKind::Missing && kind != TPathKind::Regular) {
        why = QStringLiteral("not a regular file, so not replaced");
        return false;
    }
    // A name taken meanwhile is a clash of random names or a planted one: another name is drawn.
    constexpr int kAttempts = 16;
    QString part;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kAttempts && handle == INVALID_HANDLE_VALUE; ++attempt) {
        part = PartNameBeside(path);
        // CREATE_NEW fails on any existing name, a link too, instead of opening it.
        handle = CreateFileW(Wide(QDir::toNativeSeparators(part)), GENERIC_WRITE, 0, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (handle == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
            error != ERROR_ALREADY_EXISTS) {
            why = SystemReason(error);
            return false;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        why = SystemReason(ERROR_FILE_EXISTS);
        return false;
    }
    qsizetype done = 0;
    DWORD writeError = ERROR_SUCCESS;
    while (done < bytes.size() && writeError == ERROR_SUCCESS) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.constData() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr))
            writeError = GetLastError();
        else if (written == 0)
            writeError = ERROR_WRITE_FAULT;
        done += static_cast<qsizetype>(written);
    }
    const bool closed = CloseHandle(handle);
    if (!closed || writeError != ERROR_SUCCESS) {
        why = SystemReason(writeError != ERROR_SUCCESS ? writeError : GetLastError());
        QFile::remove(part);
        return false;
    }
    if (!MoveOver(part, path, why, pause)) {
        QFile::remove(part);
        return false;
    }
    return true;
}

} // namespace framework
