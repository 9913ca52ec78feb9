// One poll of the unit: captions, label places, readouts, the oscillogram's pixels, failed reads,
// errors inside a cycle, and blocks of every byte value.

#include "PanelTestSupport.h"

#include "app/Oscillogram.h"

#include <QImage>

#include <random>
#include <stdexcept>

using namespace paneltest;
using framework::TColor;

namespace {

TDataBlock MeasurementBlock() {
    TDataBlock b = QuietBlock();
    b[block::kThreshold0] = 58;  // 0.996875 V
    b[block::kThreshold1] = 145; // 2.4921875 V
    b[block::kPosition] = 120;
    b[block::kOs2Voltage] = 26; // 0.446875 V; also names block byte 25 for the signal label
    b[25] = 100;                // 1.71875 V
    b[block::kOs1Min] = 10;
    b[block::kOs1Max] = 255;
    b[block::kOs2PulseTime] = 12;
    b[block::kOs1Time1] = 33;
    b[block::kOs1Time0] = 44;
    b[block::kOs1State] = 1;
    return b;
}

TColor PixelAt(const TTarvenik_Control_Form& form, int x, int y) {
    return TColor::FromRgb(form.Image->Picture().pixel(x, y));
}

} // namespace

TEST_F(PanelTest, APollShowsTheUnitsValuesInTheCLocale) {
    SetFixedBlock(MeasurementBlock());
    Connect();
    Poll();

    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->GoButton, form->FuncComboBox, form->SpinEdit35, form->SpinEdit36,
             form->SpinEdit37, form->SpinEdit38, form->SpinEdit39, form->CheckBox2})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(form->State.scale, 64);

    EXPECT_EQ(form->Pos_Label->text(), "120");
    EXPECT_EQ(form->Pos_Label->pos(), QPoint(249, 256));
    EXPECT_EQ(form->Label40->pos(), QPoint(488, 10));
    EXPECT_EQ(form->Label400->pos(), QPoint(8, 10));
    EXPECT_EQ(form->Label40->text(), "4");
    EXPECT_EQ(form->Label_min->pos(), QPoint(0, 255 - 58 - 6));
    EXPECT_EQ(form->Label_min->text(), "1.0 В");
    EXPECT_EQ(form->Label_max->pos(), QPoint(0, 255 - 145 - 6));
    EXPECT_EQ(form->Label_max->text(), "2.5 В");
    EXPECT_EQ(form->sig_Label->pos(), QPoint(489, 255 - 100 - 6));
    EXPECT_EQ(form->sig_Label->text(), "1.7 В");
    // Designed widths stay whatever the texts need.
    EXPECT_EQ(form->Label_min->width(), 17);

    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.17 В");
    EXPECT_EQ(form->Label42->text(), "Max значение OS1 = 4.38 В");
    EXPECT_EQ(form->Label45->text(), "Время импульса OS2 = 12, напряжение OS2 0.45 В");
    EXPECT_EQ(form->Label46->text(), "Время OS1 в сост \"1\" = 33");
    EXPECT_EQ(form->Label47->text(), "Время OS1 в сост \"0\" = 44");
    EXPECT_EQ(form->Label48->text(), "Тек сост OS1 = 1");
}

TEST_F(PanelTest, APollWritesVoltsWithTheUsersDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    SetFixedBlock(MeasurementBlock());
    Connect();
    EXPECT_EQ(form->SpinEdit36->text(), "1,00"); // the field follows the locale too
    Poll();
    EXPECT_EQ(form->Label_min->text(), "1,0 В");
    EXPECT_EQ(form->Label_max->text(), "2,5 В");
    EXPECT_EQ(form->sig_Label->text(), "1,7 В");
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0,17 В");
    EXPECT_EQ(form->Label42->text(), "Max значение OS1 = 4,38 В");
    EXPECT_EQ(form->Label45->text(), "Время импульса OS2 = 12, напряжение OS2 0,45 В");
    EXPECT_EQ(form->Label48->text(), "Тек сост OS1 = 1");
}

TEST_F(PanelTest, TheScaleByteMovesTheFourLabels) {
    Connect();
    const std::pair<int, int> cases[] = {{0, 10}, {64, 10}, {255, 7}, {1, 270}, {100, 8}};
    for (auto [scaleByte, top] : cases) {
        SCOPED_TRACE(scaleByte);
        TDataBlock b = QuietBlock();
        b[block::kScaleByte] = static_cast<std::uint8_t>(scaleByte);
        b[block::kThreshold0] = 10;
        SetFixedBlock(b);
        Poll();
        EXPECT_EQ(form->State.scale, scaleByte == 0 ? 64 : scaleByte);
        EXPECT_EQ(form->Label40->y(), top);
        EXPECT_EQ(form->Label400->y(), top);
        EXPECT_EQ(form->Label_min->text(), VoltText1(RawToVolts(10, form->State.scale)));
    }
}

