#include "history/LogRecord.h"

#include "unit/Block.h"
#include "unit/ParameterTable.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace history {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 DaysFromCivil(qint64 year, unsigned month, unsigned day) {
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

bool Digits(QByteArrayView text, qsizetype at, qsizetype count, int& value) {
    value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The layout the programs write, read without a QDateTime: a million of them stay cheap.
std::optional<qint64> ParseWrittenTime(QByteArrayView t) {
    if (t.size() != 29 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != '.' || (t[23] != '+' && t[23] != '-') || t[26] != ':')
        return std::nullopt;
    int year, month, day, hour, minute, second, milli, offsetHours, offsetMinutes;
    if (!Digits(t, 0, 4, year) || !Digits(t, 5, 2, month) || !Digits(t, 8, 2, day) ||
        !Digits(t, 11, 2, hour) || !Digits(t, 14, 2, minute) || !Digits(t, 17, 2, second) ||
        !Digits(t, 20, 3, milli) || !Digits(t, 24, 2, offsetHours) ||
        !Digits(t, 27, 2, offsetMinutes))
        return std::nullopt;
    static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1] || hour > 23 ||
        minute > 59 || second > 60 || offsetHours > 23 || offsetMinutes > 59)
        return std::nullopt;
    const qint64 offset = (offsetHours * 60 + offsetMinutes) * (t[23] == '-' ? -1 : 1);
    const qint64 days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return ((days * 24 + hour) * 60 + minute - offset) * 60'000 + second * 1000 + milli;
}

std::optional<int> Count(QByteArrayView text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

std::optional<double> Number(QByteArrayView text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

// The count a voltage of the log stands for at `scale`; nothing for one the unit can't give: below
// zero, or above 255 counts as the programs write it (to two decimals, so up to 5 mV over).
std::optional<int> VoltsCount(double volts, int scale) {
    const long double highest = RawToVolts(255, scale) + 0.005L + 1e-9L;
    if (!(volts >= 0) || static_cast<long double>(volts) > highest)
        return std::nullopt;
    return VoltsToRaw(static_cast<long double>(volts), scale);
}

// The column of each kept byte: the parameters' by their table, the measurements' here; the
// scale has a column of its own.
constexpr std::array<const char*, kKeptBytes> ByteColumnsOf() {
    std::array<const char*, kKeptBytes> columns{};
    const std::pair<int, const char*> measurements[] = {{block::kOs1Min, "os1_min_v"},
                                                        {block::kOs1Max, "os1_max_v"},
                                                        {block::kOs2Voltage, "os2_voltage_v"},
                                                        {block::kPosition, "position"},
                                                        {block::kOs2PulseTime, "os2_pulse_time"},
                                                        {block::kOs1Time1, "os1_time_1"},
                                                        {block::kOs1Time0, "os1_time_0"},
                                                        {block::kOs1State, "os1_state"}};
    for (const auto& [byte, name] : measurements)
        columns[static_cast<std::size_t>(byte - kFirstKeptByte)] = name;
    for (const unit::TParameter& row : unit::kParameters)
        if (row.Byte >= kFirstKeptByte && row.Byte < kFirstKeptByte + kKeptBytes)
            columns[static_cast<std::size_t>(row.Byte - kFirstKeptByte)] = row.Name;
    return columns;
}
constexpr std::array<const char*, kKeptBytes> kByteColumns = ByteColumnsOf();

QString Text(QByteArrayView bytes) {
    return QString::fromUtf8(bytes);
}

} // namespace

std::optional<qint64> ParseTime(QByteArrayView text) {
    if (const auto fast = ParseWrittenTime(text))
        return fast;
    if (text.size() > 64)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

bool SplitCsv(QByteArrayView line, std::vector<QByteArrayView>& fields, QByteArray& scratch) {
    fields.clear();
    scratch.clear();
    scratch.reserve(line.size()); // never grows below: the views into it stay valid
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        if (i < n && line[i] == '"') {
            const qsizetype start = scratch.size();
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        scratch.append('"');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                scratch.append(line[i++]);
            }
            if (!closed || (i < n && line[i] != ','))
                return false;
            fields.push_back(QByteArrayView(scratch.constData() + start, scratch.size() - start));
        } else {
            const qsizetype start = i;
            while (i < n && line[i] != ',')
                ++i;
            fields.push_back(line.sliced(start, i - start));
        }
        if (i >= n)
            return true;
        ++i; // the comma
    }
}

