#include "cli/Commands.h"

#include "cli/Prometheus.h"
#include "cli/Sinks.h"
#include "cli/Watch.h"
#include "cli/WatchAll.h"
#include "framework/ProgramEnd.h"
#include "unit/Parameters.h"
#include "unit/Record.h"
#include "unit/UnitExchange.h"
#include "unit/Version.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

namespace cli {

namespace {

constexpr int kNameWidth = 16;

QString Samples(const TDataBlock& data, int first) {
    QStringList values;
    for (int i = 0; i < block::kSamplePairs; ++i)
        values << QString::number(data[static_cast<std::size_t>(first + 2 * i)]);
    return values.join(QLatin1Char(' '));
}

void PutLines(std::ostream& out, const std::vector<std::pair<QString, QString>>& lines) {
    QString text;
    for (const auto& [name, value] : lines)
        text += name.leftJustified(kNameWidth) + value + QLatin1Char('\n');
    Put(out, text);
}

std::vector<unit::TField> ParametersOf(const TDataBlock& data) {
    std::vector<unit::TField> fields = unit::FieldsOf(data);
    std::erase_if(fields, [](const unit::TField& field) { return !field.Parameter; });
    return fields;
}

void PutParameters(const TDataBlock& data, bool json, std::ostream& out) {
    const std::vector<unit::TField> fields = ParametersOf(data);
    if (json) {
        Put(out, unit::JsonObject(fields) + QLatin1Char('\n'));
        return;
    }
    std::vector<std::pair<QString, QString>> lines;
    for (const unit::TField& field : fields)
        lines.emplace_back(field.Name, field.Text);
    PutLines(out, lines);
}

// The unit's side of a set: the parameters it holds must be those it was sent.
bool Kept(const TDataBlock& sent, const TDataBlock& held) {
    return unit::SameParameters(sent, held);
}

// Volts as asked: two decimals, more only when the value asked has them.
QString AskedVoltsText(long double volts) {
    for (int decimals = 2; decimals < 6; ++decimals) {
        const QByteArray text = PrintfFixed(volts, decimals, QLocale::c()).toLatin1();
        long double back = 0;
        std::from_chars(text.constData(), text.constData() + text.size(), back,
                        std::chars_format::fixed);
        if (back == volts)
            return QString::fromLatin1(text);
    }
    return PrintfFixed(volts, 6, QLocale::c());
}

// Each value in volts given, checked against what the unit can hold at the block's scale before
// anything is written; answers the notes on values the unit's step changes.
QStringList CheckThresholds(const unit::TParameterChange& change, const TDataBlock& data) {
    const int scaleValue = ScaleOf(data);
    const QString steps = QStringLiteral("steps of %1 V at scale %2")
                              .arg(PrintfFixed(RawToVolts(1, scaleValue), 4, QLocale::c()))
                              .arg(scaleValue);
    QStringList notes;
    for (std::size_t i = 0; i < unit::kParameterCount; ++i) {
        const unit::TParameter& row = unit::kParameters[i];
        const std::optional<long double>& volts = change.Values[i];
        if (row.Kind != unit::TParameterKind::Volts || !volts)
            continue;
        // Named as the option is, without its dashes.
        const QString name = QLatin1String(row.Option).mid(2);
        const QString asked = AskedVoltsText(*volts);
        const unit::TThresholdFit fit = unit::FitThreshold(row, *volts, scaleValue);
        if (!fit.Holdable) {
            const unit::TCountRange range = unit::HoldableCounts(row, scaleValue);
            auto voltsOf = [&](int count) {
                return PrintfFixed(RawToVolts(static_cast<std::uint8_t>(count), scaleValue), 2,
                                   QLocale::c());
            };
            throw TValueRefused{QStringLiteral("%1: %2 V cannot be held at scale %3: the unit "
                                               "holds %4 to %5 V there (%6)")
                                    .arg(name, asked)
                                    .arg(scaleValue)
                                    .arg(voltsOf(range.Lowest), voltsOf(range.Highest), steps)};
        }
        // The window shows two decimals: a stored value that shows as asked is as asked.
        const QString stored = PrintfFixed(fit.StoredVolts, 2, QLocale::c());
        if (stored != asked)
            notes << QStringLiteral("%1: %2 V is stored as %3 V (%4)")
                         .arg(name, asked, stored, steps);
    }
    return notes;
}

void OpenOrThrow(TUnitLink& link) {
    if (const TFailure failure = link.Open(); failure != TFailure::None)
        throw TUnitFailure{failure, failure == TFailure::NoUnit ? link.WantedPath() : link.Path(),
                           failure == TFailure::NoUnit ? link.ChoiceProblem() : QString()};
}

unit::TUnitIdentity IdentityOf(const TUnitEntry& entry) {
    return {entry.Serial, entry.Location};
}

QString ListJson(const std::vector<TUnitEntry>& units, int chosen) {
    using namespace Qt::StringLiterals;
    QString text = QStringLiteral("[");
    for (std::size_t i = 0; i < units.size(); ++i) {
        const TUnitEntry& entry = units[i];
        if (i > 0)
            text += QLatin1Char(',');
        text += unit::JsonObject({
            {"path"_L1, unit::JsonString(QString::fromStdString(entry.Path)), false},
            {"manufacturer"_L1, unit::JsonString(entry.Manufacturer), false},
            {"product"_L1, unit::JsonString(entry.Product), false},
            {"vendor_id"_L1,
             unit::JsonString(QStringLiteral("%1").arg(entry.VendorId, 4, 16, QLatin1Char('0'))),
             false},
            {"product_id"_L1,
             unit::JsonString(QStringLiteral("%1").arg(entry.ProductId, 4, 16, QLatin1Char('0'))),
             false},
            {"read_write"_L1, entry.ReadWrite ? u"true"_s : u"false"_s, false},
            {"serial"_L1, unit::JsonString(entry.Serial, true), false},
            {"location"_L1, unit::JsonString(entry.Location, true), false},
            {"chosen"_L1, static_cast<int>(i) == chosen ? u"true"_s : u"false"_s, false},
        });
    }
    return text + QStringLiteral("]\n");
}

// The status of a command whose output is all written: 1 when the output refused it.
int Finished(TIo& io) {
    QString reason;
    if (Flush(io.Out, reason))
        return 0;
    Put(io.Err, QStringLiteral("tarvenik-cli: %1\n").arg(reason));
    return 1;
}

int Usage(TIo& io, const QString& error) {
    Put(io.Err, QStringLiteral("tarvenik-cli: %1\n%2\n").arg(error, UsageLine()));
    return 2;
}

} // namespace

TDataBlock ReadParametersBack(TUnitLink& link, TIo&) {
    return link.ReadBackOrThrow();
}

void RunList(const TOptions& options, TUnitLink& link, TIo& io) {
    if (!link.ServicesLoaded())
        throw TUnitFailure{TFailure::NoServices, {}};
    const std::vector<TUnitEntry> units = link.Units();
    const int chosen = link.ChosenIndex(units);
    const bool markChosen =
        units.size() > 1 || !options.DevicePath.empty() || options.Serial || options.Location;
    auto shown = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("-") : unit::PlainText(text);
    };
    QString text;
    for (std::size_t i = 0; i < units.size() && !options.Json; ++i) {
        const TUnitEntry& entry = units[i];
        text +=
            QStringLiteral("%1\t%2\t%3\t%4:%5\t%6\t%7\t%8")
                .arg(unit::PlainText(QString::fromStdString(entry.Path)),
                     unit::PlainText(entry.Manufacturer), unit::PlainText(entry.Product))
                .arg(entry.VendorId, 4, 16, QLatin1Char('0'))
                .arg(entry.ProductId, 4, 16, QLatin1Char('0'))
                .arg(entry.ReadWrite ? QStringLiteral("read-write") : QStringLiteral("no-access"),
                     shown(entry.Serial), shown(entry.Location));
        if (markChosen && static_cast<int>(i) == chosen)
            text += QStringLiteral("\tchosen");
        text += QLatin1Char('\n');
    }
    if (options.Json)
        text = ListJson(units, chosen);
    Put(io.Out, text);
    if (chosen < 0)
        throw TUnitFailure{TFailure::NoUnit, options.DevicePath, link.ChoiceProblem()};
}

