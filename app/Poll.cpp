// The poll: one cycle of the timer reads the block, draws the oscillogram, moves and fills the
// labels around it and the readouts below it, and runs the screenshot trigger.

#include "app/AppLogging.h"
#include "app/DataBlock.h"
#include "app/HistoryLink.h"
#include "app/Oscillogram.h"
#include "app/Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <exception>

namespace {

std::uint8_t Byte(const TDataBlock& data, int index) {
    return data[static_cast<std::size_t>(index)];
}

QString Decimal(int value) {
    return QString::number(value);
}

// Centres a label vertically on the row of a raw value.
void CentreOnValueRow(QLabel* label, int raw) {
    label->move(label->x(), oscillogram::kBaseRow - raw - label->height() / 2);
}

} // namespace

// Any error inside drops the rest of the cycle silently, so polling stops until the connect box
// is ticked again.
template <typename Stages> void TTarvenik_Control_Form::Guarded(Stages&& stages) {
    try {
        stages();
    } catch (const std::exception& error) {
        // Dropped, by design: the window keeps what was already updated and polling stops until
        // the connect box is ticked again. Logged so that the reason is not lost.
        qCWarning(lcPoll) << "a poll cycle failed and polling stopped:" << error.what();
    } catch (...) {
        qCWarning(lcPoll) << "a poll cycle failed and polling stopped: unknown error";
    }
}

void TTarvenik_Control_Form::PollStep(int step) const {
    if (OnPollStep)
        OnPollStep(step);
}

// A cycle never overlaps another: the timer stops on entry and starts again only as the last
// step. The read runs on the exchange thread; the cycle goes on when its answer comes, so the
// window is never held up by a unit that is slow to answer or does not answer at all.
void TTarvenik_Control_Form::TimerTimer(void*) {
    Timer->stop();
    Guarded([this] {
        if (!Get_Tarvenik_Dev()) {
            History->Gap(history::TGapReason::Unplugged);
            CheckBox1->setChecked(false); // its click handler resets the window too
            init_app();
            // A unit that is there but can't be opened is told apart from no unit at all.
            setWindowTitle(UnitAccessDenied() ? tr("Нет доступа к устройству :(")
                                              : tr("Устройство не обнаруженно :("));
            return;
        }
        ShowConnectedCaption();
        // A unit whose parameters have not been read back (one that took over, came back after
        // an unplug, or did not answer the connect's read-back) has them read back first, as at
        // a tick; until then Execute and the fields stay disabled.
        if (!ParametersLoaded())
            ReadParametersBack();
        EnableControls();
        PollStep(4);

        // A failed read leaves the all-zero block, which is drawn as any other.
        get_data([this](bool answered) { FinishPoll(answered); });
    });
}

void TTarvenik_Control_Form::FinishPoll(bool answered) {
    Guarded([this, answered] {
        if (answered && OnPollRead)
            OnPollRead(State.data_block);
        History->Polled(answered, unitSilent_);
        PollStep(5);

        DrawPoll();
        PollStep(10);

        State.scale = ScaleFromByte(Byte(State.data_block, block::kScaleByte));
        PollStep(11);

        PlaceLabels();
        FillReadouts();
        DescribeOscillogram();
        PollStep(17);

        const bool loaded = ParametersLoaded();
        for (const auto& controls : ParameterControls())
            (this->*controls.second)->setEnabled(loaded);
        CheckBox2->setEnabled(true);
        EnableControls();
        PollStep(18);

        // Only a position the unit reported moves the trigger: a failed read is no fall.
        if (answered)
            ScreenshotTrigger(Byte(State.data_block, block::kPosition));
        PollStep(19);

        Timer->start();
    });
}

void TTarvenik_Control_Form::DrawPoll() {
    framework::TCanvas* canvas = Image->Canvas();
    oscillogram::Draw(*canvas, State.data_block, Image->width(), Image->height());
}

void TTarvenik_Control_Form::PlaceLabels() {
    const int position = Byte(State.data_block, block::kPosition);
    Pos_Label->setText(Decimal(position));
    Pos_Label->move(2 * position + 9, Pos_Label->y());
    PollStep(12);

    const int fourTop = static_cast<int>(std::trunc(264.0 / State.scale)) + Label40->height() / 2;
    Label40->move(Label40->x(), fourTop);
    Label400->move(Label400->x(), Label40->y());
    PollStep(13);

    const std::uint8_t threshold0 = Byte(State.data_block, block::kThreshold0);
    CentreOnValueRow(Label_min, threshold0);
    Label_min->setText(VoltText1(State.raw_to_volts(threshold0)));
    PollStep(14);

    const std::uint8_t threshold1 = Byte(State.data_block, block::kThreshold1);
    CentreOnValueRow(Label_max, threshold1);
    Label_max->setText(VoltText1(State.raw_to_volts(threshold1)));
    PollStep(15);

    // The signal label shows the block byte whose 1-based index is the OS2 voltage byte; only
    // indexes 1 to 250 name a byte of the block, any other leaves the label as it is.
    const int signalIndex = Byte(State.data_block, block::kOs2Voltage);
    if (position != 0 && signalIndex >= 1 && signalIndex <= block::kBlockSize) {
        const std::uint8_t signal = Byte(State.data_block, signalIndex - 1);
        sig_Label->move(sig_Label->x(),
                        oscillogram::SignalLabelTop(signal, sig_Label->height(), Label6->y()));
        sig_Label->setText(VoltText1(State.raw_to_volts(signal)));
    }
    PollStep(16);
}

void TTarvenik_Control_Form::FillReadouts() {
    const TDataBlock& data = State.data_block;
    Label41->setText(
        tr("Min значение OS1 = %1").arg(VoltText2(State.raw_to_volts(Byte(data, block::kOs1Min)))));
    Label42->setText(
        tr("Max значение OS1 = %1").arg(VoltText2(State.raw_to_volts(Byte(data, block::kOs1Max)))));
    Label45->setText(tr("Время импульса OS2 = %1, напряжение OS2 %2")
                         .arg(Decimal(Byte(data, block::kOs2PulseTime)),
                              VoltText2(State.raw_to_volts(Byte(data, block::kOs2Voltage)))));
    Label46->setText(tr("Время OS1 в сост \"1\" = %1").arg(Decimal(Byte(data, block::kOs1Time1))));
    Label47->setText(tr("Время OS1 в сост \"0\" = %1").arg(Decimal(Byte(data, block::kOs1Time0))));
    Label48->setText(tr("Тек сост OS1 = %1").arg(Decimal(Byte(data, block::kOs1State))));
}
