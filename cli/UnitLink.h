#pragma once
// The tool's way to the unit: its own HID device controller, the units it lists, the one chosen
// (as the window chooses it, the last one found, or the one --device, --serial and --location
// name) and the block's exchange with it. The unit is held only while the link lives, and never
// exclusively: the window may poll the same unit meanwhile.

#include "unit/Block.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class THidDevice;
class THidDeviceController;

namespace cli {

// Why the unit failed us; each has its line on stderr and exit status 1.
// NoAnswer: a request timed out (the unit is there but let it wait); NotAnswering: requests kept
// failing otherwise.
enum class TFailure {
    None,
    NoServices,
    NoUnit,
    NoAccess,
    NotAnswering,
    NoAnswer,
    Unplugged,
    NotKept
};

struct TUnitEntry {
    std::string Path; // as --device takes it
    QString Manufacturer;
    QString Product;
    QString Serial;   // empty when the unit has none
    QString Location; // where it is attached, empty when the modules give none
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    bool ReadWrite = false; // can be opened for reading and writing
};

// What a device offered in an enumeration shows of itself. Opens its main handle to learn the
// access; the controller closes it again after the offer.
TUnitEntry EntryOf(THidDevice& device);

// A failure met in the middle of a command. `Text`, when given, is its whole line.
struct TUnitFailure {
    TFailure Failure;
    std::string Path;
    QString Text{};
};

// What names the unit a command is for; all that are given must match. None given: the last unit
// found.
struct TUnitChoice {
    std::string Path;
    std::optional<QString> Serial;
    std::optional<QString> Location;
};

// The one unit of `units` the choice names (its index), or -1 and the line that says why none is.
struct TChosen {
    int Index = -1;
    QString Problem;
};
TChosen ChooseUnit(const TUnitChoice& choice, const std::vector<TUnitEntry>& units);

// The line that names a failure (without the program's name).
QString FailureText(TFailure failure, const std::string& path);

class TUnitLink {
public:
    // Loads the HID services and lists the devices present at once. `wantedPath` empty: the last
    // unit found is chosen.
    explicit TUnitLink(std::string wantedPath = {});
    explicit TUnitLink(TUnitChoice choice);
    ~TUnitLink();
    TUnitLink(const TUnitLink&) = delete;
    TUnitLink& operator=(const TUnitLink&) = delete;

    THidDeviceController& Controller() { return *controller_; }
    const std::string& WantedPath() const { return choice_.Path; }
    // Why the last choice found no unit, or two ("" when it found one, or plainly none).
    const QString& ChoiceProblem() const { return choiceProblem_; }
    // The serial and location of the unit held, or of the last one held.
    const TUnitEntry& Held() const { return held_; }

    // Every attached unit, in the controller's order.
    std::vector<TUnitEntry> Units();
    // The index in `units` of the one a command would use, or -1.
    int ChosenIndex(const std::vector<TUnitEntry>& units);

    // False when the HID service modules could not be loaded (the reason is logged).
    bool ServicesLoaded() const;

    // Takes the chosen unit and opens it for reading and writing: None, NoServices, NoUnit or
    // NoAccess.
    TFailure Open();
    bool IsOpen() const { return device_ != nullptr; }
    // The path of the unit held, or of the last one held.
    const std::string& Path() const { return path_; }
    // Gives the unit back.
    void Release();

    // One exchange each, as the window makes them; false when the unit did not take part.
    // TimedOut() then tells whether the request timed out rather than failed.
    bool Read(TDataBlock& data);
    bool Send(const TDataBlock& data);
    bool TimedOut() const { return timedOut_; }
    // After a failed exchange: looks at the devices present again and tells Unplugged from
    // NotAnswering.
    TFailure Diagnose();

    // The same exchanges for a command that cannot go on without them: a failure is looked at,
    // tried once more while the unit is still attached, and thrown as TUnitFailure. A request that
    // timed out is not tried again (that would be another timeout's wait): NoAnswer at once.
    void ReadOrThrow(TDataBlock& data);
    void SendOrThrow(const TDataBlock& data);

private:
    bool Offer(THidDevice* device, int index);
    friend class TUnitSet;
    void ExchangeOrThrow(const std::function<bool()>& exchange, const char* what);

    TUnitChoice choice_;
    QString choiceProblem_;
    TUnitEntry held_;
    std::string path_;
    TReportBuffer report_{};
    bool timedOut_ = false;
    std::vector<std::pair<int, TUnitEntry>> offered_;
    // The held unit goes after the controller, which closes its handles as it goes.
    std::unique_ptr<THidDevice> device_;
    std::unique_ptr<THidDeviceController> controller_;
};

} // namespace cli