void RunRead(const TOptions& options, TUnitLink& link, TIo& io) {
    OpenOrThrow(link);
    TDataBlock data{};
    link.ReadOrThrow(data);
    const QDateTime time = io.Now();
    if (options.Json) {
        Put(io.Out, unit::JsonRecord(time, data, IdentityOf(link.Held())) + QLatin1Char('\n'));
        return;
    }
    if (options.Prometheus) {
        Put(io.Out, PrometheusText({{time, data, {}, IdentityOf(link.Held())}}));
        return;
    }
    std::vector<std::pair<QString, QString>> lines{{QStringLiteral("time"), unit::TimeText(time)}};
    for (const unit::TField& field : unit::FieldsOf(data))
        lines.emplace_back(field.Name, field.Text);
    lines.emplace_back(QStringLiteral("samples_a"), Samples(data, 0));
    lines.emplace_back(QStringLiteral("samples_b"), Samples(data, 1));
    PutLines(io.Out, lines);
}

void RunParams(const TOptions& options, TUnitLink& link, TIo& io) {
    OpenOrThrow(link);
    PutParameters(ReadParametersBack(link, io), options.Json, io.Out);
}

void RunSet(const TOptions& options, TUnitLink& link, TIo& io) {
    OpenOrThrow(link);
    TDataBlock data = ReadParametersBack(link, io);
    const QStringList notes = CheckThresholds(options.Change, data);
    // The session writes the change into the block it read back, as here.
    link.CommandOrThrow(cmd_save_eeprom, options.Change);
    unit::ApplyParameters(options.Change, data);
    const TDataBlock held = ReadParametersBack(link, io);
    PutParameters(held, false, io.Out);
    if (!Kept(data, held))
        throw TUnitFailure{TFailure::NotKept, link.Path()};
    for (const QString& note : notes)
        Put(io.Err, note + QLatin1Char('\n'));
}

