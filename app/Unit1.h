#pragma once
// The control window of the Tarvenik unit, the program's only window. Its controls are built from
// the design tables in Design.h and are reachable by their designed names; the panel's logic lives
// in the window's event handlers and routines.

#include "app/DataBlock.h"
#include "app/ParameterFields.h"
#include "framework/BoundEvent.h"
#include "framework/Image.h"
#include "unit/Block.h"
#include "unit/ParameterTable.h"
#include "unit/Record.h"
#include "unit/Session.h"
#include "widgets/NumSpin.h"

#include <QDateTime>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class THidDevice;
class THidDeviceController;
class THistoryLink;

// Where screenshots go and what time names them; the real clock and the program's folder unless a
// test puts its own in.
struct TScreenshotHooks {
    std::function<QDateTime()> Now;
    std::function<QString()> Folder;
};

class TTarvenik_Control_Form : public QWidget {
    Q_OBJECT
public:
    // When the unit's services (the HID modules, their device scan) and the function list's popup
    // are made: at once, or once the window has painted its first frame (the program's start-up:
    // neither shows in that frame). Whatever needs them earlier makes them then.
    enum class TUnitStart { AtOnce, AfterFirstFrame };
    explicit TTarvenik_Control_Form(QWidget* parent = nullptr,
                                    TUnitStart start = TUnitStart::AtOnce);
    ~TTarvenik_Control_Form() override;

    // Controls, as designed. The window owns them all.
    framework::TImage* Image = nullptr;
    QLabel* Label40 = nullptr;
    QLabel* Label400 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label_max = nullptr;
    QLabel* Label_min = nullptr;
    QLabel* sig_Label = nullptr;
    QLabel* Pos_Label = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    TNumSpinEdit* SpinEdit35 = nullptr;
    TNumSpinEdit* SpinEdit36 = nullptr;
    TNumSpinEdit* SpinEdit37 = nullptr;
    TNumSpinEdit* SpinEdit38 = nullptr;
    TNumSpinEdit* SpinEdit39 = nullptr;
    // The parameters' labels and fields, in the order of the parameter table.
    using TLabelMember = QLabel* TTarvenik_Control_Form::*;
    using TFieldMember = TNumSpinEdit* TTarvenik_Control_Form::*;
    static constexpr std::array<std::pair<TLabelMember, TFieldMember>, unit::kParameterCount>
    ParameterControls() {
        using F = TTarvenik_Control_Form;
        return {{{&F::Label1, &F::SpinEdit35},
                 {&F::Label2, &F::SpinEdit36},
                 {&F::Label3, &F::SpinEdit37},
                 {&F::Label4, &F::SpinEdit38},
                 {&F::Label5, &F::SpinEdit39}}};
    }
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLabel* Label41 = nullptr;
    QLabel* Label42 = nullptr;
    QLabel* Label45 = nullptr;
    QLabel* Label46 = nullptr;
    QLabel* Label47 = nullptr;
    QLabel* Label48 = nullptr;
    QComboBox* FuncComboBox = nullptr;
    QPushButton* GoButton = nullptr;
    QTimer* Timer = nullptr; // 500 ms, stopped until the connect box starts it

    // The window's HID device controller: read threads idle 10 ms, and only its enumeration event
    // is handled. Owned by the window's unit session, the window's one way to the unit.
    THidDeviceController* HidDeviceController = nullptr;

    // Event wiring: each slot is fired by its event and holds the handler below. CheckBox1's
    // slot fires on every change of its ticked state, whether by the user or from code.
    framework::TNotifyEvent OnCreate;
    framework::TNotifyEvent OnDestroy;
    framework::TNotifyEvent CheckBox1OnClick;
    framework::TNotifyEvent GoButtonOnClick;
    framework::TNotifyEvent TimerOnTimer;

    // Event handlers; Sender is not used.
    void FormCreate(void* Sender);
    void FormDestroy(void* Sender);
    void CheckBox1Click(void* Sender);
    void GoButtonClick(void* Sender);
    void TimerTimer(void* Sender);

    // Puts the window into its disconnected look (see Unit1.cpp for what it leaves alone).
    void init_app();

    // The connection: true while a unit is held, checked out and still attached. A held unit
    // that has vanished is given back and the search runs again.
    bool Get_Tarvenik_Dev();
    // The controller's enumeration handler, the session's: notes each device with the unit's
    // strings; the choice among them is made once the enumeration is done.
    bool HidDeviceControllerEnumerate(THidDevice* HidDev, int Idx);
    // True when the last search found a unit whose node refused reading and writing.
    bool UnitAccessDenied() const;

