#include "app/Unit1.h"

#include "app/AppLogging.h"
#include "app/Design.h"
#include "app/DesignFont.h"
#include "app/HistoryLink.h"
#include "app/Placement.h"
#include "app/PlainItemDelegate.h"
#include "hid/HidControllerClass.h"
#include "hid/HidLogging.h"
#include "unit/Identity.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

TTarvenik_Control_Form* Tarvenik_Control_Form = nullptr;

namespace {

// A designed text in the user's language (Design.h marks the ones with a translation).
QString Translated(const char* text) {
    return QCoreApplication::translate("TTarvenik_Control_Form", text);
}

template <typename T> T* Place(T* control, std::string_view name) {
    const design::TControl& row = design::Control(name);
    control->setObjectName(QString::fromLatin1(name.data(), qsizetype(name.size())));
    control->setGeometry(row.Left, row.Top, row.Width, row.Height);
    return control;
}

QLabel* MakeLabel(QWidget* parent, std::string_view name) {
    const design::TControl& row = design::Control(name);
    auto* label = Place(new QLabel(parent), name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | (row.Centred ? Qt::AlignVCenter : Qt::AlignTop));
    label->setText(Translated(row.Caption));
    return label;
}

template <typename T> T* MakeCaptioned(QWidget* parent, std::string_view name) {
    auto* control = Place(new T(parent), name);
    control->setText(Translated(design::Control(name).Caption));
    return control;
}

TNumSpinEdit* MakeSpinEdit(QWidget* parent, std::string_view name) {
    auto* field = Place(new TNumSpinEdit(parent), name);
    const auto& fields = design::kSpinFields;
    const auto it = std::find_if(fields.begin(), fields.end(),
                                 [&](const design::TSpinField& f) { return f.Name == name; });
    if (it == fields.end())
        return field;
    // The order in which a stored field takes its settings: the value comes last, so it is
    // clamped and formatted under the limits and kind above it.
    field->SetDecimal(it->Decimal);
    field->SetIncrement(it->Increment);
    field->SetMaxValue(it->MaxValue);
    field->SetMinValue(it->MinValue);
    field->SetValueType(it->ValueType);
    field->SetValue(it->Value);
    return field;
}

void SetFontColor(QLabel* label, framework::TColor color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color.ToQColor());
    label->setPalette(palette);
}

} // namespace

TTarvenik_Control_Form::TTarvenik_Control_Form(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Tarvenik_Control_Form"));
    setFixedSize(design::kClientWidth, design::kClientHeight);
    setFont(design::DesignFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);

    BuildControls();
    SetTabOrder();
    NameControls();
    MakeController();
    exchange_ = std::make_unique<TUnitExchange>();
    WireEvents();
    History = new THistoryLink(*this);
    OnCreate(this);
}

TTarvenik_Control_Form::~TTarvenik_Control_Form() {
    OnDestroy(this);
    // The controls go after this body; nothing they signal while going may reach the handlers.
    Timer->stop();
    OnCreate = OnDestroy = CheckBox1OnClick = GoButtonOnClick = TimerOnTimer = nullptr;
    OnPollStep = nullptr;
    OnPollRead = nullptr;
    // The reference must not outlive the unit, even when the destroy handler was replaced and so
    // never forgot it.
    for (const auto& unit : lentUnits_)
        if (State.held_device == unit.get())
            State.held_device = nullptr;
    // The window goes at once; the request running on the exchange thread, if any, is waited for
    // (at most its timeout) while the HID services it calls are still there, and its answer
    // dropped.
    hide();
    exchange_.reset();
    // Then the controller goes (closing the lent units' handles), then the lent units.
    controller_.reset();
    HidDeviceController = nullptr;
    lentUnits_.clear();
}

void TTarvenik_Control_Form::MakeController() {
    controller_ = std::make_unique<THidDeviceController>(this);
    HidDeviceController = controller_.get();
    HidDeviceController->setObjectName(QStringLiteral("HidDeviceController"));
    HidDeviceController->SetDevThreadSleepTime(10);
    HidDeviceController->SetOnEnumerate(
        THidEnumerateEvent(this, &TTarvenik_Control_Form::HidDeviceControllerEnumerate));
}

