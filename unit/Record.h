#pragma once
// One record of a read: when it was taken and the values of the block, by name. The same record
// goes into the window's log and the command-line tool's output, as CSV (RFC 4180, CRLF line
// ends, a header line, no traces) or as one line of JSON (with both traces and the raw block).
//
// Fields, in this order after `time`: os1_min_v, os1_max_v, os2_voltage_v, os2_pulse_time,
// os1_time_1, os1_time_0, os1_state, position, scale, then the operating parameters by their names
// in the order of unit/ParameterTable.h (poll_period first). Volts have two decimals and a
// decimal point, rounded as the window shows them, at the block's own scale; counts are decimal
// integers. CSV ends every line with an `event` column, empty in a record of a read, then `serial`
// and `location` of the unit the record is of (empty when it has none); an event record (such as
// the unit going away) has only `time`, `event`, `serial` and `location`. The identity came last,
// so a file begun without it can be continued in its own layout (TLayout::WithoutIdentity). JSON
// gives `serial` and `location` as the last keys, null when the unit has none.

#include "unit/Block.h"

#include <QDateTime>
#include <QLatin1String>
#include <QString>

#include <vector>

namespace unit {

// Which unit a record is of: its serial number string and where it is attached, each empty when
// the unit gives none.
struct TUnitIdentity {
    QString Serial;
    QString Location;
};

enum class TLayout { Current, WithoutIdentity };

struct TField {
    QLatin1String Name;
    QString Text;
    bool Parameter; // one of the operating parameters
    // What the value is, for a monitoring system's description of it.
    QLatin1String Help{};
};

// ISO 8601 in the time's own offset, with milliseconds: 2025-03-01T14:05:09.250+01:00.
QString TimeText(const QDateTime& time);

// The block's values in record order, `time` not included.
std::vector<TField> FieldsOf(const TDataBlock& data);

// The CSV header line and record lines, each with its CRLF. A unit's serial and location (and an
// event) are written as PlainText gives them, so no control byte reaches the file; a field that
// holds a comma, a quote or an escape is quoted.
QString CsvHeader(TLayout layout = TLayout::Current);
QString CsvRecord(const QDateTime& time, const TDataBlock& data, const TUnitIdentity& unit,
                  TLayout layout = TLayout::Current);
QString CsvEventRecord(const QDateTime& time, const QString& event, const TUnitIdentity& unit,
                       TLayout layout = TLayout::Current);

// One JSON object on one line, no line end. A record of a read adds `samples_a` and `samples_b`
// (117 raw bytes each) and `raw` (the 250 bytes of the block).
QString JsonRecord(const QDateTime& time, const TDataBlock& data, const TUnitIdentity& unit);
QString JsonEventRecord(const QDateTime& time, const QString& event, const TUnitIdentity& unit);
// A JSON string, quoted and escaped; null for an empty text when `emptyIsNull`. What PlainText
// escapes is written as \uHHHH (a pair of them beyond U+FFFF): a parser reads the text back as it
// was, and a terminal shows no control.
QString JsonString(const QString& text, bool emptyIsNull = false);
// A JSON object of the given fields only, no line end.
QString JsonObject(const std::vector<TField>& fields);

// A text a unit gave (its serial, strings, path) for a plain line a person reads in a terminal:
// what the terminal would act on, and what would hide, reorder or break the text around it (C0
// and C1 controls, DEL, line and paragraph separators, every format character: the marks and
// isolates that turn a line's direction, U+061C, zero-width spaces and joiners, U+FEFF; and half
// a surrogate pair met alone) as `\t`, `\n`, `\r`, `\xHH`, `\uHHHH` or `\UHHHHHHHH`. The rest, a
// backslash too, is left as it is: a Windows device path is shown as `--device` takes it.
QString PlainText(const QString& text);

// Whether PlainText escapes the character `code`, and how.
bool Unshowable(char32_t code);
QString PlainEscape(char32_t code);

// Calls `each(code, units)` for every character of `text`: its code point and its UTF-16 units
// (a surrogate met alone is a character of its own).
template <typename Each> void ForEachCharacter(const QString& text, Each&& each) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            each(QChar::surrogateToUcs4(c, text[i + 1]), QStringView(text).mid(i, 2));
            ++i;
        } else {
            each(static_cast<char32_t>(c.unicode()), QStringView(text).mid(i, 1));
        }
    }
}

} // namespace unit
