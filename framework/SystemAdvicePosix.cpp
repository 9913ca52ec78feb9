#include "framework/SystemAdvice.h"

namespace framework {

QString ManualPlace(const QString& program) {
    return program + QStringLiteral("(1)");
}

QString DemoPlace(const QString& program) {
    return program + QStringLiteral("-demo");
}

QString AccessQuestion() {
    return QStringLiteral("is the udev rule installed?");
}

} // namespace framework