    // What the poll shares: the block, the report buffer, the scale, the held unit and the
    // screenshot trigger. The window's own; the exchange thread works on copies.
    TPanelState State;

    // The block's exchange with the held unit, through the session's exchange thread: each asks
    // and returns at once. send_data sends `command` on the last block the unit gave, with the
    // parameter change written in at the unit's own scale; it sends nothing (false) unless the
    // unit's parameters have been read back. get_data reads the block and, when the answer has
    // come and been put into the block, calls `then` with whether the unit answered. An answer
    // that comes after the connect box was unticked (or the window went) is dropped.
    bool send_data(std::uint8_t command, const unit::TParameterChange& change = {});
    void get_data(std::function<void(bool answered)> then);
    // True once the parameters of the unit held now have been read back and shown in the fields.
    bool ParametersLoaded() const;
    // The window's unit session, made on first use.
    unit::TUnitSession& Session();
    // True while a request asked of the unit has not been answered yet.
    bool UnitBusy() const;

    // Saves a JPEG picture of the window into the program's folder (the user's pictures folder when
    // that can't be written); never raises.
    void make_screen_short();
    // The screenshot trigger of a poll, given the position just read.
    void ScreenshotTrigger(int position);
    TScreenshotHooks ScreenshotHooks;

    // Called inside a connected poll after each stage, with its number: 4 caption and buttons,
    // 5 read, 10 oscillogram, 11 scale, 12 Pos_Label, 13 the "4" labels, 14 Label_min,
    // 15 Label_max, 16 sig_Label, 17 readouts, 18 fields enabled, 19 screenshot trigger. A test
    // can watch a cycle with it, or make a stage fail.
    std::function<void(int step)> OnPollStep;

    // Called inside a connected poll right after a read the unit answered, with the block read,
    // on the window's thread; the program's log (--log) hangs here.
    std::function<void(const TDataBlock& block)> OnPollRead;

    // The measurement history fed by the poll (HistoryLink.h); a child of the window.
    THistoryLink* History = nullptr;

    // --serial: only the unit with this serial number string is taken; empty: any unit.
    QString WantedSerial;
    // The serial and location of the unit held, or of the last one held.
    unit::TUnitIdentity HeldIdentity;

    // Set by FormCreate: every repaint of the window is composed off screen and shown in one step.
    bool DoubleBuffered = false;

    // Where the user left the window last time, if anywhere: asked when the window is first
    // shown. Unset or empty, the window is centred on its screen.
    std::function<std::optional<QPoint>()> RememberedPlace;

    // The oscillogram's description for screen readers reads the measurements of the polls, no
    // more often than once a second by this clock (milliseconds, steady); a test can drive it.
    std::function<qint64()> DescriptionClock;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void WireEvents();
    void SetTabOrder();
    void MakeController();
    void PollStep(int step) const;
    void DrawPoll();
    void PlaceLabels();
    void FillReadouts();
    void LoadParameterFields();
    parameterfields::TFields ParameterFields() const;
    unit::TParameterChange StoreParameterFields() const;
    void ReadParametersBack();
    void EnableControls();
    void NoteAnswer(const unit::TUnitAnswer& answer);
    void NoteExchange(const unit::TUnitAnswer::TStep& step);
    void FinishPoll(bool answered);
    void ShowConnectedCaption();
    template <typename Stages> void Guarded(Stages&& stages);
    void NameControls();
    // The function list's item height and its hook for a screen reader; they make its popup.
    void PrepareFunctionList();
    void ConnectFunctionSelection();
    // `now`: describe at once (the reset), not only when a second has passed.
    void DescribeOscillogram(bool now = false);

    // When the oscillogram's description was last written.
    std::optional<qint64> describedAt_;
    bool placed_ = false;
    bool unitAccessDenied_ = false; // the last search found the unit but could not open it
    bool exchangeFailing_ = false;  // the last exchange failed and was logged
    bool unitSilent_ = false;       // the last request to the unit timed out
    bool readBackAsked_ = false;    // a read-back of the parameters waits for its answer
    bool saveNotKept_ = false;      // the last save checked was not kept by the unit
    bool functionListReady_ = false;
    QString choiceProblem_; // the last search's, logged once
    // What the fields showed once the parameters were read back: a field still showing it is
    // saved as the unit's own byte.
    parameterfields::TTexts loadedTexts_;
    // The one way to the unit: controller, held unit, exchange thread, parameters.
    std::unique_ptr<unit::TUnitSession> session_;
};

// The application's main window while the program runs; set by the program's start.
extern TTarvenik_Control_Form* Tarvenik_Control_Form;
