#include "app/PollLog.h"

#include "app/AppLogging.h"
#include "unit/Record.h"

TPollLog::TPollLog(const QString& path, TClock now)
    : file_(path, unit::CsvHeader(), unit::CsvHeader(unit::TLayout::WithoutIdentity)),
      now_(std::move(now)) {}

void TPollLog::Append(const TDataBlock& block, const unit::TUnitIdentity& unit) {
    try {
        unit::TLayout layout = unit::TLayout::Current;
        if (file_.Ready() && file_.OlderLayout()) {
            layout = unit::TLayout::WithoutIdentity;
            if (!olderLayoutLogged_) {
                olderLayoutLogged_ = true;
                qCWarning(lcPoll).noquote()
                    << "the log" << file_.Path()
                    << "has no serial and location columns; its records go on without them";
            }
        }
        if (file_.Append(unit::CsvRecord(now_(), block, unit, layout)) || failureLogged_)
            return;
        failureLogged_ = true;
        qCWarning(lcPoll).noquote()
            << "cannot write the log" << file_.Path() << ":" << file_.ErrorString()
            << "(polling goes on; later failures are not told)";
    } catch (...) {
        // The poll must not stop for its log.
    }
}
