#include "cli/Io.h"

namespace cli {

bool Put(std::ostream& stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    stream.write(bytes.constData(), bytes.size());
    return stream.good();
}

} // namespace cli
