#pragma once
// A file that records are appended to, one whole record at a time: the header goes only into a new
// or empty file, each record reaches the file in one write, and a record the file system took only
// in part is taken back, so the file always ends with a whole record. A FIFO nobody reads is not
// waited for: it fails like a file that can't be opened.

#include "framework/Files.h"

#include <QByteArray>
#include <QString>

namespace unit {

class TRecordFile {
public:
    // Nothing is opened yet: the first Append opens (or creates) the file. The path's bytes are
    // those of FileNameBytes. `olderHeader`: the header of an earlier layout the file may have
    // begun with; such a file keeps that layout.
    TRecordFile(const QString& path, const QString& header, const QString& olderHeader = {});
    TRecordFile(const TRecordFile&) = delete;
    TRecordFile& operator=(const TRecordFile&) = delete;

    // Opens the file if it isn't open; false with ErrorString() when it can't be. Then
    // OlderLayout() tells whether records must go in the older layout.
    bool Ready();
    bool OlderLayout() const { return olderLayout_; }

    // Appends one record, with the header first when the file is empty. False when the file can't
    // be opened or the record couldn't be written whole; ErrorString() then says why, in the
    // system's words. A later Append tries again.
    bool Append(const QString& record);

    const QString& Path() const { return path_; }
    const QString& ErrorString() const { return error_; }

private:
    bool Open();
    bool BeginsWithOlderHeader() const;

    QString path_;
    QByteArray header_;
    QByteArray olderHeader_;
    bool olderLayout_ = false;
    framework::TAppendFile file_;
    bool needHeader_ = false; // until this file's first record: a pipe or a device gets it then
    QString error_;
};

} // namespace unit
