#include "unit/Choice.h"

#include <QStringList>

namespace unit {

bool SamePath(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // Interface paths differ in case between the calls that give them.
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

TChosen ChooseUnit(const TUnitChoice& choice, const std::vector<TUnitEntry>& units) {
    std::vector<int> matching;
    for (int i = 0; i < static_cast<int>(units.size()); ++i) {
        const TUnitEntry& unit = units[static_cast<std::size_t>(i)];
        if ((choice.Path.empty() || SamePath(unit.Path, choice.Path)) &&
            (!choice.Serial || unit.Serial == *choice.Serial) &&
            (!choice.Location || unit.Location == *choice.Location))
            matching.push_back(i);
    }
    const bool byIdentity = choice.Serial || choice.Location;
    TChosen chosen;
    if (matching.size() == 1 || (!matching.empty() && !byIdentity)) {
        chosen.Index = matching.back(); // the last one found
        return chosen;
    }
    QString named;
    if (choice.Serial)
        named = QStringLiteral(" with serial %1").arg(*choice.Serial);
    if (choice.Location)
        named += QStringLiteral(" at location %1").arg(*choice.Location);
    if (matching.empty()) {
        if (byIdentity)
            chosen.Problem = QStringLiteral("no Tarvenik unit%1").arg(named);
        return chosen;
    }
    // Only units that share a serial get here. The advice names what tells them apart: their
    // locations when each has its own, else their device paths.
    QStringList locations;
    QStringList paths;
    for (int i : matching) {
        locations << units[static_cast<std::size_t>(i)].Location;
        paths << QString::fromStdString(units[static_cast<std::size_t>(i)].Path);
    }
    const bool byLocation = !locations.contains(QString()) && locations.removeDuplicates() == 0;
    chosen.Problem =
        QStringLiteral("%1 Tarvenik units%2, at %3: choose one with %4")
            .arg(matching.size())
            .arg(named, (byLocation ? locations : paths).join(QLatin1String(" and ")),
                 byLocation ? QStringLiteral("--location") : QStringLiteral("--device"));
    return chosen;
}

} // namespace unit
