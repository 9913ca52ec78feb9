// The program: one control window and the message loop.

#include "app/CommandLine.h"
#include "app/DesignFont.h"
#include "app/Desktop.h"
#include "app/FirstFrame.h"
#include "app/FontWarmUp.h"
#include "app/HistoryLink.h"
#include "app/MessageLog.h"
#include "app/Placement.h"
#include "app/PollLog.h"
#include "app/QtPlatform.h"
#include "app/Translation.h"
#include "app/Unit1.h"
#include "framework/Arguments.h"
#include "framework/ConsoleText.h"
#include "framework/FileName.h"
#include "framework/Home.h"
#include "framework/ProgramEnd.h"
#include "framework/RunningMark.h"
#include "framework/StopSignals.h"
#include "imaging/jpeg.h"
#include "unit/Edition.h"
#include "unit/OutputSignals.h"
#include "unit/UnitExchange.h"

#include <QApplication>
#include <QSettings>
#include <QTranslator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

int main(int argc, char** argv) {
    unit::IgnoreOutputSignals();
    unit::KeepOutputBytes();
    // File names are taken whole: byte for byte on Linux, from the UTF-16 command line on Windows.
    const QStringList arguments =
        QStringList{QStringLiteral("tarvenik")} + framework::CommandLineArguments(argc, argv);
    const bool demo = unit::DemoEdition();
    const TCommandLine commandLine = ParseCommandLine(arguments, demo);
    if (commandLine.Action != TCommandLine::TAction::Run)
        framework::ReachStartingConsole();
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

    // The font configuration is read while the application connects to the display.
    startup::TFontWarmUp fontWarmUp;
    // Qt's own options are not the program's: Qt is given the program name only, and the demo
    // copy (a file named tarvenik too) is given its own, which names its window's X11 instance.
    // The platform's options, where the program chooses them for its system, follow.
    static char panelName[] = "tarvenik";
    static char demoName[] = "tarvenik-demo";
    static char platformFlag[] = "-platform";
    QByteArray platformOptions = startup::QtPlatformOptions();
    char* qtArgv[] = {demo ? demoName : panelName, platformFlag, platformOptions.data(), nullptr};
    int qtArgc = platformOptions.isEmpty() ? 1 : 3;
    if (qtArgc == 1)
        qtArgv[1] = nullptr;
    QApplication application(qtArgc, qtArgv);
    fontWarmUp.Wait();
    // The uninstaller waits while the panel runs.
    const framework::TRunningMark running;
    QApplication::setFont(design::DesignFont());
    // Lets a desktop match the window to its menu entry, and tell the demo from the panel.
    desktop::Identify(demo);
    // Named after the application: the demo's messages go apart.
    messages::RouteMessages();
    QTranslator english;
    translation::Install(english);
    // The JPEG format is known to the picture registry for the whole run.
    const imaging::TJpegFormatsRegistration jpegFormats;

    std::unique_ptr<TPollLog> log;
    if (!commandLine.LogPath.isEmpty())
        log = std::make_unique<TPollLog>(commandLine.LogPath);

    int result = 0;
    {
        // Only the position is kept: the window's size is fixed. Without a usable home folder
        // nothing is kept (Qt would write it under "/" or make the missing folders).
        std::optional<QSettings> settings;
        if (framework::HomeUsable())
            settings.emplace();
        // The HID modules and the first device scan wait for the first frame.
        TTarvenik_Control_Form window(nullptr, TTarvenik_Control_Form::TUnitStart::AfterFirstFrame);
        Tarvenik_Control_Form = &window;
        window.WantedSerial = commandLine.Serial;
        window.RememberedPlace = [&settings] {
            return settings ? design::RememberedPosition(*settings) : std::optional<QPoint>();
        };
        // The history window's place is kept as it closes, which the control window's closing
        // brings about too; written out with the control window's below.
        window.History->RememberedPlace = [&settings] {
            return settings ? settings->value(QStringLiteral("history/place")).toByteArray()
                            : QByteArray();
        };
        window.History->RememberPlace = [&settings](const QByteArray& place) {
            if (settings)
                settings->setValue(QStringLiteral("history/place"), place);
        };
        if (log)
            window.OnPollRead = [&log, &window](const TDataBlock& block) {
                log->Append(block, window.HeldIdentity);
            };
        // SIGTERM, SIGINT and SIGHUP close the window as its close button does, so its place is
        // kept; a second one ends the program at once.
        framework::TStopSignals stopSignals;
        QObject::connect(&stopSignals, &framework::TStopSignals::Stop, &window, &QWidget::close);
        window.show();
        startup::AfterFirstFrame(window, [demo] { desktop::SetWindowIcon(demo); });
        result = QApplication::exec();
        if (settings)
            design::RememberPosition(*settings, window.pos());
    } // the window and its destroy handler go here, while the global still names it
    Tarvenik_Control_Form = nullptr;
    // A unit that kept a request waiting has a thread waiting inside the HID services: nothing
    // that might wait for it or take the services away runs after this.
    if (unit::TUnitExchange::AbandonedRequests() > 0) {
        std::fflush(nullptr);
        framework::EndAtOnce(result);
    }
    return result;
}