void TTarvenik_Control_Form::BuildControls() {
    // Creation order is stacking order: the labels around the image lie over its edges.
    Image = Place(new framework::TImage(this), "Image");
    Label40 = MakeLabel(this, "Label40");
    Label400 = MakeLabel(this, "Label400");
    Label6 = MakeLabel(this, "Label6");
    Label7 = MakeLabel(this, "Label7");
    Label_max = MakeLabel(this, "Label_max");
    Label_min = MakeLabel(this, "Label_min");
    sig_Label = MakeLabel(this, "sig_Label");
    Pos_Label = MakeLabel(this, "Pos_Label");

    Panel1 = Place(new QFrame(this), "Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);

    Label1 = MakeLabel(this, "Label1");
    Label2 = MakeLabel(this, "Label2");
    Label3 = MakeLabel(this, "Label3");
    Label4 = MakeLabel(this, "Label4");
    Label5 = MakeLabel(this, "Label5");
    SpinEdit35 = MakeSpinEdit(this, "SpinEdit35");
    SpinEdit36 = MakeSpinEdit(this, "SpinEdit36");
    SpinEdit37 = MakeSpinEdit(this, "SpinEdit37");
    SpinEdit38 = MakeSpinEdit(this, "SpinEdit38");
    SpinEdit39 = MakeSpinEdit(this, "SpinEdit39");
    CheckBox1 = MakeCaptioned<QCheckBox>(this, "CheckBox1");
    CheckBox2 = MakeCaptioned<QCheckBox>(this, "CheckBox2");
    Label41 = MakeLabel(this, "Label41");
    Label42 = MakeLabel(this, "Label42");
    Label45 = MakeLabel(this, "Label45");
    Label46 = MakeLabel(this, "Label46");
    Label47 = MakeLabel(this, "Label47");
    Label48 = MakeLabel(this, "Label48");

    FuncComboBox = Place(new QComboBox(this), "FuncComboBox");
    FuncComboBox->setEditable(false);
    FuncComboBox->setItemDelegate(
        new TPlainItemDelegate(design::kFunctionItemHeight, FuncComboBox));
    for (const char* function : design::kFunctions)
        FuncComboBox->addItem(Translated(function));

    GoButton = MakeCaptioned<QPushButton>(this, "GoButton");
    GoButton->setAutoDefault(false);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(design::kTimerInterval);
}

void TTarvenik_Control_Form::SetTabOrder() {
    std::vector<std::pair<int, QWidget*>> order;
    for (const design::TControl& row : design::kControls) {
        if (row.TabOrder == design::kNoTab)
            continue;
        auto* control =
            findChild<QWidget*>(QString::fromLatin1(row.Name.data(), qsizetype(row.Name.size())),
                                Qt::FindDirectChildrenOnly);
        if (control && (control->focusPolicy() & Qt::TabFocus))
            order.emplace_back(row.TabOrder, control);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    if (!order.empty())
        order.front().second->setFocus(); // the first in tab order has the focus when shown
}

void TTarvenik_Control_Form::WireEvents() {
    OnCreate = {this, &TTarvenik_Control_Form::FormCreate};
    OnDestroy = {this, &TTarvenik_Control_Form::FormDestroy};
    CheckBox1OnClick = {this, &TTarvenik_Control_Form::CheckBox1Click};
    GoButtonOnClick = {this, &TTarvenik_Control_Form::GoButtonClick};
    TimerOnTimer = {this, &TTarvenik_Control_Form::TimerTimer};

    // toggled, not clicked: a change of the ticked state from code must reach the handler too.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1OnClick(CheckBox1); });
    connect(GoButton, &QPushButton::clicked, this, [this] { GoButtonOnClick(GoButton); });
    connect(Timer, &QTimer::timeout, this, [this] { TimerOnTimer(Timer); });
}

void TTarvenik_Control_Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_ || event->spontaneous())
        return;
    placed_ = true;
    const QScreen* display = screen();
    if (display == nullptr)
        return;
    const std::optional<QPoint> remembered =
        RememberedPlace ? RememberedPlace() : std::optional<QPoint>();
    if (!remembered) {
        move(design::CentredTopLeft(display->geometry(), frameGeometry().size()));
        return;
    }
    QList<QRect> areas;
    for (const QScreen* each : QGuiApplication::screens())
        areas << each->availableGeometry();
    move(design::OnScreenTopLeft(*remembered, frameGeometry().size(), areas,
                                 display->availableGeometry()));
}

void TTarvenik_Control_Form::FormCreate(void*) {
    // Qt composes every repaint of a window in its backing store and shows it in one step, as
    // long as no widget paints on the screen directly.
    setAttribute(Qt::WA_PaintOnScreen, false);
    DoubleBuffered = true;
    init_app();
}

// The unit is not checked in: the controller, going with the window, closes its handles.
void TTarvenik_Control_Form::FormDestroy(void*) {
    State.held_device = nullptr;
}

