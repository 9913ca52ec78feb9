#include "unit/Session.h"

#include "framework/SystemAdvice.h"
#include "hid/HidControllerClass.h"
#include "unit/UnitLogging.h"

namespace unit {

TUnitSession::TUnitSession(TUnitChoice choice, QObject* parent)
    : QObject(parent), choice_(std::move(choice)),
      controller_(std::make_unique<THidDeviceController>(nullptr)),
      discovery_(std::make_unique<TUnitDiscovery>(*controller_)),
      exchange_(std::make_unique<TUnitExchange>()) {}

TUnitSession::~TUnitSession() {
    devicesChanged_ = nullptr;
    controller_->SetOnDeviceChange(TNotifyEvent());
    exchange_.reset();
    held_ = nullptr;
    discovery_.reset();
    controller_.reset();
    lent_.reset();
}

void TUnitSession::ConfigureController(const QString& name, int readSleepMs) {
    controller_->setObjectName(name);
    controller_->SetDevThreadSleepTime(readSleepMs);
}

bool TUnitSession::ServicesLoaded() const {
    // The notify window exists only while the HID services are there.
    return controller_->NotifyWindow() != nullptr;
}

void TUnitSession::Rescan() {
    controller_->DeviceChange();
}

void TUnitSession::FollowDevices(std::function<void()> changed) {
    devicesChanged_ = std::move(changed);
    controller_->SetOnDeviceChange(
        devicesChanged_ ? TNotifyEvent(this, &TUnitSession::DeviceChanged) : TNotifyEvent());
}

void TUnitSession::DeviceChanged(void*) {
    if (devicesChanged_)
        devicesChanged_();
}

bool TUnitSession::Offer(THidDevice* device, int index) {
    return discovery_->Offer(device, index);
}

std::vector<TUnitEntry> TUnitSession::Units() {
    std::vector<TUnitEntry> units;
    for (TUnitDiscovery::TFound& found : discovery_->Find())
        units.push_back(std::move(found.Entry));
    return units;
}

int TUnitSession::ChosenIndex(const std::vector<TUnitEntry>& units) {
    TChosen chosen = ChooseUnit(choice_, units);
    choiceProblem_ = std::move(chosen.Problem);
    return chosen.Index;
}

bool TUnitSession::Hold() {
    if (held_ != nullptr && !held_->Attached())
        Release(); // unplugged while held: given back, so a unit plugged in again is found
    if (held_ == nullptr) {
        deniedPath_.clear();
        // The choice runs over every unit, whatever its access, as `list` shows it: two units it
        // can't tell apart are refused before either is opened, and a unit it names that refuses
        // reading and writing is reported, never swapped for another one.
        const std::vector<TUnitDiscovery::TFound> found = discovery_->Find();
        std::vector<TUnitEntry> units;
        for (const TUnitDiscovery::TFound& each : found)
            units.push_back(each.Entry);
        const int chosen = ChosenIndex(units);
        if (chosen >= 0) {
            const TUnitDiscovery::TFound& offer = found[static_cast<std::size_t>(chosen)];
            THidDevice* device = nullptr;
            if (!offer.Entry.ReadWrite) {
                deniedPath_ = offer.Entry.Path;
                qCWarning(lcUnit).noquote()
                    << "no read-write access to the unit at" << QString::fromStdString(deniedPath_)
                    << "-" << offer.Entry.AccessReason << "-" << framework::AccessQuestion();
            } else if (controller_->CheckOutAt(offer.Index, device) && device != nullptr) {
                lent_.reset(device);
                held_ = device;
                ++taking_;
                heldEntry_ = offer.Entry;
                held_->OpenMainHandle();
            }
        }
    }
    return held_ != nullptr && held_->CheckedOut() && held_->Attached();
}

void TUnitSession::Release() {
    // Safe while a request to it runs: the exchange thread has a handle of its own.
    held_ = nullptr;
    lent_.reset(); // back to the controller, which takes a vanished one out of its list
}

void TUnitSession::Lend(THidDevice* device) {
    Release();
    held_ = device;
    ++taking_;
    if (held_ != nullptr)
        heldEntry_ = EntryOf(*held_);
}

bool TUnitSession::StillAttached() {
    if (held_ == nullptr)
        return false;
    controller_->DeviceChange();
    return held_ != nullptr && held_->Attached();
}

TUnitAddress TUnitSession::HeldAddress() const {
    if (held_ == nullptr)
        return {};
    const THidPnPInfo& info = held_->InterfaceInfo();
    return {info.InterfacePath, info.InstanceHandle, taking_};
}

bool TUnitSession::ParametersLoaded() const {
    return held_ != nullptr && loaded_.Loaded && loaded_.Unit == HeldAddress();
}

std::optional<int> TUnitSession::UnitScale() const {
    if (held_ == nullptr || !last_.Block || last_.Unit != HeldAddress())
        return std::nullopt;
    return ScaleOf(*last_.Block);
}

// What an answer tells of the unit it came from; an answer of a unit no longer held changes
// nothing.
void TUnitSession::Note(const TUnitAddress& unit, const TUnitAnswer& answer) {
    report_ = answer.Report;
    // The unit held has gone under its handle, though the last look may have seen it there still
    // (on Windows it may come back with the same DevInst before a look): given back, so that the
    // next hold takes it anew, with a handle of its own and its parameters read back again.
    if (answer.Gone && held_ != nullptr && unit == HeldAddress()) {
        qCInfo(lcUnit) << "the unit held has gone from its node; it is taken anew when found";
        Release();
    }
    // A read-back counts only when every step was answered, and a save asked after it is what
    // the unit holds.
    if (!answer.Read || answer.Request == TUnitRequest::Send)
        return;
    last_ = {unit, answer.Block};
    if (answer.Request != TUnitRequest::Read && !answer.Superseded)
        loaded_ = {unit, true, answer.Block};
}

// A save the unit took is compared with the next block that unit answers with, as `set` compares
// it: the unit keeps what it was sent, or says otherwise only by what it holds.
void TUnitSession::CheckSave(const TUnitAddress& unit, const TDataBlock& sent,
                             TUnitAnswer& answer) {
    if (answer.Request == TUnitRequest::Send) {
        const bool taken =
            !answer.Steps.empty() && answer.Steps.back().Result == ExchangeResult::Answered;
        if (taken && sent[block::kCommand] == cmd_save_eeprom)
            saveCheck_ = TSaveCheck{unit, sent};
        return;
    }
    if (!answer.Read || !saveCheck_ || saveCheck_->Unit != unit)
        return;
    answer.SaveKept = SameParameters(saveCheck_->Sent, answer.Block);
    saveCheck_.reset();
    if (!*answer.SaveKept)
        qCWarning(lcUnit) << "the unit did not keep the parameters it was given";
}

void TUnitSession::Ask(TUnitRequest request, const TDataBlock& block, TApply apply,
                       bool replacing) {
    const TUnitAddress unit = HeldAddress();
    const std::uint64_t asked = ++asked_;
    exchange_->Ask(
        unit, request, block, report_,
        [this, unit, asked, block, apply = std::move(apply)](const TUnitAnswer& given) {
            TUnitAnswer answer = given;
            answer.Superseded = answer.Request == TUnitRequest::ReadBack && saveAsked_ > asked;
            CheckSave(unit, block, answer);
            Note(unit, answer);
            if (apply)
                apply(answer);
        },
        replacing);
}

bool TUnitSession::AskRead(TApply apply) {
    if (held_ == nullptr)
        return false;
    Ask(TUnitRequest::Read, TDataBlock{}, std::move(apply), false);
    return true;
}

bool TUnitSession::AskReadBack(TApply apply) {
    if (held_ == nullptr)
        return false;
    Ask(TUnitRequest::ReadBack, TDataBlock{}, std::move(apply), false);
    return true;
}

QString TUnitSession::CommandRefusal(std::uint8_t command, const TParameterChange& change) const {
    if (held_ == nullptr)
        return QStringLiteral("no unit is held");
    if (!ParametersLoaded() || !last_.Block || last_.Unit != HeldAddress())
        return QStringLiteral("the parameters of the unit held have not been read back");
    // Values read back at one scale, written at another, would move every threshold.
    if ((command == cmd_save_eeprom || !change.Empty()) && ScaleChangedSinceReadBack())
        return QStringLiteral("the unit's scale changed from %1 to %2 since its parameters were "
                              "read back")
            .arg(ScaleOf(loaded_.Block))
            .arg(ScaleOf(*last_.Block));
    return QString();
}

bool TUnitSession::ScaleChangedSinceReadBack() const {
    return ParametersLoaded() && last_.Block && last_.Unit == loaded_.Unit &&
           ScaleOf(*last_.Block) != ScaleOf(loaded_.Block);
}

std::optional<TDataBlock> TUnitSession::CommandBlock(std::uint8_t command,
                                                     const TParameterChange& change) const {
    if (const QString refusal = CommandRefusal(command, change); !refusal.isEmpty()) {
        qCWarning(lcUnit).noquote() << "command" << command << "not sent:" << refusal;
        return std::nullopt;
    }
    TDataBlock block = *last_.Block;
    ApplyParameters(change, block);
    block[block::kCommand] = command;
    return block;
}

bool TUnitSession::AskCommand(std::uint8_t command, const TParameterChange& change, TApply apply) {
    const std::optional<TDataBlock> block = CommandBlock(command, change);
    if (!block)
        return false;
    Ask(TUnitRequest::Send, *block, std::move(apply), true);
    if (command == cmd_save_eeprom || !change.Empty())
        saveAsked_ = asked_;
    return true;
}

TUnitAnswer TUnitSession::AskAndWait(TUnitRequest request, const TDataBlock& block,
                                     const std::function<bool()>& stop) {
    const TUnitAddress unit = HeldAddress();
    if (held_ == nullptr) {
        TUnitAnswer none;
        none.Request = request;
        none.Steps.push_back(
            {"reaching the unit", ExchangeResult::Failed, QStringLiteral("no unit is held")});
        return none;
    }
    TUnitAnswer answer = exchange_->AskAndWait(unit, request, block, report_, stop);
    if (!answer.Abandoned)
        Note(unit, answer);
    return answer;
}

TUnitAnswer TUnitSession::Read(const std::function<bool()>& stop) {
    return AskAndWait(TUnitRequest::Read, TDataBlock{}, stop);
}

TUnitAnswer TUnitSession::Command(std::uint8_t command, const TParameterChange& change,
                                  const std::function<bool()>& stop) {
    const std::optional<TDataBlock> block = CommandBlock(command, change);
    if (!block) {
        TUnitAnswer refused;
        refused.Request = TUnitRequest::Send;
        refused.Steps.push_back(
            {"sending the block", ExchangeResult::Failed, CommandRefusal(command, change)});
        return refused;
    }
    return AskAndWait(TUnitRequest::Send, *block, stop);
}

TUnitAnswer TUnitSession::ReadBack(const std::function<bool()>& stop) {
    return AskAndWait(TUnitRequest::ReadBack, TDataBlock{}, stop);
}

} // namespace unit
