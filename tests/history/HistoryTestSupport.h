#pragma once
// Points made to measure for the history tests.

#include "history/Store.h"
#include "unit/Block.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace historytest {

inline constexpr qint64 kStart = 1'740'000'000'000; // an afternoon in February 2025
inline constexpr qint64 kPoll = 500;

// A block at scale 64 with OS1 min `os1Min` and the other measurements fixed.
inline TDataBlock Block(std::uint8_t os1Min, std::uint8_t os1Max = 100) {
    TDataBlock b{};
    b[block::kScaleByte] = 64;
    b[block::kOs1Min] = os1Min;
    b[block::kOs1Max] = os1Max;
    b[block::kOs2Voltage] = 128;
    b[block::kOs2PulseTime] = 17;
    b[block::kOs1Time1] = 30;
    b[block::kOs1Time0] = 31;
    return b;
}

// A golden file of data/, built into the test and copied out to a file of its own: a log is read
// only from a regular file.
inline QString Data(const char* name) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QLatin1String(name));
    if (!QFile::exists(path))
        QFile::copy(QStringLiteral(":/history-data/") + QLatin1String(name), path);
    return path;
}

} // namespace historytest