std::optional<TCsvLayout> TCsvLayout::FromHeader(QByteArrayView line) {
    std::vector<QByteArrayView> names;
    QByteArray scratch;
    if (!SplitCsv(line, names, scratch))
        return std::nullopt;
    TCsvLayout layout;
    layout.byteColumn_.fill(-1);
    layout.columns_ = static_cast<int>(names.size());
    for (int c = 0; c < layout.columns_; ++c) {
        const QByteArrayView name = names[static_cast<std::size_t>(c)];
        if (name == "time")
            layout.time_ = c;
        else if (name == "scale")
            layout.scale_ = c;
        else if (name == "event")
            layout.event_ = c;
        else if (name == "serial")
            layout.serial_ = c;
        else if (name == "location")
            layout.location_ = c;
        for (int b = 0; b < kKeptBytes; ++b)
            if (kByteColumns[b] && name == kByteColumns[b]) {
                layout.byteColumn_[static_cast<std::size_t>(b)] = c;
                layout.volts_[static_cast<std::size_t>(b)] = name.endsWith("_v");
            }
    }
    // A log has a time, every value and the event column; the identity is of the newer layout.
    if (layout.time_ != 0 || layout.scale_ < 0 || layout.event_ < 0)
        return std::nullopt;
    for (int b = 0; b < kKeptBytes; ++b)
        if (kByteColumns[b] && layout.byteColumn_[static_cast<std::size_t>(b)] < 0)
            return std::nullopt;
    if ((layout.serial_ < 0) != (layout.location_ < 0))
        return std::nullopt;
    return layout;
}

std::optional<TLogLine> TCsvLayout::Parse(QByteArrayView line) const {
    if (!SplitCsv(line, fields_, scratch_) || static_cast<int>(fields_.size()) != columns_)
        return std::nullopt;
    const auto field = [this](int column) { return fields_[static_cast<std::size_t>(column)]; };
    TLogLine out;
    const auto time = ParseTime(field(time_));
    if (!time)
        return std::nullopt;
    out.Point.Time = *time;
    if (serial_ >= 0) {
        out.Unit.Serial = Text(field(serial_));
        out.Unit.Location = Text(field(location_));
    }
    if (!field(event_).isEmpty()) {
        out.Point.Gap = static_cast<std::uint8_t>(GapFromEvent(Text(field(event_))));
        return out;
    }
    const auto scale = Count(field(scale_));
    if (!scale || *scale == 0)
        return std::nullopt;
    out.Point.Bytes[block::kScaleByte - kFirstKeptByte] = static_cast<std::uint8_t>(*scale);
    for (std::size_t b = 0; b < kKeptBytes; ++b) {
        const int column = byteColumn_[b];
        if (column < 0)
            continue;
        int raw = 0;
        if (volts_[b]) {
            const auto volts = Number(field(column));
            const auto count = volts ? VoltsCount(*volts, *scale) : std::nullopt;
            if (!count)
                return std::nullopt;
            raw = *count;
        } else {
            const auto count = Count(field(column));
            if (!count)
                return std::nullopt;
            raw = *count;
        }
        out.Point.Bytes[b] = static_cast<std::uint8_t>(raw);
    }
    return out;
}

std::optional<TLogLine> ParseJsonLine(QByteArrayView line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue timeValue = object.value(QLatin1String("time"));
    if (!timeValue.isString())
        return std::nullopt;
    const auto time = ParseTime(timeValue.toString().toLatin1());
    if (!time)
        return std::nullopt;
    TLogLine out;
    out.Point.Time = *time;
    out.Unit.Serial = object.value(QLatin1String("serial")).toString();
    out.Unit.Location = object.value(QLatin1String("location")).toString();
    const QJsonValue event = object.value(QLatin1String("event"));
    if (event.isString() && !event.toString().isEmpty()) {
        out.Point.Gap = static_cast<std::uint8_t>(GapFromEvent(event.toString()));
        return out;
    }
    // The raw block is exact; the named values are the fallback for a record without it.
    const QJsonArray raw = object.value(QLatin1String("raw")).toArray();
    if (raw.size() == block::kBlockSize) {
        for (int b = 0; b < kKeptBytes; ++b) {
            const QJsonValue value = raw.at(kFirstKeptByte + b);
            const double number = value.toDouble(-1);
            if (!value.isDouble() || number < 0 || number > 255 || number != std::floor(number))
                return std::nullopt;
            out.Point.Bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(number);
        }
        return out;
    }
    const double scale = object.value(QLatin1String("scale")).toDouble(-1);
    if (scale < 1 || scale > 255 || scale != std::floor(scale))
        return std::nullopt;
    out.Point.Bytes[block::kScaleByte - kFirstKeptByte] = static_cast<std::uint8_t>(scale);
    for (int b = 0; b < kKeptBytes; ++b) {
        if (!kByteColumns[b])
            continue;
        const QString name = QLatin1String(kByteColumns[b]);
        const double value = object.value(name).toDouble(-1);
        // Checked before any conversion: a double past an int's range has no int value.
        std::optional<int> byte;
        if (name.endsWith(QLatin1String("_v")))
            byte = VoltsCount(value, static_cast<int>(scale));
        else if (value >= 0 && value <= 255 && value == std::floor(value))
            byte = static_cast<int>(value);
        if (!byte)
            return std::nullopt;
        out.Point.Bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(*byte);
    }
    return out;
}

} // namespace history