void RunFunction(const TOptions& options, TUnitLink& link, TIo& io) {
    OpenOrThrow(link);
    if (options.FunctionCode == cmd_read_eeprom) {
        ReadParametersBack(link, io);
        return;
    }
    // Every report sets the unit's working parameters too: they go back as the unit holds them,
    // read back first, as the window reads them back before its first command.
    ReadParametersBack(link, io);
    link.CommandOrThrow(options.FunctionCode);
}

namespace {

std::unique_ptr<TRecordSink> SinkOf(const TOptions& options, TIo& io) {
    const TSinkSetup setup{options.Format, options.All};
    return options.OutputPath.isEmpty() ? MakeStreamSink(io.Out, setup)
                                        : MakeFileSink(options.OutputPath, setup, io.Err);
}

int Watch(const TOptions& options, TUnitLink& link, TIo& io) {
    std::unique_ptr<TRecordSink> sink = SinkOf(options, io);
    OpenOrThrow(link);
    TWatch watch(options, link, *sink, io);
    return watch.Run();
}

int WatchAll(const TOptions& options, TIo& io) {
    std::unique_ptr<TRecordSink> sink = SinkOf(options, io);
    TUnitSet units;
    if (!units.ServicesLoaded())
        throw TUnitFailure{TFailure::NoServices, {}};
    units.TakeNew();
    if (units.Slots().empty())
        throw TUnitFailure{TFailure::NoUnit, {}};
    TWatchAll watch(options, units, *sink, io);
    return watch.Run();
}

} // namespace

int RunCli(const QStringList& arguments, TIo& io) {
    const TParsed parsed = ParseArguments(arguments);
    if (!parsed.Ok)
        return Usage(io, parsed.Error);
    const TOptions& options = parsed.Options;
    if (options.Command == TCommand::Help || options.Command == TCommand::Version) {
        Put(io.Out, options.Command == TCommand::Help
                        ? UsageText()
                        : QStringLiteral("tarvenik-cli %1\n").arg(unit::VersionText()));
        return Finished(io);
    }
    try {
        if (options.Command == TCommand::Watch && options.All)
            return WatchAll(options, io);
        TUnitLink link(TUnitChoice{options.DevicePath, options.Serial, options.Location});
        switch (options.Command) {
        case TCommand::List:
            RunList(options, link, io);
            break;
        case TCommand::Read:
            RunRead(options, link, io);
            break;
        case TCommand::Params:
            RunParams(options, link, io);
            break;
        case TCommand::Set:
            RunSet(options, link, io);
            break;
        case TCommand::Run:
            RunFunction(options, link, io);
            break;
        case TCommand::Watch:
            return Watch(options, link, io);
        case TCommand::Help:
        case TCommand::Version:
            break;
        }
    } catch (const TValueRefused& refused) {
        io.Out.flush();
        Put(io.Err, QStringLiteral("tarvenik-cli: %1\n").arg(refused.Text));
        return 2;
    } catch (const TUnitFailure& failure) {
        io.Out.flush();
        Put(io.Err, QStringLiteral("tarvenik-cli: %1\n")
                        .arg(failure.Text.isEmpty() ? FailureText(failure.Failure, failure.Path)
                                                    : failure.Text));
        return 1;
    }
    return Finished(io);
}

int EndOfRun(int status) {
    if (unit::TUnitExchange::AbandonedRequests() == 0)
        return status;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    framework::EndAtOnce(status);
}

} // namespace cli
