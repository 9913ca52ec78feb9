#include "app/Unit1.h"

#include "app/Design.h"
#include "app/DesignFont.h"
#include "app/Placement.h"
#include "app/PlainItemDelegate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

TTarvenik_Control_Form* Tarvenik_Control_Form = nullptr;

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
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
    label->setText(Utf8(row.Caption));
    return label;
}

template <typename T> T* MakeCaptioned(QWidget* parent, std::string_view name) {
    auto* control = Place(new T(parent), name);
    control->setText(Utf8(design::Control(name).Caption));
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
    WireEvents();
    OnCreate(this);
}

TTarvenik_Control_Form::~TTarvenik_Control_Form() {
    OnDestroy(this);
    // The controls go after this body; nothing they signal while going may reach the handlers.
    Timer->stop();
    OnCreate = OnDestroy = CheckBox1OnClick = GoButtonOnClick = TimerOnTimer = nullptr;
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
        FuncComboBox->addItem(Utf8(function));

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
    if (const QScreen* display = screen())
        move(design::CentredTopLeft(display->geometry(), frameGeometry().size()));
}

void TTarvenik_Control_Form::FormCreate(void*) {
    // Qt composes every repaint of a window in its backing store and shows it in one step, as
    // long as no widget paints on the screen directly.
    setAttribute(Qt::WA_PaintOnScreen, false);
    DoubleBuffered = true;
    init_app();
}

void TTarvenik_Control_Form::FormDestroy(void*) {
    // The connection forgets its unit here.
}

void TTarvenik_Control_Form::CheckBox1Click(void*) {
    // Connecting and disconnecting the unit.
}

void TTarvenik_Control_Form::GoButtonClick(void*) {
    // Sending the selected function to the unit.
}

void TTarvenik_Control_Form::TimerTimer(void*) {
    // One poll of the unit.
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
}
