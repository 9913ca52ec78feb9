#include "history/Export.h"

#include "framework/Files.h"
#include "history/HistoryLogging.h"
#include "unit/Record.h"

#include <QDateTime>

#include <cstring>

namespace history {

bool ExportCsv(const THistoryStore& store, qint64 from, qint64 to, const QString& path,
               QString* error) {
    // The whole range is made first and put in the file's place in one step (as every file the
    // programs replace): a reader sees the old file or all of the new, a full disk leaves the old.
    QByteArray out = unit::CsvHeader().toUtf8();
    for (std::size_t i = store.LowerBound(from); i < store.Size(); ++i) {
        const TPoint& point = store.At(i);
        if (point.Time >= to)
            break;
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(point.Time);
        const unit::TUnitIdentity& unit = store.UnitAt(i);
        if (point.IsGap()) {
            out += unit::CsvEventRecord(time, GapEvent(static_cast<TGapReason>(point.Gap)), unit)
                       .toUtf8();
        } else {
            TDataBlock block{};
            std::memcpy(block.data() + kFirstKeptByte, point.Bytes.data(), kKeptBytes);
            out += unit::CsvRecord(time, block, unit).toUtf8();
        }
    }
    QString why;
    if (!framework::WriteInPlaceOf(path, out, why)) {
        if (error)
            *error = why;
        qCWarning(lcHistory).noquote() << "exporting to" << path << "failed -" << why;
        return false;
    }
    return true;
}

} // namespace history
