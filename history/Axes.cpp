#include "history/Axes.h"

#include <QDateTime>
#include <QLocale>

#include <array>
#include <cmath>

namespace history {

namespace {

constexpr qint64 kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute, kDay = 24 * kHour;
constexpr std::array<qint64, 21> kSteps{
    kSecond,     2 * kSecond, 5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,
    2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,
    3 * kHour,   6 * kHour,   12 * kHour,   kDay,         2 * kDay,     7 * kDay,     30 * kDay};

qint64 FloorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

std::vector<TTick> TimeTicks(qint64 from, qint64 to, double pixels, double spacing) {
    std::vector<TTick> ticks;
    if (to <= from || pixels <= 0)
        return ticks;
    const double msPerPixel = static_cast<double>(to - from) / pixels;
    qint64 step = kSteps.back();
    for (qint64 candidate : kSteps)
        if (static_cast<double>(candidate) / msPerPixel >= spacing) {
            step = candidate;
            break;
        }
    // Round in local time: the offset of the range's start holds for the ticks after it (a change
    // of daylight saving time inside the range moves the later labels by an hour, still true).
    const qint64 offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * kSecond;
    const qint64 unitStep = std::min(step, kDay);
    qint64 local = FloorDiv(from + offset + unitStep - 1, unitStep) * unitStep;
    const QLocale c = QLocale::c();
    int lastDay = -1;
    for (; local - offset < to && ticks.size() < 1000; local += unitStep) {
        const qint64 time = local - offset;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(time);
        if (step > kDay && FloorDiv(local, kDay) % (step / kDay) != 0)
            continue;
        TTick tick;
        tick.Time = time;
        if (step >= kDay)
            tick.Label = c.toString(at, QStringLiteral("dd.MM"));
        else if (step < kMinute)
            tick.Label = c.toString(at, QStringLiteral("HH:mm:ss"));
        else
            tick.Label = c.toString(at, QStringLiteral("HH:mm"));
        const int day = static_cast<int>(FloorDiv(local, kDay));
        if (step < kDay && day != lastDay)
            tick.DateLabel = c.toString(at, QStringLiteral("dd.MM.yyyy"));
        lastDay = day;
        ticks.push_back(tick);
    }
    return ticks;
}

double NiceStep(double span, int count) {
    if (!(span > 0) || count < 1)
        return 1;
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

std::vector<double> ValueTicks(double low, double high, double step) {
    std::vector<double> ticks;
    if (!(step > 0) || !(high >= low))
        return ticks;
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9 && ticks.size() < 100;
         v += step)
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    return ticks;
}

QString ValueText(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QLocale::c().toString(value, 'f', std::min(decimals, 6));
}

} // namespace history
