// Any file offered to the history as a log: reading it never crashes or hangs, every line is a
// record or counted as skipped, and every record kept is in time order. The first byte picks how
// the file arrives: whole, or in two parts with a read between (a log being written to).

#include "history/Feed.h"
#include "history/LogReader.h"
#include "history/LogRecord.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void Write(const QString& path, QByteArrayView bytes, QIODevice::OpenMode mode) {
    QFile file(path);
    Require(file.open(mode));
    Require(file.write(bytes.data(), bytes.size()) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log"));
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1),
                               static_cast<qsizetype>(size - 1));
    const qsizetype split = bytes.isEmpty() ? 0 : data[0] % (bytes.size() + 1);

    Write(path, bytes.first(split), QIODevice::WriteOnly | QIODevice::Truncate);
    history::TLogReader reader(path);
    reader.ReadMore();
    Write(path, bytes.sliced(split), QIODevice::Append);
    reader.ReadMore();

    // The breaks the reader puts where a run of records stops are its own, not records read.
    std::size_t kept = 0;
    for (const unit::TUnitIdentity& unit : reader.Units()) {
        const history::THistoryStore* store = reader.Store(unit);
        Require(store != nullptr);
        for (std::size_t i = 0; i < store->Size(); ++i)
            if (store->At(i).Gap != static_cast<std::uint8_t>(history::TGapReason::NoRecords))
                ++kept;
        for (std::size_t i = 1; i < store->Size(); ++i)
            Require(store->At(i - 1).Time <= store->At(i).Time);
    }
    Require(kept <= reader.Records());

    // One line on its own, as either format.
    if (const auto layout = history::TCsvLayout::FromHeader(
            "time,os1_min_v,os1_max_v,os2_voltage_v,os2_pulse_time,os1_time_1,os1_time_0,"
            "os1_state,position,scale,poll_period,threshold0_v,threshold1_v,os2_length,"
            "os2_delay,event,serial,location"))
        layout->Parse(bytes);
    else
        std::abort();
    history::ParseJsonLine(bytes);
    history::ParseTime(bytes.first(std::min<qsizetype>(bytes.size(), 40)));
    return 0;
}
