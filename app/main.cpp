// The program: one control window and the message loop.

#include "app/CommandLine.h"
#include "app/DesignFont.h"
#include "app/PollLog.h"
#include "app/Unit1.h"
#include "imaging/jpeg.h"
#include "unit/FileName.h"
#include "unit/OutputSignals.h"

#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    unit::IgnoreOutputSignals();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << unit::ArgumentText(QByteArray(argv[i])); // the log's name byte for byte
    const TCommandLine commandLine = ParseCommandLine(arguments);
    switch (commandLine.Action) {
    case TCommandLine::TAction::Help:
    case TCommandLine::TAction::Version:
        // A full or closed output is a failure, not a help text shown.
        if (std::fputs(commandLine.Text.toLocal8Bit().constData(), stdout) < 0 ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "tarvenik: the output was refused: %s\n", std::strerror(errno));
            return 1;
        }
        return 0;
    case TCommandLine::TAction::Error:
        std::fputs(("tarvenik: " + commandLine.Text).toLocal8Bit().constData(), stderr);
        return 2;
    case TCommandLine::TAction::Run:
        break;
    }

    // Qt's own options are not the program's: Qt is given the program name only.
    static char fallbackName[] = "tarvenik";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setFont(design::DesignFont());
    // Lets a desktop match the window to its menu entry (tarvenik.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvenik"));
    // The JPEG format is known to the picture registry for the whole run.
    const imaging::TJpegFormatsRegistration jpegFormats;

    std::unique_ptr<TPollLog> log;
    if (!commandLine.LogPath.isEmpty())
        log = std::make_unique<TPollLog>(commandLine.LogPath);

    int result = 0;
    {
        TTarvenik_Control_Form window;
        Tarvenik_Control_Form = &window;
        window.WantedSerial = commandLine.Serial;
        if (log)
            window.OnPollRead = [&log, &window](const TDataBlock& block) {
                log->Append(block, window.HeldIdentity);
            };
        window.show();
        result = QApplication::exec();
    } // the window and its destroy handler go here, while the global still names it
    Tarvenik_Control_Form = nullptr;
    return result;
}
