#include "app/CommandLine.h"

#include "framework/SystemAdvice.h"
#include "unit/Version.h"

#include <QCommandLineParser>

TCommandLine ParseCommandLine(const QStringList& arguments, bool demo) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Tarvenik control panel: polls the unit, draws its traces, edits its "
                       "parameters and runs its functions.\n"
                       "No unit at hand? %1 starts the same panel beside a virtual unit.\n"
                       "Manual: %2.")
            .arg(framework::DemoPlace(QStringLiteral("tarvenik")),
                 framework::ManualPlace(QStringLiteral("tarvenik"))));
    // Not addHelpOption: its --help-all lists Qt's own options, which the program does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on the options."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Append one CSV record per poll the unit answers to <file>, in the format "
                       "of tarvenik-cli watch --csv."),
        QStringLiteral("file"));
    parser.addOption(log);
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Hold only the unit whose serial number is <serial>, as tarvenik-cli list "
                       "shows it."),
        QStringLiteral("serial"));
    parser.addOption(serial);

    TCommandLine result;
    if (!parser.parse(arguments)) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = parser.errorText() + QStringLiteral("\nTry 'tarvenik --help'.\n");
    } else if (parser.isSet(help)) {
        result.Action = TCommandLine::TAction::Help;
        // The parser names the program after the application object, which does not exist yet.
        const QString text = parser.helpText();
        result.Text = QStringLiteral("Usage: tarvenik [options]") + text.mid(text.indexOf('\n'));
    } else if (parser.isSet(version)) {
        result.Action = TCommandLine::TAction::Version;
        result.Text = demo ? QStringLiteral("tarvenik-demo %1 (demo, beside a virtual unit)\n")
                                 .arg(unit::VersionText())
                           : QStringLiteral("tarvenik %1\n").arg(unit::VersionText());
    } else if (!parser.positionalArguments().isEmpty()) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = QStringLiteral("unexpected argument '%1'\nTry 'tarvenik --help'.\n")
                          .arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(log) && parser.value(log).isEmpty()) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = QStringLiteral("--log needs a file name\n");
    } else if (parser.isSet(serial) && parser.value(serial).isEmpty()) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = QStringLiteral("--serial needs a serial number\n");
    } else {
        result.LogPath = parser.value(log);
        result.Serial = parser.value(serial);
    }
    return result;
}
