#pragma once
// The command line of tarvenik-cli, read into options. Nothing here touches a unit: a value out of
// range is refused before anything is sent.

#include "unit/Parameters.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

enum class TCommand { List, Read, Watch, Params, Set, Run, Help, Version };
enum class TRecordFormat { Plain, Csv, Jsonl, Prometheus };

struct TOptions {
    TCommand Command = TCommand::Help;
    std::string DevicePath;          // --device; empty: the unit the window would choose
    std::optional<QString> Serial;   // --serial
    std::optional<QString> Location; // --location
    bool Json = false;               // list, read, params
    bool Prometheus = false;         // read --format prometheus
    // watch
    int IntervalMs = 500;
    std::optional<long long> Count;
    TRecordFormat Format = TRecordFormat::Plain;
    QString OutputPath;
    bool Reconnect = false;
    bool All = false; // every attached unit at once
    // set
    unit::TParameterChange Change;
    // run
    QString FunctionName;
    std::uint8_t FunctionCode = 0;
};

struct TParsed {
    bool Ok = false;
    TOptions Options;
    QString Error; // what was wrong, for a usage error
};

// The arguments after the program's name.
TParsed ParseArguments(const QStringList& arguments);

// "usage: tarvenik-cli [--device PATH] COMMAND [OPTIONS]"
QString UsageLine();
// The usage line with every command and option.
QString UsageText();

} // namespace cli
