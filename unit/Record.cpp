#include "unit/Record.h"

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

// RFC 4180: a field with a comma, a quote or a line end goes in quotes, its quotes doubled.
QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString JsonString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

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
    return {
        {"os1_min_v"_L1, Volts(data, block::kOs1Min), false},
        {"os1_max_v"_L1, Volts(data, block::kOs1Max), false},
        {"os2_voltage_v"_L1, Volts(data, block::kOs2Voltage), false},
        {"os2_pulse_time"_L1, Count(data, block::kOs2PulseTime), false},
        {"os1_time_1"_L1, Count(data, block::kOs1Time1), false},
        {"os1_time_0"_L1, Count(data, block::kOs1Time0), false},
        {"os1_state"_L1, Count(data, block::kOs1State), false},
        {"position"_L1, Count(data, block::kPosition), false},
        {"scale"_L1, QString::number(ScaleOf(data)), false},
        {"poll_period"_L1, Count(data, block::kPollPeriod), true},
        {"threshold0_v"_L1, Volts(data, block::kThreshold0), true},
        {"threshold1_v"_L1, Volts(data, block::kThreshold1), true},
        {"os2_length"_L1, Count(data, block::kOs2Length), true},
        {"os2_delay"_L1, Count(data, block::kOs2Delay), true},
    };
}

QString CsvHeader() {
    QString line = QStringLiteral("time");
    for (const TField& field : FieldsOf(TDataBlock{}))
        line += QLatin1Char(',') + field.Name;
    return line + QLatin1Char(',') + kEventColumn + QStringLiteral("\r\n");
}

QString CsvRecord(const QDateTime& time, const TDataBlock& data) {
    QString line = TimeText(time);
    for (const TField& field : FieldsOf(data))
        line += QLatin1Char(',') + CsvField(field.Text);
    return line + QStringLiteral(",\r\n");
}

QString CsvEventRecord(const QDateTime& time, const QString& event) {
    QString line = TimeText(time);
    line += QString(static_cast<qsizetype>(FieldsOf(TDataBlock{}).size()), QLatin1Char(','));
    return line + QLatin1Char(',') + CsvField(event) + QStringLiteral("\r\n");
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

QString JsonRecord(const QDateTime& time, const TDataBlock& data) {
    using namespace Qt::StringLiterals;
    std::vector<TField> fields{{"time"_L1, JsonString(TimeText(time)), false}};
    for (TField& field : FieldsOf(data))
        fields.push_back(std::move(field));
    fields.push_back({"samples_a"_L1, JsonBytes(data, 0, 2, block::kSamplePairs), false});
    fields.push_back({"samples_b"_L1, JsonBytes(data, 1, 2, block::kSamplePairs), false});
    fields.push_back({"raw"_L1, JsonBytes(data, 0, 1, block::kBlockSize), false});
    return JsonObject(fields);
}

QString JsonEventRecord(const QDateTime& time, const QString& event) {
    using namespace Qt::StringLiterals;
    return JsonObject(
        {{"time"_L1, JsonString(TimeText(time)), false}, {kEventColumn, JsonString(event), false}});
}

} // namespace unit