bool TTarvenik_Control_Form::Get_Tarvenik_Dev() {
    THidDevice*& held_device = State.held_device;
    // Giving a unit back is safe while a request to it runs: the exchange thread has a handle of
    // its own and never touches the device object.
    if (held_device != nullptr && !held_device->Attached()) {
        // Unplugged while held: give it back, so a unit plugged in again can be found.
        GiveBack(held_device);
        held_device = nullptr;
    }
    if (held_device == nullptr) {
        // Units lent before (the earlier of two) go back to the controller first, so one that is
        // still attached is found again now that the held one has gone.
        lentUnits_.clear();
        unitAccessDenied_ = false;
        HidDeviceController->EnumerateDevices();
    }
    return held_device != nullptr && held_device->CheckedOut() && held_device->Attached();
}

bool TTarvenik_Control_Form::UnitAccessDenied() const {
    return unitAccessDenied_;
}

void TTarvenik_Control_Form::GiveBack(THidDevice* device) {
    // Destroying a lent device returns it to the controller, which takes a vanished one out of
    // its list.
    std::erase_if(lentUnits_, [device](const auto& unit) { return unit.get() == device; });
}

bool TTarvenik_Control_Form::HidDeviceControllerEnumerate(THidDevice* HidDev, int Idx) {
    if (!unit::IsTarvenikUnit(*HidDev))
        return true;
    // Read before the access check below opens the handle: fetching a text closes it again.
    const unit::TUnitIdentity identity{HidDev->GetSerialNumberText(), HidDev->GetLocationText()};
    if (!WantedSerial.isEmpty() && identity.Serial != WantedSerial)
        return true;
    // A unit whose node refuses reading and writing would only ever answer with an all-zero
    // block: it is not taken, and the search reports it instead.
    if (!HidDev->OpenMainHandle() || !HidDev->ReadWriteAllowed()) {
        unitAccessDenied_ = true;
        qCWarning(lcPoll).noquote()
            << "no read-write access to the unit at"
            << QString::fromStdString(HidDev->InterfaceInfo().InterfacePath) << "-"
            << hidlog::ErrorText(HidDev->ReadWriteError()) << "- is the udev rule installed?";
        return true;
    }
    // With two units attached the later one is held; the earlier stays lent and unused.
    HidDeviceController->CheckOutAt(Idx, State.held_device);
    if (State.held_device != nullptr) {
        lentUnits_.emplace_back(State.held_device);
        HeldIdentity = identity;
    }
    return true;
}

bool TTarvenik_Control_Form::UnitBusy() const {
    return exchange_->Busy();
}

// Every answer is noted before it is applied: the failure log, and the caption of a unit that has
// fallen silent or speaks again.
void TTarvenik_Control_Form::AskUnit(TUnitRequest request, TUnitExchange::TApply apply) {
    if (State.held_device == nullptr)
        return;
    const THidPnPInfo& unit = State.held_device->InterfaceInfo();
    exchange_->Ask(unit.InterfacePath, unit.InstanceHandle, request, State.data_block,
                   State.report_buf, [this, apply = std::move(apply)](const TUnitAnswer& answer) {
                       NoteAnswer(answer);
                       apply(answer);
                   });
}

void TTarvenik_Control_Form::send_data() {
    AskUnit(TUnitRequest::Send,
            [this](const TUnitAnswer& answer) { State.report_buf = answer.Report; });
}

// A failed read leaves the block all zero: the cleared buffer is copied all the same.
void TTarvenik_Control_Form::get_data(std::function<void(bool answered)> then) {
    AskUnit(TUnitRequest::Read, [this, then = std::move(then)](const TUnitAnswer& answer) {
        State.data_block = answer.Block;
        State.report_buf = answer.Report;
        if (then)
            then(answer.Read);
    });
}

void TTarvenik_Control_Form::NoteAnswer(const TUnitAnswer& answer) {
    for (const TUnitAnswer::TStep& step : answer.Steps)
        NoteExchange(step);
    if (answer.NoAnswer) {
        unitSilent_ = true;
        ShowConnectedCaption();
    } else if (answer.Answered && unitSilent_) {
        unitSilent_ = false;
        ShowConnectedCaption();
    }
}

void TTarvenik_Control_Form::ShowConnectedCaption() {
    setWindowTitle(unitSilent_ ? tr("Устройство не отвечает :(") : tr("Устройство обнаруженно :)"));
}

// A unit that stops answering fails every exchange, twice a second: the first failure of such a
// run is logged, and the next success ends the run.
void TTarvenik_Control_Form::NoteExchange(const TUnitAnswer::TStep& step) {
    if (step.Result == unit::ExchangeResult::Answered) {
        exchangeFailing_ = false;
        return;
    }
    if (exchangeFailing_)
        return;
    exchangeFailing_ = true;
    qCWarning(lcPoll).noquote() << step.What << "failed:" << step.Reason
                                << "- the window shows an all-zero block until the unit answers";
}

