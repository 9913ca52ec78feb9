#pragma once
// Where a command's output goes, what time it is, and how the unit is given its moment after a
// command 1. The program uses stdout, stderr, the clock and a 10 ms sleep; a test its own.

#include <QDateTime>
#include <QString>

#include <functional>
#include <ostream>

namespace cli {

struct TIo {
    std::ostream& Out;
    std::ostream& Err;
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    // The unit needs a moment to load its parameters after command 1 before it is read.
    std::function<void()> Pause;
};

// UTF-8 text onto a stream; false when the stream refused it.
bool Put(std::ostream& stream, const QString& text);

// Flushes a stream; false when it refused, with `reason` the system's reason when there is one
// ("the output was refused" when the stream says no more).
bool Flush(std::ostream& stream, QString& reason);

} // namespace cli
