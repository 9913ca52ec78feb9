// tarvenik-cli: the unit from a shell or a script. No window, no widgets: a core application for
// the HID controller's events, then one command.

#include "cli/Commands.h"
#include "framework/Arguments.h"
#include "framework/ConsoleText.h"
#include "framework/RunningMark.h"
#include "framework/StoppableOutput.h"
#include "unit/OutputSignals.h"

#include <QCoreApplication>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    unit::IgnoreOutputSignals();
    unit::KeepOutputBytes();
    // Qt's own options are not the tool's: Qt is given the program name only.
    static char fallbackName[] = "tarvenik-cli";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    // The uninstaller waits while a watch runs.
    const framework::TRunningMark running;
    // Russian words reach a Windows console as such, not in its code page.
    const framework::TConsoleText console;
    // A watch whose reader stopped reading still hears the first stop signal.
    const framework::TStoppableOutput output;

    const QStringList arguments = framework::CommandLineArguments(argc, argv);
    cli::TIo io{.Out = std::cout, .Err = std::cerr};
    int status = 1;
    try {
        status = cli::RunCli(arguments, io);
    } catch (const std::exception& error) {
        // Nothing a command throws on purpose gets here; still one line and status 1.
        std::cerr << "tarvenik-cli: " << error.what() << std::endl;
    }
    // A unit that kept a request waiting (a watch stopped meanwhile) has a thread waiting inside
    // the HID services: nothing that might wait for it runs after this.
    return cli::EndOfRun(status);
}
