#include "cli/Sinks.h"

#include "cli/Io.h"
#include "cli/Prometheus.h"
#include "framework/Files.h"
#include "unit/RecordFile.h"

#include <QFile>

#include <string>

namespace cli {

namespace {

QString HeaderOf(TRecordFormat format, unit::TLayout layout = unit::TLayout::Current) {
    return format == TRecordFormat::Csv ? unit::CsvHeader(layout) : QString();
}

QString PeriodText(const TSinkSetup& setup, const std::vector<TRecordRow>& period,
                   unit::TLayout layout = unit::TLayout::Current) {
    if (setup.Format == TRecordFormat::Prometheus)
        return PrometheusText(period);
    QString text;
    for (const TRecordRow& row : period)
        text += RecordText(setup, row, layout);
    return text;
}

class TStreamSink : public TRecordSink {
public:
    TStreamSink(std::ostream& stream, const TSinkSetup& setup)
        : stream_(stream), setup_(setup), header_(HeaderOf(setup.Format)) {}
    bool Write(const std::vector<TRecordRow>& period) override {
        if (period.empty())
            return true;
        const bool ok =
            Put(stream_, header_ + PeriodText(setup_, period)) && Flush(stream_, error_);
        header_.clear();
        return ok;
    }
    QString Error() const override { return error_; }

private:
    std::ostream& stream_;
    TSinkSetup setup_;
    QString header_;
    QString error_ = QStringLiteral("the output was refused");
};

class TFileSink : public TRecordSink {
public:
    TFileSink(const QString& path, const TSinkSetup& setup, std::ostream& notices)
        : setup_(setup), file_(path, HeaderOf(setup.Format),
                               HeaderOf(setup.Format, unit::TLayout::WithoutIdentity)),
          notices_(notices) {}
    bool Write(const std::vector<TRecordRow>& period) override {
        if (period.empty())
            return true;
        if (!file_.Ready())
            return false;
        unit::TLayout layout = unit::TLayout::Current;
        if (file_.OlderLayout()) {
            layout = unit::TLayout::WithoutIdentity;
            if (!told_) {
                told_ = true;
                Put(notices_, QStringLiteral("tarvenik-cli: %1 has no serial and location "
                                             "columns: its records go on without them\n")
                                  .arg(file_.Path()));
            }
        }
        return file_.Append(PeriodText(setup_, period, layout));
    }
    QString Error() const override {
        return QStringLiteral("cannot write %1: %2").arg(file_.Path(), file_.ErrorString());
    }

private:
    TSinkSetup setup_;
    unit::TRecordFile file_;
    std::ostream& notices_;
    bool told_ = false;
};

// A scraper reads the file at any moment: it must only ever see a whole exposition, so each one
// is written beside it and renamed over it (a rename within a folder replaces the file at once).
// The part file's name is hidden and does not end in .prom, so the textfile collector passes it
// over. Not synced to disk: the next period replaces it anyway, and a sync each period would cost
// more than the whole read.
// Only a regular file is replaced so. A FIFO or a character device (a reader's pipe, a terminal,
// /dev/null) is what the user means to write into: each period's exposition goes into it as it
// stands, whole and in turn. Anything else there (a folder, a socket) is refused.
class TReplacedFileSink : public TRecordSink {
public:
    explicit TReplacedFileSink(const QString& path) : path_(path) {}
    bool Write(const std::vector<TRecordRow>& period) override {
        const QByteArray bytes = PrometheusText(period).toUtf8();
        if (!stream_.IsOpen()) {
            switch (framework::KindOf(path_)) {
            case framework::TPathKind::Missing:
            case framework::TPathKind::Regular:
                return framework::WriteInPlaceOf(path_, bytes, error_);
            case framework::TPathKind::Other:
                error_ = QStringLiteral("not a regular file, a FIFO or a character device");
                return false;
            case framework::TPathKind::Stream:
                if (!stream_.Open(path_)) {
                    error_ = stream_.Error();
                    return false;
                }
                break;
            }
        }
        if (stream_.Write(bytes))
            return true;
        error_ = stream_.Error();
        return false;
    }
    QString Error() const override {
        return QStringLiteral("cannot write %1: %2").arg(path_, error_);
    }

private:
    QString path_;
    framework::TAppendFile stream_;
    QString error_;
};

// key=value pairs on one line, for a person to read.
QString PlainLine(const TRecordRow& row, bool identity) {
    QString line = QStringLiteral("time=") + unit::TimeText(row.Time);
    if (row.Data) {
        for (const unit::TField& field : unit::FieldsOf(*row.Data))
            line += QLatin1Char(' ') + field.Name + QLatin1Char('=') + field.Text;
    } else {
        line += QStringLiteral(" event=") + row.Event;
    }
    if (identity) {
        auto shown = [](const QString& text) {
            return text.isEmpty() ? QStringLiteral("-") : unit::PlainText(text);
        };
        line += QStringLiteral(" serial=%1 location=%2")
                    .arg(shown(row.Unit.Serial), shown(row.Unit.Location));
    }
    return line + QLatin1Char('\n');
}

} // namespace

std::unique_ptr<TRecordSink> MakeStreamSink(std::ostream& stream, const TSinkSetup& setup) {
    return std::make_unique<TStreamSink>(stream, setup);
}

std::unique_ptr<TRecordSink> MakeFileSink(const QString& path, const TSinkSetup& setup,
                                          std::ostream& notices) {
    if (setup.Format == TRecordFormat::Prometheus)
        return std::make_unique<TReplacedFileSink>(path);
    return std::make_unique<TFileSink>(path, setup, notices);
}

QString RecordText(const TSinkSetup& setup, const TRecordRow& row, unit::TLayout layout) {
    switch (setup.Format) {
    case TRecordFormat::Csv:
        return row.Data ? unit::CsvRecord(row.Time, *row.Data, row.Unit, layout)
                        : unit::CsvEventRecord(row.Time, row.Event, row.Unit, layout);
    case TRecordFormat::Jsonl:
        return (row.Data ? unit::JsonRecord(row.Time, *row.Data, row.Unit)
                         : unit::JsonEventRecord(row.Time, row.Event, row.Unit)) +
               QLatin1Char('\n');
    case TRecordFormat::Prometheus:
        return PrometheusText({row});
    case TRecordFormat::Plain:
        break;
    }
    return PlainLine(row, setup.PlainIdentity);
}

} // namespace cli
