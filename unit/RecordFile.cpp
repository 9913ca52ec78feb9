#include "unit/RecordFile.h"

namespace unit {

TRecordFile::TRecordFile(const QString& path, const QString& header)
    : path_(path), header_(header.toUtf8()), file_(path) {}

bool TRecordFile::Open() {
    if (file_.isOpen())
        return true;
    // Unbuffered: each record goes to the file system in one write, at once.
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        needHeader_ = !header_.isEmpty() && file_.size() == 0;
        return true;
    }
    error_ = file_.errorString();
    return false;
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
