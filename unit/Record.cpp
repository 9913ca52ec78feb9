#include "unit/Record.h"

#include "unit/ParameterTable.h"

#include <QLocale>

#include <cstdlib>
#include <utility>

namespace unit {

namespace {

QString Count(const TDataBlock& data, int index) {
    return QString::number(data[static_cast<std::size_t>(index)]);
}

QString Volts(const TDataBlock& data, int index) {
    return PrintfFixed(RawToVolts(data[static_cast<std::size_t>(index)], ScaleOf(data)), 2,
                       QLocale::c());
}

// RFC 4180: a field with a comma, a quote or a line end goes in quotes, its quotes doubled. No
// control reaches the file: a line end or an escape character in a unit's text is written as
// PlainText writes it, and that field is quoted too.
QString CsvField(const QString& text) {
    const QString plain = PlainText(text);
    if (plain == text && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = plain;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString JsonString(const QString& text, bool emptyIsNull) {
    if (emptyIsNull && text.isEmpty())
        return QStringLiteral("null");
    QString out = QStringLiteral("\"");
    ForEachCharacter(text, [&out](char32_t code, QStringView units) {
        if (code == U'"' || code == U'\\') {
            out += QLatin1Char('\\');
            out += units;
        } else if (Unshowable(code)) {
            for (const QChar unit : units)
                out += QStringLiteral("\\u%1").arg(unit.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += units;
        }
    });
    return out + QLatin1Char('"');
}

namespace {

QString JsonBytes(const TDataBlock& data, int first, int step, int count) {
    QString out = QStringLiteral("[");
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += Count(data, first + i * step);
    }
    return out + QLatin1Char(']');
}

constexpr QLatin1String kEventColumn("event");
constexpr QLatin1String kSerialColumn("serial");
constexpr QLatin1String kLocationColumn("location");

QString CsvIdentity(const TUnitIdentity& unit, TLayout layout) {
    if (layout == TLayout::WithoutIdentity)
        return QString();
    return QLatin1Char(',') + CsvField(unit.Serial) + QLatin1Char(',') + CsvField(unit.Location);
}

void AddIdentity(std::vector<TField>& fields, const TUnitIdentity& unit) {
    fields.push_back({kSerialColumn, JsonString(unit.Serial, true), false});
    fields.push_back({kLocationColumn, JsonString(unit.Location, true), false});
}

} // namespace

QString TimeText(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::vector<TField> FieldsOf(const TDataBlock& data) {
    using namespace Qt::StringLiterals;
    std::vector<TField> fields{
        {"os1_min_v"_L1, Volts(data, block::kOs1Min), false, "Lowest OS1 voltage"_L1},
        {"os1_max_v"_L1, Volts(data, block::kOs1Max), false, "Highest OS1 voltage"_L1},
        {"os2_voltage_v"_L1, Volts(data, block::kOs2Voltage), false, "OS2 pulse voltage"_L1},
        {"os2_pulse_time"_L1, Count(data, block::kOs2PulseTime), false,
         "OS2 pulse time, in the unit's counts"_L1},
        {"os1_time_1"_L1, Count(data, block::kOs1Time1), false,
         "Time OS1 spends in state 1, in the unit's counts"_L1},
        {"os1_time_0"_L1, Count(data, block::kOs1Time0), false,
         "Time OS1 spends in state 0, in the unit's counts"_L1},
        {"os1_state"_L1, Count(data, block::kOs1State), false, "Current OS1 state"_L1},
        {"position"_L1, Count(data, block::kPosition), false, "Position value"_L1},
        {"scale"_L1, QString::number(ScaleOf(data)), false, "Raw count that stands for 1.1 V"_L1},
    };
    fields.reserve(fields.size() + kParameterCount);
    for (const TParameter& row : kParameters)
        fields.push_back(
            {QLatin1String(row.Name),
             row.Kind == TParameterKind::Volts ? Volts(data, row.Byte) : Count(data, row.Byte),
             true, QLatin1String(row.Help)});
    return fields;
}

QString CsvHeader(TLayout layout) {
    QString line = QStringLiteral("time");
    for (const TField& field : FieldsOf(TDataBlock{}))
        line += QLatin1Char(',') + field.Name;
    line += QLatin1Char(',') + kEventColumn;
    if (layout == TLayout::Current)
        line += QLatin1Char(',') + kSerialColumn + QLatin1Char(',') + kLocationColumn;
    return line + QStringLiteral("\r\n");
}

QString CsvRecord(const QDateTime& time, const TDataBlock& data, const TUnitIdentity& unit,
                  TLayout layout) {
    QString line = TimeText(time);
    for (const TField& field : FieldsOf(data))
        line += QLatin1Char(',') + CsvField(field.Text);
    return line + QLatin1Char(',') + CsvIdentity(unit, layout) + QStringLiteral("\r\n");
}

QString CsvEventRecord(const QDateTime& time, const QString& event, const TUnitIdentity& unit,
                       TLayout layout) {
    QString line = TimeText(time);
    line += QString(static_cast<qsizetype>(FieldsOf(TDataBlock{}).size()), QLatin1Char(','));
    return line + QLatin1Char(',') + CsvField(event) + CsvIdentity(unit, layout) +
           QStringLiteral("\r\n");
}

QString JsonObject(const std::vector<TField>& fields) {
    QString out = QStringLiteral("{");
    for (const TField& field : fields) {
        if (out.size() > 1)
            out += QLatin1Char(',');
        out += JsonString(field.Name) + QLatin1Char(':') + field.Text;
    }
    return out + QLatin1Char('}');
}

QString JsonRecord(const QDateTime& time, const TDataBlock& data, const TUnitIdentity& unit) {
    using namespace Qt::StringLiterals;
    std::vector<TField> fields{{"time"_L1, JsonString(TimeText(time)), false}};
    for (TField& field : FieldsOf(data))
        fields.push_back(std::move(field));
    fields.push_back({"samples_a"_L1, JsonBytes(data, 0, 2, block::kSamplePairs), false});
    fields.push_back({"samples_b"_L1, JsonBytes(data, 1, 2, block::kSamplePairs), false});
    fields.push_back({"raw"_L1, JsonBytes(data, 0, 1, block::kBlockSize), false});
    AddIdentity(fields, unit);
    return JsonObject(fields);
}

QString JsonEventRecord(const QDateTime& time, const QString& event, const TUnitIdentity& unit) {
    using namespace Qt::StringLiterals;
    std::vector<TField> fields{{"time"_L1, JsonString(TimeText(time)), false},
                               {kEventColumn, JsonString(event), false}};
    AddIdentity(fields, unit);
    return JsonObject(fields);
}

bool Unshowable(char32_t code) {
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString PlainEscape(char32_t code) {
    switch (code) {
    case U'\t':
        return QStringLiteral("\\t");
    case U'\n':
        return QStringLiteral("\\n");
    case U'\r':
        return QStringLiteral("\\r");
    default:
        break;
    }
    if (code < 0x80)
        return QStringLiteral("\\x%1").arg(static_cast<uint>(code), 2, 16, QLatin1Char('0'));
    if (code <= 0xFFFF)
        return QStringLiteral("\\u%1").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0'));
    return QStringLiteral("\\U%1").arg(static_cast<uint>(code), 8, 16, QLatin1Char('0'));
}

QString PlainText(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    ForEachCharacter(text, [&plain](char32_t code, QStringView units) {
        if (Unshowable(code))
            plain += PlainEscape(code);
        else
            plain += units;
    });
    return plain;
}

} // namespace unit
