#include "unit/RecordFile.h"

#include "framework/Files.h"

namespace unit {

TRecordFile::TRecordFile(const QString& path, const QString& header)
    : path_(path), header_(header.toUtf8()) {}

bool TRecordFile::Open() {
    if (file_.isOpen())
        return true;
    // Unbuffered: each record goes to the file system in one write, at once.
    if (!framework::OpenForAppend(file_, path_, error_))
        return false;
    needHeader_ = !header_.isEmpty() && file_.size() == 0;
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
