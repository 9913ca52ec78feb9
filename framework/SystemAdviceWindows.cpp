#include "framework/SystemAdvice.h"

namespace framework {

// The setup program installs the manuals as HTML in doc\ beside the programs and names the
// panel's in the Start menu; there are no man pages on Windows.
QString ManualPlace(const QString& program) {
    return QStringLiteral("doc\\%1.html beside this program (Start menu: Tarvenik, \"Tarvenik "
                          "manual\")")
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
