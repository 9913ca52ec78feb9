#include "framework/Exceptions.h"

#include <utility>

namespace framework {

Exception::Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

EAbort::EAbort() : Exception(QString()) {}

EOutOfMemory::EOutOfMemory() : Exception(QStringLiteral("Out of memory")) {}

} // namespace framework
