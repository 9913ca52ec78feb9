#include "cli/Sinks.h"

#include "cli/Io.h"
#include "unit/Record.h"

namespace cli {

namespace {

QString HeaderOf(TRecordFormat format) {
    return format == TRecordFormat::Csv ? unit::CsvHeader() : QString();
}

class TStreamSink : public TRecordSink {
public:
    TStreamSink(std::ostream& stream, TRecordFormat format)
        : stream_(stream), header_(HeaderOf(format)) {}
    bool Write(const QString& record) override {
        const bool ok = Put(stream_, header_ + record) && Flush(stream_, error_);
        header_.clear();
        return ok;
    }
    QString Error() const override { return error_; }

private:
    std::ostream& stream_;
    QString header_;
    QString error_ = QStringLiteral("the output was refused");
};

class TFileSink : public TRecordSink {
public:
    TFileSink(const QString& path, TRecordFormat format) : file_(path, HeaderOf(format)) {}
    bool Write(const QString& record) override { return file_.Append(record); }
    QString Error() const override {
        return QStringLiteral("cannot write %1: %2").arg(file_.Path(), file_.ErrorString());
    }

private:
    unit::TRecordFile file_;
};

// key=value pairs on one line, for a person to read.
QString PlainLine(const QDateTime& time, const std::vector<unit::TField>& fields) {
    QString line = QStringLiteral("time=") + unit::TimeText(time);
    for (const unit::TField& field : fields)
        line += QLatin1Char(' ') + field.Name + QLatin1Char('=') + field.Text;
    return line + QLatin1Char('\n');
}

} // namespace

std::unique_ptr<TRecordSink> MakeStreamSink(std::ostream& stream, TRecordFormat format) {
    return std::make_unique<TStreamSink>(stream, format);
}

std::unique_ptr<TRecordSink> MakeFileSink(const QString& path, TRecordFormat format) {
    return std::make_unique<TFileSink>(path, format);
}

QString RecordText(TRecordFormat format, const QDateTime& time, const TDataBlock& data) {
    switch (format) {
    case TRecordFormat::Csv:
        return unit::CsvRecord(time, data);
    case TRecordFormat::Jsonl:
        return unit::JsonRecord(time, data) + QLatin1Char('\n');
    case TRecordFormat::Plain:
        break;
    }
    return PlainLine(time, unit::FieldsOf(data));
}

QString EventRecordText(TRecordFormat format, const QDateTime& time, const QString& event) {
    switch (format) {
    case TRecordFormat::Csv:
        return unit::CsvEventRecord(time, event);
    case TRecordFormat::Jsonl:
        return unit::JsonEventRecord(time, event) + QLatin1Char('\n');
    case TRecordFormat::Plain:
        break;
    }
    return QStringLiteral("time=%1 event=%2\n").arg(unit::TimeText(time), event);
}

} // namespace cli
