#include "unit/RecordFile.h"

namespace unit {

TRecordFile::TRecordFile(const QString& path, const QString& header, const QString& olderHeader)
    : path_(path), header_(header.toUtf8()), olderHeader_(olderHeader.toUtf8()) {}

bool TRecordFile::Ready() {
    return Open();
}

bool TRecordFile::Open() {
    if (file_.IsOpen())
        return true;
    if (!file_.Open(path_)) {
        error_ = file_.Error();
        return false;
    }
    needHeader_ = !header_.isEmpty();
    olderLayout_ = file_.Regular() && file_.Size() > 0 && BeginsWithOlderHeader();
    return true;
}

bool TRecordFile::BeginsWithOlderHeader() const {
    return !olderHeader_.isEmpty() && file_.ReadBeginning(olderHeader_.size()) == olderHeader_;
}

bool TRecordFile::Append(const QString& record) {
    if (!Open())
        return false;
    QByteArray bytes = record.toUtf8();
    // Two writers starting on one new file: the lock makes the size seen and the header written
    // one step, so only the first writes the header.
    const bool locked = file_.Lock();
    const qint64 before = file_.Regular() ? file_.Size() : -1;
    const bool header = needHeader_ && (!file_.Regular() || before == 0);
    if (header)
        bytes.prepend(header_);
    const bool written = file_.Write(bytes);
    // A record written in part would run into the next one: the file goes back to where it was.
    if (!written && before >= 0)
        file_.Truncate(before);
    if (locked)
        file_.Unlock();
    if (written) {
        needHeader_ = false;
        return true;
    }
    error_ = file_.Error();
    // Closed, so the next record opens afresh (the file may have been replaced meanwhile).
    file_.Close();
    return false;
}

} // namespace unit
