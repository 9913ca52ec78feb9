// The diagonal button under the pointer: hit test, pressed states, repeat.

#include "WidgetTestSupport.h"
#include "tests/support/ActiveWindow.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace widgettest;

namespace {

// A window holding one button; pointer events go through the window, so the
// application's own idea of the held buttons is kept as a user's would be.
class ButtonInWindow : public ::testing::Test {
public:
    void SetUp() override {
        window.resize(100, 100);
        button = new TNumSpinButton(&window);
        button->move(10, 10);
        button->OnTopClick = top.Slot();
        button->OnBottomClick = bottom.Slot();
        window.show();
    }
    void TearDown() override {
        if (held)
            Release({5, 5});
    }

    QPoint At(QPoint local) const { return button->mapTo(&window, local); }
    void Press(QPoint local) {
        held = true;
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, At(local));
    }
    void Move(QPoint local) { QTest::mouseMove(window.windowHandle(), At(local)); }
    void Release(QPoint local) {
        held = false;
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, At(local));
    }

    QWidget window;
    TNumSpinButton* button = nullptr;
    EventCounter top, bottom;
    const QPoint topPart{3, 3};
    const QPoint bottomPart{16, 16};
    bool held = false;
};

} // namespace

TEST(NumSpinButton, NewButtonIsTwentyPixelsSquare) {
    TNumSpinButton b;
    EXPECT_EQ(b.size(), QSize(20, 20));
    EXPECT_EQ(b.PressedPart(), NotPressed);
    EXPECT_EQ(b.RepeatTimer(), nullptr);
    b.RepeatTimerTick(); // a tick before any press has nothing to do
    EXPECT_EQ(b.RepeatTimer(), nullptr);
    EXPECT_EQ(b.UpGlyph().size(), QSize(6, 6));
    EXPECT_EQ(b.DownGlyph().size(), QSize(6, 6));
}

TEST(NumSpinButton, BottomPartLiesStrictlyBelowTheDiagonal) {
    TNumSpinButton b;
    EXPECT_EQ(b.PartAt({0, 0}), TopPressed);
    EXPECT_EQ(b.PartAt({19, 19}), BottomPressed);
    EXPECT_EQ(b.PartAt({10, 10}), TopPressed) << "on the diagonal";
    EXPECT_EQ(b.PartAt({10, 11}), BottomPressed);
    EXPECT_EQ(b.PartAt({1, 19}), TopPressed) << "20 - 1 = 19, not strictly below";
    EXPECT_EQ(b.PartAt({2, 19}), BottomPressed);
    EXPECT_EQ(b.PartAt({0, 20}), TopPressed) << "the corner itself lies on the diagonal";
    b.resize(40, 20);
    EXPECT_EQ(b.PartAt({20, 10}), TopPressed);
    EXPECT_EQ(b.PartAt({20, 11}), BottomPressed);
    EXPECT_EQ(b.PartAt({39, 1}), BottomPressed) << "20 - 39 * 20 / 40 = 0.5";
    EXPECT_EQ(b.PartAt({38, 1}), TopPressed) << "20 - 38 * 20 / 40 = 1";
    b.resize(0, 20);
    EXPECT_EQ(b.PartAt({0, 5}), TopPressed) << "no width, no division";
}

TEST_F(ButtonInWindow, HoldingRepeatsAfterFourHundredThenEveryHundred) {
    Press(topPart);
    EXPECT_EQ(top.count, 1) << "the first step at the press";
    EXPECT_EQ(top.lastSender, button);
    EXPECT_EQ(button->PressedPart(), TopPressed);
    EXPECT_EQ(button->LastPressedPart(), TopPressed);
    EXPECT_TRUE(button->Dragging());
    QTimer* timer = button->RepeatTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 400);
    Expire(timer);
    EXPECT_EQ(top.count, 2);
    EXPECT_EQ(timer->interval(), 100);
    Expire(timer);
    Expire(timer);
    EXPECT_EQ(top.count, 4);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_EQ(bottom.count, 0);
}

TEST_F(ButtonInWindow, StepsPauseWhileThePointerIsOffThePressedPart) {
    Press(topPart);
    QTimer* timer = button->RepeatTimer();
    Move(bottomPart);
    EXPECT_EQ(button->PressedPart(), NotPressed);
    Expire(timer);
    EXPECT_EQ(top.count, 1);
    EXPECT_EQ(bottom.count, 0) << "the other part never fires during one press";
    Move(topPart);
    EXPECT_EQ(button->PressedPart(), TopPressed);
    Expire(timer);
    EXPECT_EQ(top.count, 2);
    Move({50, 50});
    EXPECT_EQ(button->PressedPart(), NotPressed);
    Expire(timer);
    EXPECT_EQ(top.count, 2);
    Move({20, 0});
    EXPECT_EQ(button->PressedPart(), TopPressed) << "the edge counts as inside";
    Expire(timer);
    EXPECT_EQ(top.count, 3);
}

TEST_F(ButtonInWindow, ReleaseEndsTheRepeatWithoutStoppingTheTimer) {
    Press(bottomPart);
    EXPECT_EQ(bottom.count, 1);
    EXPECT_EQ(button->PressedPart(), BottomPressed);
    QTimer* timer = button->RepeatTimer();
    Release(bottomPart);
    EXPECT_FALSE(button->Dragging());
    EXPECT_EQ(button->PressedPart(), NotPressed);
    EXPECT_EQ(button->LastPressedPart(), NotPressed);
    EXPECT_TRUE(timer->isActive());
    Expire(timer);
    Expire(timer);
    EXPECT_EQ(bottom.count, 1);
    Press(topPart);
    EXPECT_EQ(top.count, 1);
    EXPECT_EQ(button->RepeatTimer(), timer) << "one timer for the button's life";
    EXPECT_EQ(timer->interval(), 400) << "each press starts from the long delay";
}

