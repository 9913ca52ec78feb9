#include "app/CommandLine.h"

#include "unit/Version.h"

#include <QCommandLineParser>

TCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Tarvenik control panel: polls the unit, draws its traces, edits its "
                       "parameters and runs its functions."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Append one CSV record per poll the unit answers to <file>, in the format "
                       "of tarvenik-cli watch --csv."),
        QStringLiteral("file"));
    parser.addOption(log);

    TCommandLine result;
    if (!parser.parse(arguments)) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = parser.errorText() + QStringLiteral("\nTry 'tarvenik --help'.\n");
    } else if (parser.isSet(help)) {
        result.Action = TCommandLine::TAction::Help;
        result.Text = parser.helpText();
    } else if (parser.isSet(version)) {
        result.Action = TCommandLine::TAction::Version;
        result.Text = QStringLiteral("tarvenik %1\n").arg(unit::VersionText());
    } else if (!parser.positionalArguments().isEmpty()) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = QStringLiteral("unexpected argument '%1'\nTry 'tarvenik --help'.\n")
                          .arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(log) && parser.value(log).isEmpty()) {
        result.Action = TCommandLine::TAction::Error;
        result.Text = QStringLiteral("--log needs a file name\n");
    } else {
        result.LogPath = parser.value(log);
    }
    return result;
}
