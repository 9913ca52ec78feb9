#pragma once
// Shared by the window tests: one application object for the whole run, and a recorder for
// event handlers.

#include <QApplication>

namespace apptest {

inline void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

struct Recorder {
    int calls = 0;
    void* sender = nullptr;
    void Hit(void* Sender) {
        ++calls;
        sender = Sender;
    }
};

} // namespace apptest