TEST_F(PanelTest, PositionZeroLeavesTheSignalLabelAlone) {
    SetFixedBlock(MeasurementBlock());
    Connect();
    Poll();
    TDataBlock b = MeasurementBlock();
    b[block::kPosition] = 0;
    b[25] = 200;
    SetFixedBlock(b);
    Poll();
    EXPECT_EQ(form->Pos_Label->text(), "0");
    EXPECT_EQ(form->Pos_Label->pos(), QPoint(9, 256));
    EXPECT_EQ(form->sig_Label->text(), "1.7 В");
    EXPECT_EQ(form->sig_Label->y(), 255 - 100 - 6);
}

TEST_F(PanelTest, TheOscillogramShowsThresholdsTracesAndTheMarker) {
    TDataBlock b = QuietBlock();
    for (int i = 0; i < block::kSamplePairs; ++i) {
        b[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(i + 10); // rising
        b[static_cast<std::size_t>(2 * i + 1)] = 50;                            // flat
    }
    b[block::kThreshold0] = 30;
    b[block::kThreshold1] = 200;
    b[block::kPosition] = 50; // marker centred on x 98: columns 96..99
    SetFixedBlock(b);
    Connect();
    Poll();
    const QImage picture = form->Image->Picture();
    ASSERT_EQ(picture.size(), QSize(470, 255));

    for (int x : {0, 10, 200, 469}) {
        EXPECT_EQ(PixelAt(*form, x, 225), framework::clBlue) << x;
        EXPECT_EQ(PixelAt(*form, x, 55), framework::clGreen) << x;
    }
    // Channel A passes through every sample point (4i, 255 - byte 2i).
    for (int i = 0; i < block::kSamplePairs - 1; ++i) {
        const int x = 4 * i;
        if (x >= 96 && x <= 99)
            continue;
        // Channel B, drawn after it, covers the point where the two cross.
        const TColor expected = i + 10 == 50 ? framework::clRed : framework::clBlack;
        EXPECT_EQ(PixelAt(*form, x, 255 - (i + 10)), expected) << i;
    }
    // Channel B along row 205 up to, but not including, its last point at x 464.
    EXPECT_EQ(PixelAt(*form, 0, 205), framework::clRed);
    EXPECT_EQ(PixelAt(*form, 463, 205), framework::clRed);
    EXPECT_EQ(PixelAt(*form, 464, 205), framework::clWhite);
    EXPECT_EQ(PixelAt(*form, 468, 205), framework::clWhite);
    // The marker: four grey columns from top to bottom, drawn over everything else.
    for (int y : {0, 55, 205, 225, 254}) {
        EXPECT_EQ(PixelAt(*form, 95, y), y == 55    ? framework::clGreen
                                         : y == 205 ? framework::clRed
                                         : y == 225 ? framework::clBlue
                                                    : framework::clWhite)
            << y;
        for (int x = 96; x <= 99; ++x)
            EXPECT_EQ(PixelAt(*form, x, y), framework::clGray) << x << "," << y;
        EXPECT_EQ(PixelAt(*form, 100, y), PixelAt(*form, 95, y)) << y;
    }
    EXPECT_EQ(PixelAt(*form, 200, 10), framework::clWhite);
}

TEST_F(PanelTest, ValuesOfZeroDrawNothingAndTheMarkerHangsOffTheEdges) {
    TDataBlock b = QuietBlock();
    b[block::kPosition] = 0; // centred on x -2: nothing of it inside
    SetFixedBlock(b);
    Connect();
    Poll();
    const QImage picture = form->Image->Picture();
    QImage white(picture.size(), picture.format());
    white.fill(framework::clWhite.ToRgb());
    EXPECT_EQ(picture, white);

    b[block::kPosition] = 1; // x 0: columns 0 and 1
    SetFixedBlock(b);
    Poll();
    EXPECT_EQ(PixelAt(*form, 0, 100), framework::clGray);
    EXPECT_EQ(PixelAt(*form, 1, 100), framework::clGray);
    EXPECT_EQ(PixelAt(*form, 2, 100), framework::clWhite);

    b[block::kPosition] = 236; // x 470: its left half still shows
    SetFixedBlock(b);
    Poll();
    EXPECT_EQ(PixelAt(*form, 467, 100), framework::clWhite);
    EXPECT_EQ(PixelAt(*form, 468, 100), framework::clGray);
    EXPECT_EQ(PixelAt(*form, 469, 100), framework::clGray);
    EXPECT_EQ(form->Pos_Label->x(), 2 * 236 + 9);
}

TEST_F(PanelTest, AFailedReadDrawsTheAllZeroBlockAndPollingGoesOn) {
    SetFixedBlock(MeasurementBlock());
    Connect();
    Poll();
    Unit().SetFailures(0, 1, 0);
    Poll();
    EXPECT_EQ(form->State.data_block, TDataBlock{});
    EXPECT_EQ(form->State.scale, 64);
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(form->Pos_Label->text(), "0");
    EXPECT_EQ(form->Label_min->text(), "0.0 В");
    EXPECT_EQ(form->Label_min->y(), 255 - 6);
    EXPECT_EQ(form->Label_max->text(), "0.0 В");
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.00 В");
    EXPECT_EQ(form->Label45->text(), "Время импульса OS2 = 0, напряжение OS2 0.00 В");
    EXPECT_EQ(form->Label46->text(), "Время OS1 в сост \"1\" = 0");
    EXPECT_EQ(PixelAt(*form, 200, 254), framework::clWhite);
}

TEST_F(PanelTest, ACycleRunsWithItsTimerStoppedAndRestartsItLast) {
    Connect();
    std::vector<int> steps;
    std::vector<bool> timerRunning;
    form->OnPollStep = [&](int step) {
        steps.push_back(step);
        timerRunning.push_back(form->Timer->isActive());
    };
    Poll();
    EXPECT_EQ(steps, (std::vector<int>{4, 5, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_EQ(std::count(timerRunning.begin(), timerRunning.end(), true), 0);
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(PanelTest, AnErrorInsideACycleStopsPollingSilently) {
    SetFixedBlock(MeasurementBlock());
    Connect();
    form->OnPollStep = [](int step) {
        if (step == 13)
            throw std::runtime_error("broken step");
    };
    Poll();
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_EQ(form->Pos_Label->text(), "120"); // what ran before the error stays
    EXPECT_TRUE(form->Label_min->text().isEmpty());
    EXPECT_TRUE(form->Label41->text().isEmpty());
    EXPECT_FALSE(form->SpinEdit35->isEnabled());

    // Anything thrown, not only standard exceptions.
    form->OnPollStep = [](int step) {
        if (step == 18)
            throw 42;
    };
    Poll();
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.17 В");

    // Unticking and ticking again starts polling anew.
    form->OnPollStep = nullptr;
    form->CheckBox1->setChecked(false);
    form->CheckBox1->setChecked(true);
    Settle();
    EXPECT_TRUE(form->Timer->isActive());
    Poll();
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(PanelTest, BlocksOfEveryByteValueReadOnlyInsideTheBlock) {
    Connect();
    // Every byte the same value: the signal label's byte index is that value too.
    QString lastSignal;
    for (int v = 0; v <= 255; ++v) {
        SCOPED_TRACE(v);
        TDataBlock b;
        b.fill(static_cast<std::uint8_t>(v));
        SetFixedBlock(b);
        Poll();
        ASSERT_TRUE(form->Timer->isActive());
        if (v >= 1 && v <= 250)
            lastSignal = VoltText1(form->State.raw_to_volts(static_cast<std::uint8_t>(v)));
        EXPECT_EQ(form->sig_Label->text(), lastSignal);
        EXPECT_EQ(form->Pos_Label->text(), QString::number(v));
    }

    // The OS2 voltage bytes that name no byte of the block, under other contents.
    std::mt19937 random(7);
    for (int os2 : {0, 251, 252, 253, 254, 255}) {
        for (int round = 0; round < 8; ++round) {
            TDataBlock b;
            for (auto& byte : b)
                byte = static_cast<std::uint8_t>(random());
            b[block::kOs2Voltage] = static_cast<std::uint8_t>(os2);
            b[block::kPosition] = static_cast<std::uint8_t>(1 + random() % 255);
            SetFixedBlock(b);
            const QPoint place = form->sig_Label->pos();
            const QString text = form->sig_Label->text();
            Poll();
            EXPECT_EQ(form->sig_Label->pos(), place) << os2;
            EXPECT_EQ(form->sig_Label->text(), text) << os2;
            EXPECT_TRUE(form->Timer->isActive());
        }
    }
}
