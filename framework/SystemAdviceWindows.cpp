#include "framework/SystemAdvice.h"

namespace framework {

// The setup program installs the manuals as HTML in doc\ beside the programs, and each has an
// entry in the Start menu's Tarvenik folder (named in the setup's language); there are no man
// pages on Windows.
QString ManualPlace(const QString& program) {
    return QStringLiteral("doc\\%1.html beside this program (also in the Start menu, under "
                          "Tarvenik)")
        .arg(program);
}

QString DemoPlace(const QString& program) {
    return QStringLiteral("demo\\%1.exe beside this program").arg(program);
}

// Windows opens a HID device that is not a keyboard or mouse to every user; what refuses it is
// another program that opened it without sharing.
QString AccessQuestion() {
    return QStringLiteral("does another program hold the unit?");
}

} // namespace framework
