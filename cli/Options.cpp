#include "cli/Options.h"

#include "framework/FileName.h"
#include "framework/SystemAdvice.h"
#include "unit/Block.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace cli {

namespace {

constexpr int kMaxIntervalMs = 24 * 60 * 60 * 1000;

// The functions `run` takes, in the order of the window's function selector.
constexpr std::array<const char*, kSelectorCommands.size()> kFunctionNames{
    "normal", "read", "save", "reset", "os1-test-0", "os1-test-1", "os2-test-0", "os2-test-1"};

// Walks the arguments; an option's value comes as "--name=value" or as the next argument.
class TArgs {
public:
    explicit TArgs(const QStringList& list) : list_(list) {}
    bool AtEnd() const { return index_ >= list_.size(); }
    // The next argument, split at '=' when it is a long option.
    void Next(QString& name, std::optional<QString>& inlineValue) {
        const QString& arg = list_.at(index_++);
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 2) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        } else {
            name = arg;
            inlineValue.reset();
        }
    }
    bool Value(const QString& name, std::optional<QString>& inlineValue, QString& value,
               QString& error) {
        if (inlineValue) {
            value = *inlineValue;
            return true;
        }
        if (AtEnd()) {
            error = QStringLiteral("%1 needs a value").arg(name);
            return false;
        }
        value = list_.at(index_++);
        return true;
    }

private:
    const QStringList& list_;
    qsizetype index_ = 0;
};

