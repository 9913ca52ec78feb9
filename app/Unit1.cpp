#include "app/Unit1.h"

#include "app/AppLogging.h"
#include "app/Design.h"
#include "app/DesignFont.h"
#include "app/FirstFrame.h"
#include "app/HistoryLink.h"
#include "app/ParameterFields.h"
#include "app/Placement.h"
#include "app/PlainItemDelegate.h"
#include "unit/Parameters.h"

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

TTarvenik_Control_Form::TTarvenik_Control_Form(QWidget* parent, TUnitStart start)
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
    if (start == TUnitStart::AtOnce)
        Session();
    else
        // The modules load and the scan runs after the frame; until then every control that
        // reaches the unit is disabled or, like the connect box, makes the session itself.
        startup::AfterFirstFrame(*this, [this] { Session(); });
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
    State.held_device = nullptr;
    // The window goes at once. The session drops every answer still to come, waits a moment for
    // a request that runs and abandons one the unit keeps waiting; then its controller goes,
    // closing the held unit's handles.
    hide();
    session_.reset();
    HidDeviceController = nullptr;
}

void TTarvenik_Control_Form::MakeController() {
    session_ = std::make_unique<unit::TUnitSession>();
    HidDeviceController = session_->Controller();
    session_->ConfigureController(QStringLiteral("HidDeviceController"), 10);
}

unit::TUnitSession& TTarvenik_Control_Form::Session() {
    if (!session_) {
        MakeController();
        // The function list is enabled only with a unit's parameters, so its popup comes with
        // the session.
        PrepareFunctionList();
    }
    return *session_;
}

void TTarvenik_Control_Form::PrepareFunctionList() {
    if (functionListReady_)
        return;
    functionListReady_ = true;
    FuncComboBox->setItemDelegate(
        new TPlainItemDelegate(design::kFunctionItemHeight, FuncComboBox));
    ConnectFunctionSelection();
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

    // The labels first: creation order is the stacking order the design has.
    for (std::size_t i = 0; i < unit::kParameterCount; ++i)
        this->*ParameterControls()[i].first = MakeLabel(this, unit::kParameters[i].Label);
    for (std::size_t i = 0; i < unit::kParameterCount; ++i)
        this->*ParameterControls()[i].second = MakeSpinEdit(this, unit::kParameters[i].Field);
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

// The unit is not checked in: the session's controller, going with the window, closes its
// handles.
void TTarvenik_Control_Form::FormDestroy(void*) {
    State.held_device = nullptr;
}

bool TTarvenik_Control_Form::Get_Tarvenik_Dev() {
    unit::TUnitChoice choice;
    if (!WantedSerial.isEmpty())
        choice.Serial = WantedSerial;
    Session().SetChoice(choice);
    const bool held = Session().Hold();
    State.held_device = Session().HeldDevice();
    unitAccessDenied_ = Session().AccessDenied();
    if (Session().Holding())
        HeldIdentity = {Session().Held().Serial, Session().Held().Location};
    // Two units the choice can't tell apart are refused; said once, not at every poll.
    if (Session().ChoiceProblem() != choiceProblem_) {
        choiceProblem_ = Session().ChoiceProblem();
        if (!choiceProblem_.isEmpty())
            qCWarning(lcPoll).noquote() << choiceProblem_;
    }
    return held;
}

bool TTarvenik_Control_Form::UnitAccessDenied() const {
    return unitAccessDenied_;
}

bool TTarvenik_Control_Form::HidDeviceControllerEnumerate(THidDevice* HidDev, int Idx) {
    return Session().Offer(HidDev, Idx);
}

bool TTarvenik_Control_Form::UnitBusy() const {
    return session_ && session_->Busy();
}

bool TTarvenik_Control_Form::ParametersLoaded() const {
    return session_ && session_->ParametersLoaded();
}

// Every answer is noted before it is applied: the failure log, and the caption of a unit that has
// fallen silent or speaks again.
bool TTarvenik_Control_Form::send_data(std::uint8_t command, const unit::TParameterChange& change) {
    return Session().AskCommand(command, change, [this](const unit::TUnitAnswer& answer) {
        NoteAnswer(answer);
        State.report_buf = answer.Report;
    });
}

// A failed read leaves the block all zero: the cleared buffer is copied all the same.
void TTarvenik_Control_Form::get_data(std::function<void(bool answered)> then) {
    Session().AskRead([this, then = std::move(then)](const unit::TUnitAnswer& answer) {
        NoteAnswer(answer);
        State.data_block = answer.Block;
        State.report_buf = answer.Report;
        if (then)
            then(answer.Read);
    });
}

// Only a read-back answered in full loads the fields; one that failed leaves them as they are,
// and the parameters unloaded, so nothing can be saved from them.
void TTarvenik_Control_Form::ReadParametersBack() {
    if (readBackAsked_)
        return;
    readBackAsked_ = Session().AskReadBack([this](const unit::TUnitAnswer& answer) {
        readBackAsked_ = false;
        NoteAnswer(answer);
        State.report_buf = answer.Report;
        if (!answer.Read)
            return;
        State.data_block = answer.Block;
        State.scale = ScaleFromByte(State.data_block[block::kScaleByte]);
        // A save pressed since it was asked is what the unit holds: the fields keep it.
        if (!answer.Superseded)
            LoadParameterFields();
    });
}

void TTarvenik_Control_Form::NoteAnswer(const unit::TUnitAnswer& answer) {
    for (const unit::TUnitAnswer::TStep& step : answer.Steps)
        NoteExchange(step);
    if (answer.NoAnswer) {
        unitSilent_ = true;
        ShowConnectedCaption();
    } else if (answer.Answered && unitSilent_) {
        unitSilent_ = false;
        ShowConnectedCaption();
    }
    // A save is checked by the next block: one the unit did not keep is said in the caption
    // until a save is kept, and the fields are read back to show what it holds.
    if (answer.SaveKept) {
        saveNotKept_ = !*answer.SaveKept;
        ShowConnectedCaption();
        if (saveNotKept_) {
            qCWarning(lcPoll) << "the unit did not keep the parameters it was given; the fields "
                                 "are read back to show what it holds";
            if (answer.Request != unit::TUnitRequest::ReadBack)
                ReadParametersBack();
        }
    }
}

void TTarvenik_Control_Form::ShowConnectedCaption() {
    // A request still held by the unit (a write, say) is silence too, whatever else answered.
    const bool silent = unitSilent_ || (session_ && session_->Exchange().Stalled());
    if (silent)
        setWindowTitle(tr("Устройство не отвечает :("));
    else if (saveNotKept_)
        setWindowTitle(tr("Устройство не сохранило параметры :("));
    else
        setWindowTitle(tr("Устройство обнаруженно :)"));
}

// A unit that stops answering fails every exchange, twice a second: the first failure of such a
// run is logged, and the next success ends the run.
void TTarvenik_Control_Form::NoteExchange(const unit::TUnitAnswer::TStep& step) {
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
        Session().DropAll();
        readBackAsked_ = false;
        History->Gap(history::TGapReason::Unticked);
        unitSilent_ = false;
        saveNotKept_ = false;
        init_app();
    }
}

