#pragma once
// Where a command's output goes and what time it is. The program uses stdout, stderr and the
// clock; a test its own.

#include <QDateTime>
#include <QString>

#include <functional>
#include <ostream>

namespace cli {

struct TIo {
    std::ostream& Out;
    std::ostream& Err;
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
};

// UTF-8 text onto a stream; false when the stream refused it.
bool Put(std::ostream& stream, const QString& text);

// Flushes a stream; false when it refused, with `reason` the system's reason when there is one
// ("the output was refused" when the stream says no more).
bool Flush(std::ostream& stream, QString& reason);

} // namespace cli
