#pragma once
// The one way to a unit: a session owns the HID device controller, finds the units by their
// strings, takes the one the choice names (Choice.h) when it can be opened for reading and
// writing, runs every request to it on its exchange thread (UnitExchange.h), and keeps the
// unit's parameters: which unit they came from, at which scale, and whether they are loaded.
// Nothing that reaches the unit goes around it: no public call sends a block of its caller's, and
// a command goes out only on the last block the unit held gave, once its parameters have been read
// back.
//
// Used on the thread that made it (the user-interface thread of the window, the tool's main
// thread); answers come back there as queued calls.

#include "unit/Block.h"
#include "unit/Choice.h"
#include "unit/Discovery.h"
#include "unit/Parameters.h"
#include "unit/UnitExchange.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class THidDevice;
class THidDeviceController;

namespace unit {

class TUnitSession : public QObject {
    Q_OBJECT
public:
    explicit TUnitSession(TUnitChoice choice = {}, QObject* parent = nullptr);
    // Drops every answer still to come; a request the unit keeps waiting is abandoned
    // (UnitExchange.h), then the controller goes.
    ~TUnitSession() override;
    TUnitSession(const TUnitSession&) = delete;
    TUnitSession& operator=(const TUnitSession&) = delete;

    // The session's controller, for its settings and events; the session handles enumeration.
    THidDeviceController* Controller() const { return controller_.get(); }
    // Names the controller and sets how long its devices' read threads idle.
    void ConfigureController(const QString& name, int readSleepMs);
    // False when the HID service modules could not be loaded (the reason is logged).
    bool ServicesLoaded() const;
    // Looks at the devices present again now, rather than at the next device-change message.
    void Rescan();
    // `changed` runs after each look at the devices present that the system asked for; none:
    // nothing does.
    void FollowDevices(std::function<void()> changed);

    const TUnitChoice& Choice() const { return choice_; }
    void SetChoice(TUnitChoice choice) { choice_ = std::move(choice); }

    // --- Finding and holding the unit ---
    // Every attached unit, in the controller's order.
    std::vector<TUnitEntry> Units();
    // The index in `units` of the one the choice names, or -1 (ChoiceProblem says why).
    int ChosenIndex(const std::vector<TUnitEntry>& units);
    // True while a unit is held and attached. A held unit that has gone is given back and the
    // choice runs again over every unit present: two it can't tell apart are refused whatever
    // their access, and the one it names is taken only when it opens for reading and writing.
    bool Hold();
    // The controller's enumeration handler: takes note of each unit offered (always true).
    bool Offer(THidDevice* device, int index);
    // Gives the held unit back.
    void Release();
    // Holds a device checked out by its caller, who keeps it and gives it back after the session
    // has gone: a unit found by other means than its strings (a test's own device).
    void Lend(THidDevice* device);
    bool Holding() const { return held_ != nullptr; }
    THidDevice* HeldDevice() const { return held_; }
    // The unit held, or the last one held.
    const TUnitEntry& Held() const { return heldEntry_; }
    // The last look found the unit the choice names, but it refused reading and writing.
    bool AccessDenied() const { return !deniedPath_.empty(); }
    const std::string& DeniedPath() const { return deniedPath_; }
    // Why the last choice found no unit, or two ("" when it found one, or plainly none).
    const QString& ChoiceProblem() const { return choiceProblem_; }
    // After a failed exchange: whether the held unit is still attached, looking again first.
    bool StillAttached();

    // --- The unit's parameters ---
    // Loaded: a read-back of the unit held now was answered in full.
    bool ParametersLoaded() const;
    // The block of that read-back (bytes 235 to 239 are the parameters), valid while loaded.
    const TDataBlock& LoadedBlock() const { return loaded_.Block; }
    // The scale of the unit held, as its last answered block gave it; none before one.
    std::optional<int> UnitScale() const;
    // The last block the unit held now answered with, if any.
    const std::optional<TDataBlock>& LastBlock() const { return last_.Block; }