void TTarvenik_Control_Form::GoButtonClick(void*) {
    if (!Get_Tarvenik_Dev())
        return;
    const int item = FuncComboBox->currentIndex();
    if (item == 1) {
        // Send, pause, read and send back, as one request: nothing else reaches the unit between.
        ReadParametersBack();
        FuncComboBox->setCurrentIndex(0);
        return;
    }
    // While the unit holds a request, a command waits for it, replacing the one pressed before:
    // the last pressed goes once the unit is free (the caption says it is not answering).
    std::uint8_t command = 0;
    unit::TParameterChange change;
    switch (item) {
    case 0:
        command = cmd_normal;
        break;
    case 2:
        // Fields read back at another scale would be saved at the wrong one: read back again.
        if (Session().ScaleChangedSinceReadBack()) {
            qCWarning(lcPoll) << "Save not sent: the unit's scale changed since its parameters "
                                 "were read back; they are read back again";
            ReadParametersBack();
            return;
        }
        change = StoreParameterFields();
        command = cmd_save_eeprom;
        break;
    case 3:
        command = cmd_reset_vars;
        break;
    case 4:
    case 5:
    case 6:
    case 7: // the tests stay selected, so Execute repeats them
        command = kSelectorCommands[static_cast<std::size_t>(item)];
        break;
    default: // no item chosen: the command byte stays as last read or written
        command = State.data_block[block::kCommand];
        break;
    }
    if (!send_data(command, change))
        return;
    State.data_block[block::kCommand] = command;
    if (item == 2 || item == 3)
        FuncComboBox->setCurrentIndex(0);
}

// The fields show the parameters of the read-back, converted at the scale of the block it read.
void TTarvenik_Control_Form::LoadParameterFields() {
    loadedTexts_ = parameterfields::Load(ParameterFields(), Session().LoadedBlock());
}

parameterfields::TFields TTarvenik_Control_Form::ParameterFields() const {
    parameterfields::TFields fields{};
    for (std::size_t i = 0; i < unit::kParameterCount; ++i)
        fields[i] = this->*ParameterControls()[i].second;
    return fields;
}

// What the user changed in the fields, to be written into the unit's own block (the thresholds
// at its scale); every other byte stays the unit's.
unit::TParameterChange TTarvenik_Control_Form::StoreParameterFields() const {
    return parameterfields::Edited(ParameterFields(), loadedTexts_);
}

// Execute and the fields wait for the parameters of the unit held: until they are read back,
// nothing the fields hold can reach it.
void TTarvenik_Control_Form::EnableControls() {
    const bool loaded = ParametersLoaded();
    GoButton->setEnabled(loaded);
    FuncComboBox->setEnabled(loaded);
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

    for (const auto& controls : ParameterControls())
        (this->*controls.second)->setEnabled(false);
    CheckBox2->setEnabled(false);

    framework::TCanvas* canvas = Image->Canvas();
    canvas->Pen.Color = framework::clWhite;
    canvas->FillRect(0, 0, Image->width(), Image->height());

    for (QLabel* label : {Pos_Label, Label_min, Label_max, sig_Label})
        label->clear();
    DescribeOscillogram(true);
}
