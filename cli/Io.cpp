#include "cli/Io.h"

#include <cerrno>
#include <cstring>

namespace cli {

bool Put(std::ostream& stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    stream.write(bytes.constData(), bytes.size());
    return stream.good();
}

bool Flush(std::ostream& stream, QString& reason) {
    // The standard streams write through stdio, which leaves the system's reason in errno.
    errno = 0;
    if (stream.flush().good())
        return true;
    const int error = errno;
    reason = error != 0 ? QStringLiteral("the output was refused: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(error)))
                        : QStringLiteral("the output was refused");
    return false;
}

} // namespace cli