    // --- Requests, on the exchange thread; `apply` gets the answer on this thread ---
    using TApply = std::function<void(const TUnitAnswer&)>;
    // False, and nothing asked, when no unit is held.
    bool AskRead(TApply apply);
    // A save is checked: the first block read after the unit took it carries SaveKept, false (and
    // logged) when the unit does not hold the parameters it was sent.
    // The read-back of the parameters (command 1); when it is answered in full, they are loaded,
    // unless a save was asked after it (the answer is Superseded then: the save is what the unit
    // holds).
    bool AskReadBack(TApply apply);
    // A command, built on the last block the unit gave with the change written in at the unit's
    // own scale. Refused (false, nothing sent) unless the parameters of the unit held are loaded
    // (CommandRefusal). A command asked while an earlier one waits for the unit replaces it.
    bool AskCommand(std::uint8_t command, const TParameterChange& change, TApply apply);
    // Why a command can't be sent now, or empty when it can: the one guard of every command. A
    // save, or any change of the parameters, is refused too once the unit's scale differs from
    // the read-back's: what was read back is to be read back again first.
    QString CommandRefusal(std::uint8_t command = cmd_normal,
                           const TParameterChange& change = {}) const;
    // The unit's last block is at another scale than the read-back's (the parameters shown from
    // that read-back are stale).
    bool ScaleChangedSinceReadBack() const;
    // Requests asked and not yet answered or dropped.
    bool Busy() const { return exchange_->Busy(); }
    // Every answer still to come is dropped, and what has not started is not run.
    void DropAll() { exchange_->DropAll(); }
    // Where the requests run, and its watch over a long one.
    TUnitExchange& Exchange() { return *exchange_; }

    // --- The same, waiting for the answer (the tool); `stop` abandons the wait ---
    TUnitAnswer Read(const std::function<bool()>& stop = {});
    TUnitAnswer ReadBack(const std::function<bool()>& stop = {});
    // AskCommand's command, waited for; refused as AskCommand refuses it, with its one step
    // failed and nothing sent.
    TUnitAnswer Command(std::uint8_t command, const TParameterChange& change,
                        const std::function<bool()>& stop = {});

private:
    struct TFrom {
        TUnitAddress Unit;
        std::optional<TDataBlock> Block;
    };
    struct TLoaded {
        TUnitAddress Unit;
        bool Loaded = false;
        TDataBlock Block{};
    };

    TUnitAddress HeldAddress() const;
    // The block a command goes out on, or none (the refusal logged).
    std::optional<TDataBlock> CommandBlock(std::uint8_t command,
                                           const TParameterChange& change) const;
    void Ask(TUnitRequest request, const TDataBlock& block, TApply apply, bool replacing);
    TUnitAnswer AskAndWait(TUnitRequest request, const TDataBlock& block,
                           const std::function<bool()>& stop);
    void Note(const TUnitAddress& unit, const TUnitAnswer& answer);
    void CheckSave(const TUnitAddress& unit, const TDataBlock& sent, TUnitAnswer& answer);
    void DeviceChanged(void* sender);

    std::function<void()> devicesChanged_;
    TUnitChoice choice_;
    QString choiceProblem_;
    std::string deniedPath_;
    TUnitEntry heldEntry_;
    THidDevice* held_ = nullptr;
    std::uint64_t taking_ = 0;    // counts the units taken: each taking is a unit found anew
    std::uint64_t asked_ = 0;     // counts the requests asked
    std::uint64_t saveAsked_ = 0; // the count of the last save (or change) asked
    // A save the unit took, to be checked against the next block it answers with.
    struct TSaveCheck {
        TUnitAddress Unit;
        TDataBlock Sent{};
    };
    std::optional<TSaveCheck> saveCheck_;
    TFrom last_;
    TLoaded loaded_;
    TReportBuffer report_{};
    // The held unit goes after the controller, which closes its handles as it goes; the
    // exchange goes before both, as its thread calls the services the controller loaded.
    std::unique_ptr<THidDevice> lent_;
    std::unique_ptr<THidDeviceController> controller_;
    std::unique_ptr<TUnitDiscovery> discovery_;
    std::unique_ptr<TUnitExchange> exchange_;
};

} // namespace unit
