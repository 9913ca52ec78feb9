#pragma once
// The few file operations whose portable form Qt does not offer as the program needs them, one
// implementation per system (FilesPosix.cpp, FilesWindows.cpp). Names are given as text; on Linux
// their bytes are those of FileNameBytes, so a name that is not UTF-8 still opens its file.

#include <QByteArray>
#include <QFile>
#include <QFileDevice>
#include <QString>

#include <cstdint>
#include <functional>

namespace framework {

// A file that several writers append to, each write landing at its end whoever appended
// meanwhile, without a seek, so pipes and devices work too. Every failure leaves the system's
// reason in Error().
class TAppendFile {
public:
    TAppendFile() = default;
    ~TAppendFile() { Close(); }
    TAppendFile(const TAppendFile&) = delete;
    TAppendFile& operator=(const TAppendFile&) = delete;

    // Opens `path`, creating it if need be. A pipe nobody reads from fails at once instead of
    // waiting for a reader.
    bool Open(const QString& path);
    bool IsOpen() const { return handle_ != kClosed; }
    void Close();
    // A file on a disk: it has a size, can be locked and cut back.
    bool Regular() const { return regular_; }

    // Holds the other writers' Lock back until Unlock, so that looking at the size and writing
    // are one step among writers that all lock. False when the file can't be locked.
    bool Lock();
    void Unlock();
    // The size now, or -1 when it can't be told.
    qint64 Size();
    // All of `bytes`, or false. On Linux a write into a pipe or a device that waits for its
    // reader gives way to a stop signal (TStopSignals): false, with Stopped() true.
    bool Write(const QByteArray& bytes);
    bool Stopped() const { return stopped_; }
    // Cuts the file back to `size` bytes (a record written in part is taken back).
    void Truncate(qint64 size);
    // The file's first `length` bytes read through a handle of their own (fewer when it is
    // shorter), from the path it was opened with.
    QByteArray ReadBeginning(qint64 length) const;

    const QString& Error() const { return error_; }

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed; // a descriptor, or a Windows handle
    bool regular_ = false;
    bool stopped_ = false;
    QString path_;
    QString error_;
};

// What stands at a path, as far as putting a file in its place goes (links followed).
enum class TPathKind {
    Missing, // nothing, or nothing that can be told
    Regular, // a file on a disk: it may be replaced
    Stream,  // a FIFO or a character device: written into, never replaced
    Other,   // a folder, a socket, a block device: neither
};
TPathKind KindOf(const QString& path);

// What a name stands for, where a file to read was expected.
enum class TFileKind { Regular, Folder, Pipe, Device, Other };

// Opens `path` for reading when it is a regular file, into `file` (which closes it). What the name
// stands for is looked at before it is opened, so a device is never opened, and again on the open
// handle; a FIFO put there meanwhile is opened without waiting for a writer, and refused. False
// with `kind` saying what it is, or (`kind` Regular) with the system's reason in `why`.
bool OpenRegularFile(const QString& path, QFile& file, TFileKind& kind, QString& why);

// Gives a file just created under a private name the permissions a plain file of the user gets.
void GivePlainFilePermissions(QFileDevice& file);

// What MoveOver does between two tries while another program holds `to` open: empty for a short
// wait; a test gives its own, to let the holder go at a moment of its choosing.
using TReplacePause = std::function<void(int triesSoFar)>;
// Windows refuses to replace a file that another program has open (a collector reading the
// metrics file, a scanner looking at a new picture) until it closes it: MoveOver tries this many
// times in all, about a second with the default pause. Linux replaces an open file at once.
inline constexpr int kReplaceTries = 40;

// Puts `from` in the place of `to` in one step, replacing a file of that name: no reader ever
// sees a part-written `to`. False, with the system's reason in `why`, when it fails, and when
// `to` is anything but a regular file (a FIFO, a device node, a folder), which stays as it is.
bool MoveOver(const QString& from, const QString& to, QString& why,
              const TReplacePause& pause = {});

// Writes `bytes` into a new file beside `path` (PartNameBeside) and then puts it in place of
// `path` (MoveOver), so a reader of `path` sees the old contents or all of the new. Only a
// regular file, or nothing, is replaced: anything else at `path` is refused before a byte is
// written. The part file
// is created exclusively and never through a link, so nothing planted in a shared folder can
// send the bytes elsewhere. On failure no part file is left behind.
bool WriteInPlaceOf(const QString& path, const QByteArray& bytes, QString& why,
                    const TReplacePause& pause = {});

} // namespace framework