bool AllDigits(const QString& text) {
    if (text.isEmpty() || text.size() > 12)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool ParseCount(const QString& name, const QString& text, long long low, long long high,
                long long& out, QString& error) {
    if (!AllDigits(text) || text.toLongLong() < low || text.toLongLong() > high) {
        error = QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
                    .arg(name)
                    .arg(low)
                    .arg(high)
                    .arg(text);
        return false;
    }
    out = text.toLongLong();
    return true;
}

// Volts with a decimal point (or none): digits, at most one point, nothing else.
bool ParseVolts(const QString& name, const QString& text, long double low, long double high,
                long double& out, QString& error) {
    const QByteArray latin = text.toLatin1();
    bool digits = false;
    bool plain = latin.size() <= 32;
    int points = 0;
    for (const char c : latin) {
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.')
            ++points;
        else
            plain = false; // signs, exponents, commas, spaces, "inf", "nan"
    }
    long double value = 0;
    const auto result = std::from_chars(latin.constData(), latin.constData() + latin.size(), value,
                                        std::chars_format::fixed);
    const bool parsed = plain && digits && points <= 1 && result.ec == std::errc() &&
                        result.ptr == latin.constData() + latin.size() && std::isfinite(value);
    if (!parsed || value < low || value > high) {
        error = QStringLiteral("%1 takes volts from %2 to %3, not '%4'")
                    .arg(name, PrintfFixed(low, 2, QLocale::c()),
                         PrintfFixed(high, 2, QLocale::c()), text);
        return false;
    }
    out = value;
    return true;
}

std::optional<TCommand> CommandNamed(const QString& name) {
    static const std::array<std::pair<const char*, TCommand>, 6> commands{{
        {"list", TCommand::List},
        {"read", TCommand::Read},
        {"watch", TCommand::Watch},
        {"params", TCommand::Params},
        {"set", TCommand::Set},
        {"run", TCommand::Run},
    }};
    for (const auto& [text, command] : commands)
        if (name == QLatin1String(text))
            return command;
    return std::nullopt;
}

// One option of the command in `options.Command`; false with `error` set when it is not one.
bool CommandOption(TArgs& args, const QString& name, std::optional<QString>& inlineValue,
                   TOptions& options, bool& formatGiven, QString& error) {
    const TCommand command = options.Command;
    QString value;
    long long number = 0;
    auto takesNoValue = [&] {
        if (inlineValue)
            error = QStringLiteral("%1 takes no value").arg(name);
        return !inlineValue;
    };
    if ((command == TCommand::Read || command == TCommand::Params || command == TCommand::List) &&
        name == QLatin1String("--json")) {
        if (options.Prometheus) {
            error = QStringLiteral("--json and --format prometheus exclude each other");
            return false;
        }
        options.Json = true;
        return takesNoValue();
    }
    if (command == TCommand::Read && name == QLatin1String("--format")) {
        if (!args.Value(name, inlineValue, value, error))
            return false;
        const bool json = value == QLatin1String("json");
        options.Prometheus = value == QLatin1String("prometheus");
        if (!json && !options.Prometheus && value != QLatin1String("plain")) {
            error = QStringLiteral("--format takes plain, json or prometheus, not '%1'").arg(value);
            return false;
        }
        if ((options.Json && !json) || (json && options.Prometheus)) {
            error = QStringLiteral("--json and --format prometheus exclude each other");
            return false;
        }
        options.Json = json;
        return true;
    }
    if (command == TCommand::Watch) {
        if (name == QLatin1String("--interval")) {
            if (!args.Value(name, inlineValue, value, error) ||
                !ParseCount(name, value, 0, kMaxIntervalMs, number, error))
                return false;
            options.IntervalMs = static_cast<int>(number);
            return true;
        }
        if (name == QLatin1String("--count")) {
            if (!args.Value(name, inlineValue, value, error) ||
                !ParseCount(name, value, 1, 999'999'999'999LL, number, error))
                return false;
            options.Count = number;
            return true;
        }
        if (name == QLatin1String("--csv") || name == QLatin1String("--jsonl")) {
            const TRecordFormat format =
                name == QLatin1String("--csv") ? TRecordFormat::Csv : TRecordFormat::Jsonl;
            if (formatGiven && options.Format != format) {
                error = QStringLiteral("--csv, --jsonl and --format exclude each other");
                return false;
            }
            formatGiven = true;
            options.Format = format;
            return takesNoValue();
        }
        if (name == QLatin1String("--format")) {
            if (!args.Value(name, inlineValue, value, error))
                return false;
            static const std::array<std::pair<const char*, TRecordFormat>, 4> formats{{
                {"plain", TRecordFormat::Plain},
                {"csv", TRecordFormat::Csv},
                {"jsonl", TRecordFormat::Jsonl},
                {"prometheus", TRecordFormat::Prometheus},
            }};
            const auto found = std::find_if(formats.begin(), formats.end(), [&](const auto& f) {
                return value == QLatin1String(f.first);
            });
            if (found == formats.end()) {
                error = QStringLiteral("--format takes plain, csv, jsonl or prometheus, not '%1'")
                            .arg(value);
                return false;
            }
            if (formatGiven && options.Format != found->second) {
                error = QStringLiteral("--csv, --jsonl and --format exclude each other");
                return false;
            }
            formatGiven = true;
            options.Format = found->second;
            return true;
        }
        if (name == QLatin1String("--all")) {
            options.All = true;
            return takesNoValue();
        }
        if (name == QLatin1String("--output")) {
            if (!args.Value(name, inlineValue, value, error))
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--output needs a file name");
                return false;
            }
            options.OutputPath = value;
            return true;
        }
        if (name == QLatin1String("--reconnect")) {
            options.Reconnect = true;
            return takesNoValue();
        }
    }
    if (command == TCommand::Set) {
        for (std::size_t i = 0; i < unit::kParameterCount; ++i) {
            const unit::TParameter& row = unit::kParameters[i];
            if (name != QLatin1String(row.Option))
                continue;
            if (!args.Value(name, inlineValue, value, error))
                return false;
            long double parameter = 0;
            if (row.Kind == unit::TParameterKind::Volts) {
                if (!ParseVolts(name, value, row.Min, row.Max, parameter, error))
                    return false;
            } else {
                if (!ParseCount(name, value, static_cast<long long>(row.Min),
                                static_cast<long long>(row.Max), number, error))
                    return false;
                parameter = static_cast<long double>(number);
            }
            options.Change.Values[i] = parameter;
            return true;
        }
    }
    error = QStringLiteral("unknown option '%1'").arg(name);
    return false;
}

// The count of parameters as the usage text spells it.
QString NumberWord(std::size_t count) {
    static constexpr std::array<const char*, 10> kWords{"no",   "one", "two",   "three", "four",
                                                        "five", "six", "seven", "eight", "nine"};
    static_assert(unit::kParameterCount < kWords.size());
    return QLatin1String(kWords[std::min(count, kWords.size() - 1)]);
}

QString SetOptions() {
    QString options;
    for (const unit::TParameter& row : unit::kParameters)
        options += QStringLiteral(" [%1 %2]")
                       .arg(QLatin1String(row.Option), row.Kind == unit::TParameterKind::Volts
                                                           ? QLatin1String("V")
                                                           : QLatin1String("N"));
    return options;
}

} // namespace

QString UsageLine() {
    return QStringLiteral("usage: tarvenik-cli [--device PATH] COMMAND [OPTIONS]");
}

QString UsageText() {
    return UsageLine() + QStringLiteral(R"(
  --device PATH, --serial S, --location L
                          the unit a command is for (all given must match); without them the
                          last unit found
  list [--json]           every attached unit: device path, manufacturer, product, vendor and
                          product id, whether it can be opened for reading and writing, serial
                          ("-" when none) and location
  read [--json | --format plain|json|prometheus]
                          one read of the block: measurements, parameters, scale, both traces
  watch [--all] [--interval MS] [--count N] [--csv | --jsonl | --format FORMAT]
        [--output FILE] [--reconnect]
                          one record per read, every MS milliseconds (default 500); --all: every
                          attached unit, one record each per period; FORMAT: plain, csv, jsonl
                          or prometheus (FILE replaced whole each period)
  params [--json]         the )") +
           NumberWord(unit::kParameterCount) +
           QStringLiteral(R"( parameters as the unit holds them (command 1, then a read)
  set)") + SetOptions() +
           QStringLiteral(R"(
                          read the parameters back (command 1), change only those given, save
                          them (command 2), read back again and print what the unit now holds
  run FUNCTION            one of: normal, read, save, reset, os1-test-0, os1-test-1, os2-test-0,
                          os2-test-1 (the selector's eight items and their command codes)
  -h, --help, --version
Exit status: 0 done, 1 the unit failed (the cause on stderr), 2 a usage error.
No unit at hand? %1 is the same tool beside a virtual unit.
Manual: %2.
)")
               .arg(framework::DemoPlace(QStringLiteral("tarvenik-cli")),
                    framework::ManualPlace(QStringLiteral("tarvenik-cli")));
}

TParsed ParseArguments(const QStringList& arguments) {
    TParsed parsed;
    TOptions& options = parsed.Options;
    TArgs args(arguments);
    bool haveCommand = false;
    bool formatGiven = false;
    bool wantHelp = false;
    bool wantVersion = false;
    QString name;
    std::optional<QString> inlineValue;
    while (!args.AtEnd()) {
        args.Next(name, inlineValue);
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            wantHelp = true;
            continue;
        }
        if (name == QLatin1String("--version")) {
            wantVersion = true;
            continue;
        }
        if (name == QLatin1String("--serial") || name == QLatin1String("--location")) {
            QString value;
            if (!args.Value(name, inlineValue, value, parsed.Error))
                return parsed;
            if (value.isEmpty()) {
                parsed.Error = QStringLiteral("%1 needs a value").arg(name);
                return parsed;
            }
            (name == QLatin1String("--serial") ? options.Serial : options.Location) = value;
            continue;
        }
        if (name == QLatin1String("--device")) {
            QString value;
            if (!args.Value(name, inlineValue, value, parsed.Error))
                return parsed;
            if (value.isEmpty()) {
                parsed.Error = QStringLiteral("--device needs a device path");
                return parsed;
            }
            options.DevicePath = framework::FileNameBytes(value).toStdString(); // byte for byte
            continue;
        }
        if (!haveCommand) {
            const auto command = CommandNamed(name);
            if (!command) {
                parsed.Error = name.startsWith(QLatin1Char('-'))
                                   ? QStringLiteral("unknown option '%1'").arg(name)
                                   : QStringLiteral("unknown command '%1'").arg(name);
                return parsed;
            }
            options.Command = *command;
            haveCommand = true;
            continue;
        }
        if (options.Command == TCommand::Run && !name.startsWith(QLatin1Char('-')) &&
            options.FunctionName.isEmpty()) {
            options.FunctionName = name;
            continue;
        }
        if (!name.startsWith(QLatin1Char('-'))) {
            parsed.Error = QStringLiteral("unexpected argument '%1'").arg(name);
            return parsed;
        }
        if (!CommandOption(args, name, inlineValue, options, formatGiven, parsed.Error))
            return parsed;
    }

    if (wantHelp || wantVersion) {
        options.Command = wantHelp ? TCommand::Help : TCommand::Version;
        parsed.Ok = true;
        return parsed;
    }
    if (!haveCommand) {
        parsed.Error = QStringLiteral("no command given");
        return parsed;
    }
    if (options.All && (!options.DevicePath.empty() || options.Serial || options.Location)) {
        parsed.Error = QStringLiteral("--all takes every unit: it goes with no --device, --serial "
                                      "or --location");
        return parsed;
    }
    if (options.Command == TCommand::Set && options.Change.Empty()) {
        parsed.Error = QStringLiteral("set needs at least one parameter to change");
        return parsed;
    }
    if (options.Command == TCommand::Run) {
        const auto found =
            std::find_if(kFunctionNames.begin(), kFunctionNames.end(), [&](const char* name) {
                return options.FunctionName == QLatin1String(name);
            });
        if (found == kFunctionNames.end()) {
            parsed.Error = options.FunctionName.isEmpty()
                               ? QStringLiteral("run needs a function")
                               : QStringLiteral("unknown function '%1'").arg(options.FunctionName);
            return parsed;
        }
        options.FunctionCode =
            kSelectorCommands[static_cast<std::size_t>(found - kFunctionNames.begin())];
    }
    parsed.Ok = true;
    return parsed;
}

} // namespace cli