void TTarvenik_Control_Form::CheckBox1Click(void*) {
    if (CheckBox1->isChecked()) {
        if (Get_Tarvenik_Dev()) {
            FuncComboBox->setCurrentIndex(1); // read the parameters back from the unit
            GoButtonClick(this);
        }
        Timer->start(); // with no unit, the first poll unticks the box again
    } else {
        Timer->stop();
        // Takes effect at once, even while a request waits on a silent unit: its answer and
        // whatever was asked after it are dropped.
        exchange_->DropAll();
        History->Gap(history::TGapReason::Unticked);
        unitSilent_ = false;
        init_app();
    }
}

void TTarvenik_Control_Form::GoButtonClick(void*) {
    if (!Get_Tarvenik_Dev())
        return;
    switch (const int item = FuncComboBox->currentIndex(); item) {
    case 0:
        State.data_block[block::kCommand] = cmd_normal;
        break;
    case 1:
        // Send, pause, read and send back, as one request: nothing else reaches the unit between.
        State.data_block[block::kCommand] = cmd_read_eeprom;
        AskUnit(TUnitRequest::ReadBack, [this](const TUnitAnswer& answer) {
            State.data_block = answer.Block;
            State.report_buf = answer.Report;
            State.scale = ScaleFromByte(State.data_block[block::kScaleByte]);
            LoadParameterFields();
        });
        FuncComboBox->setCurrentIndex(0);
        return;
    case 2:
        StoreParameterFields();
        State.data_block[block::kCommand] = cmd_save_eeprom;
        FuncComboBox->setCurrentIndex(0);
        break;
    case 3:
        State.data_block[block::kCommand] = cmd_reset_vars;
        FuncComboBox->setCurrentIndex(0);
        break;
    case 4:
    case 5:
    case 6:
    case 7: // the tests stay selected, so Execute repeats them
        State.data_block[block::kCommand] = kSelectorCommands[static_cast<std::size_t>(item)];
        break;
    default: // no item chosen: the command byte stays as last read or written
        break;
    }
    send_data();
}

void TTarvenik_Control_Form::LoadParameterFields() {
    const TDataBlock& data_block = State.data_block;
    SpinEdit35->SetValue(data_block[block::kPollPeriod]);
    SpinEdit36->SetValue(State.raw_to_volts(data_block[block::kThreshold0]));
    SpinEdit37->SetValue(State.raw_to_volts(data_block[block::kThreshold1]));
    SpinEdit38->SetValue(data_block[block::kOs2Length]);
    SpinEdit39->SetValue(data_block[block::kOs2Delay]);
}

void TTarvenik_Control_Form::StoreParameterFields() {
    TDataBlock& data_block = State.data_block;
    const auto volts_to_raw = [this](long double volts) { return State.volts_to_raw(volts); };
    data_block[block::kPollPeriod] = static_cast<std::uint8_t>(SpinEdit35->IntegerValue() & 0xFF);
    data_block[block::kThreshold0] = static_cast<std::uint8_t>(volts_to_raw(SpinEdit36->Value()));
    data_block[block::kThreshold1] = static_cast<std::uint8_t>(volts_to_raw(SpinEdit37->Value()));
    data_block[block::kOs2Length] = static_cast<std::uint8_t>(SpinEdit38->IntegerValue() & 0xFF);
    data_block[block::kOs2Delay] = static_cast<std::uint8_t>(SpinEdit39->IntegerValue() & 0xFF);
}

// The disconnected look. Left as they are: the timer, both check boxes' ticked states, the
// numeric fields' values, where the labels stand and the two "4" labels.
void TTarvenik_Control_Form::init_app() {
    SetFontColor(Label2, framework::clBlue);  // the colours of the threshold lines
    SetFontColor(Label3, framework::clGreen); // on the oscillogram
    setWindowTitle(QStringLiteral("Tarvenik. ") + QString::fromLatin1(design::kMakerAddress) +
                   QStringLiteral(" "));

    GoButton->setEnabled(false);
    FuncComboBox->setEnabled(false);
    FuncComboBox->setCurrentIndex(0);

    for (QLabel* readout : {Label41, Label42, Label45, Label46, Label47, Label48})
        readout->clear();

    for (QWidget* control : std::initializer_list<QWidget*>{SpinEdit35, SpinEdit36, SpinEdit37,
                                                            SpinEdit38, SpinEdit39, CheckBox2})
        control->setEnabled(false);

    framework::TCanvas* canvas = Image->Canvas();
    canvas->Pen.Color = framework::clWhite;
    canvas->FillRect(0, 0, Image->width(), Image->height());

    for (QLabel* label : {Pos_Label, Label_min, Label_max, sig_Label})
        label->clear();
    DescribeOscillogram(true);
}