TEST_F(ButtonInWindow, ReleaseAwayFromTheButtonLeavesNoPartPressed) {
    Press(topPart);
    // Straight to the button, with no move before it.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(60, 60), QPointF(60, 60),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
    EXPECT_FALSE(button->Dragging());
    EXPECT_EQ(button->PressedPart(), NotPressed);
    Release({60, 60});
    Press(topPart);
    EXPECT_EQ(top.count, 2) << "the next press is not swallowed";
}

TEST_F(ButtonInWindow, AStepThatEndsTheHoldLeavesNoPartPressed) {
    struct ReleasesDuringStep {
        ButtonInWindow* test;
        void Fire(void*) { test->Release(test->topPart); }
    } releaser{this};
    button->OnTopClick = framework::TNotifyEvent(&releaser, &ReleasesDuringStep::Fire);
    Press(topPart);
    EXPECT_EQ(button->PressedPart(), NotPressed);
    EXPECT_EQ(button->LastPressedPart(), NotPressed);
}

TEST_F(ButtonInWindow, AFailingRepeatedStepStopsTheTimer) {
    Press(topPart);
    QTimer* timer = button->RepeatTimer();
    Thrower thrower;
    button->OnTopClick = framework::TNotifyEvent(&thrower, &Thrower::Fire);
    EXPECT_THROW(button->RepeatTimerTick(), std::runtime_error);
    EXPECT_FALSE(timer->isActive());

    Release(topPart);
    button->OnTopClick = top.Slot();
    Press(topPart);
    EXPECT_TRUE(timer->isActive());
    button->OnTopClick = framework::TNotifyEvent(&thrower, &Thrower::Fire);
    Expire(timer); // through the event loop: it must not escape into Qt
    EXPECT_FALSE(timer->isActive());
}

TEST_F(ButtonInWindow, DisabledButtonIgnoresPresses) {
    button->setEnabled(false);
    Press(topPart);
    EXPECT_EQ(top.count, 0);
    EXPECT_EQ(button->PressedPart(), NotPressed);
    EXPECT_EQ(button->RepeatTimer(), nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(topPart), QPointF(topPart), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    EXPECT_EQ(top.count, 0) << "even when the press reaches it";
}

TEST_F(ButtonInWindow, OnlyTheLeftButtonPresses) {
    QTest::mousePress(window.windowHandle(), Qt::RightButton, {}, At(topPart));
    EXPECT_EQ(top.count, 0);
    EXPECT_FALSE(button->Dragging());
    QTest::mouseRelease(window.windowHandle(), Qt::RightButton, {}, At(topPart));
}

TEST_F(ButtonInWindow, PressFocusesTheFocusControl) {
    auto* edit = new QLineEdit(&window);
    edit->move(40, 40);
    edit->show();
    button->SetFocusControl(edit);
    ASSERT_TRUE(testsupport::MakeActive(window));
    Press(topPart);
    EXPECT_TRUE(edit->hasFocus());
    Release(topPart);
    delete edit;
    EXPECT_EQ(button->FocusControl(), nullptr) << "forgotten when destroyed";
    Press(topPart);
    EXPECT_EQ(top.count, 2);
}

TEST(NumSpinButtonInField, ButtonStepsTheField) {
    QWidget window;
    window.resize(200, 100);
    auto* f = new TNumSpinEdit(&window);
    MakeByteField(*f);
    f->setGeometry(10, 10, 61, 40);
    window.show();
    TNumSpinButton* b = f->Button();
    const QPoint up = b->mapTo(&window, QPoint(2, 2));
    const QPoint down = b->mapTo(&window, QPoint(b->width() - 3, b->height() - 3));
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, up);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, up);
    EXPECT_EQ(f->text(), "3");
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, down);
    EXPECT_EQ(f->text(), "2");

    BeepCounter beeps;
    f->setReadOnly(true);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, up);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, down);
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(f->text(), "2");

    f->setReadOnly(false);
    f->SetEditorEnabled(false);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, up);
    EXPECT_EQ(f->text(), "3") << "the buttons step a field whose editor is off";
}

TEST(NumSpinButtonInField, PressOnTheButtonEntersTheFieldWithItsTextSelected) {
    QWidget window;
    window.resize(200, 100);
    auto* f = new TNumSpinEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 60);
    MakeByteField(*f);
    f->SetValue(255);
    f->setGeometry(10, 10, 61, 40);
    window.show();
    ASSERT_TRUE(testsupport::MakeActive(window));
    other->setFocus();
    // The left button is down on the button, not on the field.
    const QPoint up = f->Button()->mapTo(&window, QPoint(2, 2));
    PointTo(window, up);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, up);
    EXPECT_TRUE(f->hasFocus());
    EXPECT_EQ(f->selectedText(), "255") << "the step at the limit left the text alone";
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, up);

    // A click on the field itself places the caret instead.
    other->setFocus();
    const QPoint text = f->mapTo(&window, QPoint(5, f->height() / 2));
    PointTo(window, text);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, text);
    EXPECT_TRUE(f->hasFocus());
    EXPECT_EQ(f->selectedText(), "");
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, text);
}
