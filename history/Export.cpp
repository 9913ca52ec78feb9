#include "history/Export.h"

#include "history/HistoryLogging.h"
#include "unit/Record.h"

#include <QDateTime>
#include <QSaveFile>

#include <cstring>

namespace history {

bool ExportCsv(const THistoryStore& store, qint64 from, qint64 to, const QString& path,
               QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
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
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        qCWarning(lcHistory).noquote()
            << "exporting to" << path << "failed -" << file.errorString();
        return false;
    }
    return true;
}

} // namespace history
