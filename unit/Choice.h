#pragma once
// Which of the attached units a program takes: the one rule both programs follow. With nothing
// named, the last unit found; --device, --serial and --location name one, and all that are given
// must match. Two units that the names given cannot tell apart are refused, with advice that
// names only what can tell them apart.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace unit {

// What an attached unit shows of itself.
struct TUnitEntry {
    std::string Path; // as --device takes it
    QString Manufacturer;
    QString Product;
    QString Serial;   // empty when the unit has none
    QString Location; // where it is attached, empty when the modules give none
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    bool ReadWrite = false; // can be opened for reading and writing
    QString AccessReason;   // why not, in the system's words
};

struct TUnitChoice {
    std::string Path;
    std::optional<QString> Serial;
    std::optional<QString> Location;
    bool Names() const { return !Path.empty() || Serial || Location; }
};

// The one unit of `units` the choice names (its index), or -1 and the line that says why none is
// ("" when there plainly is none).
struct TChosen {
    int Index = -1;
    QString Problem;
};
TChosen ChooseUnit(const TUnitChoice& choice, const std::vector<TUnitEntry>& units);

// Whether a device path names `path`: device paths are the system's, compared as it compares
// them.
bool SamePath(const std::string& a, const std::string& b);

} // namespace unit
