#pragma once
// The range of the chart written out: the measurements as CSV in the log's own columns (so the
// log reader reads them back to the same values), the chart as a PNG picture.

#include "history/Store.h"

#include <QString>

namespace history {

// Writes the points in [from, to) with the unit of each; gaps become event records. The file is
// written whole or not at all (a temporary file renamed into place). False with `error` set when
// it can't be written.
bool ExportCsv(const THistoryStore& store, qint64 from, qint64 to, const QString& path,
               QString* error);

} // namespace history
