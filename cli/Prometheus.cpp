#include "cli/Prometheus.h"

#include "unit/Record.h"

namespace cli {

namespace {

// Label values escape the backslash, the double quote and the line end, the only escapes a
// reader knows. Any other character PlainText escapes is written as PlainText writes it, its
// backslash escaped in turn: the reader's label value is the text `\x1b` or `\u200b`, and no
// control reaches a terminal that shows the file.
QString LabelValue(const QString& text) {
    QString out;
    unit::ForEachCharacter(text, [&out](char32_t code, QStringView units) {
        if (code == U'\\')
            out += QLatin1String("\\\\");
        else if (code == U'"')
            out += QLatin1String("\\\"");
        else if (code == U'\n')
            out += QLatin1String("\\n");
        else if (unit::Unshowable(code))
            out += QLatin1Char('\\') + unit::PlainEscape(code);
        else
            out += units;
    });
    return out;
}

QString Labels(const unit::TUnitIdentity& unit) {
    return QStringLiteral("{serial=\"%1\",location=\"%2\"}")
        .arg(LabelValue(unit.Serial), LabelValue(unit.Location));
}

QString Family(const QString& name, const QString& help) {
    return QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n").arg(name, help);
}

} // namespace

QString MetricName(const QString& field) {
    // Prometheus wants base units spelt out: the records' "_v" is volts.
    QString name = QStringLiteral("tarvenik_") + field;
    if (name.endsWith(QLatin1String("_v")))
        name += QLatin1String("olts");
    return name;
}

QString PrometheusText(const std::vector<TRecordRow>& period) {
    // Written every period for every unit: built by appending, the labels of each unit once.
    std::vector<QString> labels;
    std::vector<std::vector<unit::TField>> values;
    for (const TRecordRow& row : period) {
        labels.push_back(Labels(row.Unit));
        values.push_back(row.Data ? unit::FieldsOf(*row.Data) : std::vector<unit::TField>{});
    }
    QString text;
    text.reserve(1024 + 1024 * static_cast<qsizetype>(period.size()));
    text += Family(QStringLiteral("tarvenik_up"),
                   QStringLiteral("1 while the unit answers, 0 after a failed read"));
    for (std::size_t r = 0; r < period.size(); ++r) {
        text += QLatin1String("tarvenik_up");
        text += labels[r];
        text += period[r].Data ? QLatin1String(" 1\n") : QLatin1String(" 0\n");
    }
    const std::vector<unit::TField> names = unit::FieldsOf(TDataBlock{});
    for (std::size_t f = 0; f < names.size(); ++f) {
        const QString name = MetricName(names[f].Name);
        text += Family(name, names[f].Help);
        for (std::size_t r = 0; r < period.size(); ++r) {
            if (values[r].empty())
                continue;
            text += name;
            text += labels[r];
            text += QLatin1Char(' ');
            text += values[r][f].Text;
            text += QLatin1Char('\n');
        }
    }
    return text;
}

} // namespace cli
