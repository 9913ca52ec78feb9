#include "unit/Choice.h"

#include <QStringList>

#include <set>

namespace unit {

namespace {

// Whether every unit of `matching` has its own, non-empty value of `field`.
template <typename Field>
bool TellsApart(const std::vector<TUnitEntry>& units, const std::vector<int>& matching,
                Field field) {
    std::set<QString> seen;
    for (int i : matching) {
        const QString& value = field(units[static_cast<std::size_t>(i)]);
        if (value.isEmpty() || !seen.insert(value).second)
            return false;
    }
    return true;
}

} // namespace

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
    // Advice names only what tells these units apart; a path always does.
    const bool byLocation = TellsApart(
        units, matching, [](const TUnitEntry& u) -> const QString& { return u.Location; });
    const bool bySerial =
        TellsApart(units, matching, [](const TUnitEntry& u) -> const QString& { return u.Serial; });
    QStringList places;
    for (int i : matching) {
        const TUnitEntry& unit = units[static_cast<std::size_t>(i)];
        places << (byLocation ? unit.Location
                   : bySerial ? unit.Serial
                              : QString::fromStdString(unit.Path));
    }
    const QString option = byLocation ? QStringLiteral("--location")
                           : bySerial ? QStringLiteral("--serial")
                                      : QStringLiteral("--device");
    const QString how = byLocation ? QStringLiteral("at")
                        : bySerial ? QStringLiteral("serials")
                                   : QStringLiteral("at");
    chosen.Problem = QStringLiteral("%1 Tarvenik units%2, %3 %4: choose one with %5")
                         .arg(matching.size())
                         .arg(named, how, places.join(QLatin1String(" and ")), option);
    return chosen;
}

} // namespace unit
