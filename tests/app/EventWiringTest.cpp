// Which handler each event reaches, and where the window appears.

#include "AppTestSupport.h"
#include "app/Placement.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using apptest::Recorder;
using framework::TNotifyEvent;
using Form = TTarvenik_Control_Form;

namespace {

class EventWiring : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<Form>(); }
    std::unique_ptr<Form> form;
    Recorder recorder;
};

} // namespace

TEST_F(EventWiring, EachEventHoldsItsDesignedHandler) {
    EXPECT_TRUE(form->OnCreate == TNotifyEvent(form.get(), &Form::FormCreate));
    EXPECT_TRUE(form->OnDestroy == TNotifyEvent(form.get(), &Form::FormDestroy));
    EXPECT_TRUE(form->CheckBox1OnClick == TNotifyEvent(form.get(), &Form::CheckBox1Click));
    EXPECT_TRUE(form->GoButtonOnClick == TNotifyEvent(form.get(), &Form::GoButtonClick));
    EXPECT_TRUE(form->TimerOnTimer == TNotifyEvent(form.get(), &Form::TimerTimer));
    EXPECT_EQ(form->CheckBox1OnClick.object(), form.get());
}

TEST_F(EventWiring, TickingTheConnectBoxFromCodeClicksItLikeTheUser) {
    form->CheckBox1OnClick = {&recorder, &Recorder::Hit};
    form->CheckBox1->setChecked(true);
    EXPECT_EQ(recorder.calls, 1);
    EXPECT_EQ(recorder.sender, form->CheckBox1);
    form->CheckBox1->setChecked(true); // no change, no click
    EXPECT_EQ(recorder.calls, 1);
    form->CheckBox1->setChecked(false);
    EXPECT_EQ(recorder.calls, 2);

    form->show();
    QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_EQ(recorder.calls, 3);
    form->hide();
}

TEST_F(EventWiring, ExecuteAndTimerReachTheirHandlers) {
    Recorder go, tick;
    form->GoButtonOnClick = {&go, &Recorder::Hit};
    form->TimerOnTimer = {&tick, &Recorder::Hit};

    form->GoButton->click(); // disabled while disconnected: nothing happens
    EXPECT_EQ(go.calls, 0);
    form->GoButton->setEnabled(true);
    form->GoButton->click();
    EXPECT_EQ(go.calls, 1);
    EXPECT_EQ(go.sender, form->GoButton);

    ASSERT_TRUE(QMetaObject::invokeMethod(form->Timer, "timeout"));
    EXPECT_EQ(tick.calls, 1);
    EXPECT_EQ(tick.sender, form->Timer);
}

TEST_F(EventWiring, DestroyingTheWindowRunsItsDestroyHandlerOnce) {
    form->OnDestroy = {&recorder, &Recorder::Hit};
    Recorder late;
    form->CheckBox1OnClick = {&late, &Recorder::Hit};
    Form* raw = form.get();
    form.reset();
    EXPECT_EQ(recorder.calls, 1);
    EXPECT_EQ(recorder.sender, raw);
    EXPECT_EQ(late.calls, 0);
}

TEST(Placement, CentresTheOuterWindowOnTheScreen) {
    EXPECT_EQ(design::CentredTopLeft({0, 0, 1024, 768}, {509, 425}), QPoint(257, 171));
    EXPECT_EQ(design::CentredTopLeft({1920, 0, 1280, 1024}, {515, 454}), QPoint(1920 + 382, 285));
    // larger than the screen: overhangs evenly
    EXPECT_EQ(design::CentredTopLeft({0, 0, 400, 300}, {509, 425}), QPoint(-54, -62));
}

TEST_F(EventWiring, FirstShowCentresTheWindowAndLaterShowsKeepItsPlace) {
    form->show();
    const QRect screen = form->screen()->geometry();
    const QRect frame = form->frameGeometry();
    EXPECT_EQ(frame.topLeft(), design::CentredTopLeft(screen, frame.size()));
    form->hide();
    form->move(frame.topLeft() + QPoint(30, 20));
    form->show();
    EXPECT_EQ(form->frameGeometry().topLeft(), frame.topLeft() + QPoint(30, 20));
    form->hide();
}
