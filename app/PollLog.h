#pragma once
// The program's log (--log FILE): one CSV record per poll the unit answered, in the format of the
// command-line tool's `watch --csv`, appended to the file. The header goes only into a new or
// empty file. A record that can't be written is logged once (tarvenik.poll) and the window goes on.
// A file begun without the serial and location columns goes on without them (said once in the
// log), so that no file mixes two layouts.

#include "unit/Block.h"
#include "unit/Record.h"
#include "unit/RecordFile.h"

#include <QDateTime>
#include <QString>

#include <functional>

class TPollLog {
public:
    using TClock = std::function<QDateTime()>;
    explicit TPollLog(
        const QString& path, TClock now = [] { return QDateTime::currentDateTime(); });

    // Appends the record of a block just read from the unit `unit`; never raises.
    void Append(const TDataBlock& block, const unit::TUnitIdentity& unit = {});

    const QString& Path() const { return file_.Path(); }

private:
    unit::TRecordFile file_;
    TClock now_;
    bool failureLogged_ = false;
    bool olderLayoutLogged_ = false;
};
