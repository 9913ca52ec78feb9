#include "unit/Record.h"

#include <QLocale>

#include <cstdlib>

namespace unit {

namespace {

QString Name(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

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

constexpr std::string_view kEventColumn = "event";

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
    return {
        {"os1_min_v", Volts(data, block::kOs1Min), false},
        {"os1_max_v", Volts(data, block::kOs1Max), false},
        {"os2_voltage_v", Volts(data, block::kOs2Voltage), false},
        {"os2_pulse_time", Count(data, block::kOs2PulseTime), false},
        {"os1_time_1", Count(data, block::kOs1Time1), false},
        {"os1_time_0", Count(data, block::kOs1Time0), false},
        {"os1_state", Count(data, block::kOs1State), false},
        {"position", Count(data, block::kPosition), false},
        {"scale", QString::number(ScaleOf(data)), false},
        {"poll_period", Count(data, block::kPollPeriod), true},
        {"threshold0_v", Volts(data, block::kThreshold0), true},
        {"threshold1_v", Volts(data, block::kThreshold1), true},
        {"os2_length", Count(data, block::kOs2Length), true},
        {"os2_delay", Count(data, block::kOs2Delay), true},
    };
}

QString CsvHeader() {
    QString line = QStringLiteral("time");
    for (const TField& field : FieldsOf(TDataBlock{}))
        line += QLatin1Char(',') + Name(field.Name);
    return line + QLatin1Char(',') + Name(kEventColumn) + QStringLiteral("\r\n");
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
        out += JsonString(Name(field.Name)) + QLatin1Char(':') + field.Text;
    }
    return out + QLatin1Char('}');
}

QString JsonRecord(const QDateTime& time, const TDataBlock& data) {
    QString out = QStringLiteral("{\"time\":") + JsonString(TimeText(time));
    for (const TField& field : FieldsOf(data))
        out += QLatin1Char(',') + JsonString(Name(field.Name)) + QLatin1Char(':') + field.Text;
    out += QStringLiteral(",\"samples_a\":") + JsonBytes(data, 0, 2, block::kSamplePairs);
    out += QStringLiteral(",\"samples_b\":") + JsonBytes(data, 1, 2, block::kSamplePairs);
    out += QStringLiteral(",\"raw\":") + JsonBytes(data, 0, 1, block::kBlockSize);
    return out + QLatin1Char('}');
}

QString JsonEventRecord(const QDateTime& time, const QString& event) {
    return QStringLiteral("{\"time\":") + JsonString(TimeText(time)) + QStringLiteral(",\"") +
           Name(kEventColumn) + QStringLiteral("\":") + JsonString(event) + QLatin1Char('}');
}

} // namespace unit
