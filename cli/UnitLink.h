#pragma once
// The tool's way to the unit, through the unit session (unit/Session.h): the units it lists, the
// one chosen (the last one found, or the one --device, --serial and --location name), the
// block's exchange with it, what went wrong (TFailure) and its line. The unit is held only while
// the link lives, and never exclusively: the window may poll the same unit meanwhile.

#include "unit/Block.h"
#include "unit/Choice.h"
#include "unit/Session.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace cli {

using unit::TUnitChoice;
using unit::TUnitEntry;

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

// A failure met in the middle of a command. `Text`, when given, is its whole line.
struct TUnitFailure {
    TFailure Failure;
    std::string Path;
    QString Text{};
};

// The line that names a failure (without the program's name).
QString FailureText(TFailure failure, const std::string& path);

class TUnitLink {
public:
    // Loads the HID services and lists the devices present at once.
    explicit TUnitLink(TUnitChoice choice = {});
    TUnitLink(const TUnitLink&) = delete;
    TUnitLink& operator=(const TUnitLink&) = delete;

    unit::TUnitSession& Session() { return session_; }
    const std::string& WantedPath() const { return session_.Choice().Path; }
    const QString& ChoiceProblem() const { return session_.ChoiceProblem(); }
    // The unit held, or the last one held.
    const TUnitEntry& Held() const { return session_.Held(); }

    std::vector<TUnitEntry> Units() { return session_.Units(); }
    int ChosenIndex(const std::vector<TUnitEntry>& units) { return session_.ChosenIndex(units); }
    bool ServicesLoaded() const { return session_.ServicesLoaded(); }

    // Takes the chosen unit, open for reading and writing: None, NoServices, NoUnit or NoAccess.
    TFailure Open();
    bool IsOpen() const { return session_.Holding(); }
    // The path of the unit held, or of the last one held or refused.
    const std::string& Path() const { return path_; }
    void Release() { session_.Release(); }

    // One exchange each; false when the unit did not take part. TimedOut() then tells whether
    // the request timed out rather than failed.
    bool Read(TDataBlock& data);
    // A command on the block the unit gave last, with the change written in at its scale: only
    // after a read-back (the session's guard, which refuses it otherwise).
    bool Command(std::uint8_t command, const unit::TParameterChange& change);
    bool TimedOut() const { return timedOut_; }
    // After a failed exchange: looks at the devices present again and tells Unplugged from
    // NotAnswering.
    TFailure Diagnose();

    // The same for a command that cannot go on without them: a failure is looked at, tried once
    // more while the unit is still attached, and thrown as TUnitFailure. A request that timed out
    // is not tried again (that would be another timeout's wait): NoAnswer at once.
    void ReadOrThrow(TDataBlock& data);
    void CommandOrThrow(std::uint8_t command, const unit::TParameterChange& change = {});
    // The parameters as the unit holds them in its EEPROM (the read-back, command 1).
    TDataBlock ReadBackOrThrow();

private:
    bool Took(const unit::TUnitAnswer& answer, TDataBlock* data);
    void ExchangeOrThrow(const std::function<bool()>& exchange, const char* what);

    unit::TUnitSession session_;
    std::string path_;
    bool timedOut_ = false;
};

} // namespace cli
