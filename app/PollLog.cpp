#include "app/PollLog.h"

#include "app/AppLogging.h"
#include "unit/Record.h"

TPollLog::TPollLog(const QString& path, TClock now)
    : file_(path, unit::CsvHeader()), now_(std::move(now)) {}

void TPollLog::Append(const TDataBlock& block) {
    try {
        if (file_.Append(unit::CsvRecord(now_(), block)) || failureLogged_)
            return;
        failureLogged_ = true;
        qCWarning(lcPoll).noquote()
            << "cannot write the log" << file_.Path() << ":" << file_.ErrorString()
            << "(polling goes on; later failures are not told)";
    } catch (...) {
        // The poll must not stop for its log.
    }
}
