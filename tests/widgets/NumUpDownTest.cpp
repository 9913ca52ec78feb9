// The standard kind: scroll reports, re-entrancy, width, and the field's
// handler.

#include "WidgetTestSupport.h"
#include "tests/support/ActiveWindow.h"

#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

using namespace widgettest;

namespace {

struct ClickLog {
    std::vector<TUDBtnType> clicks;
    TNumUpDown* reenter = nullptr;
    bool fail = false;
    void Fire(void*, TUDBtnType button) {
        clicks.push_back(button);
        if (reenter)
            reenter->HandleScroll(TNumUpDown::ThumbPosition, 1);
        if (fail)
            throw std::runtime_error("click failed");
    }
    decltype(TNumUpDown::OnClick) Slot() { return {this, &ClickLog::Fire}; }
};

void PressAt(QWidget* w, QPoint p, QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(NumUpDown, StartsVerticalAtZeroWithinMinusOneToOne) {
    TNumUpDown u;
    EXPECT_EQ(u.Position(), 0);
    EXPECT_EQ(u.Min(), -1);
    EXPECT_EQ(u.Max(), 1);
    EXPECT_FALSE(u.InScroll());
    u.RepeatTimerTick(); // a tick before any press has nothing to do
    EXPECT_EQ(u.Position(), 0);
}

TEST(NumUpDown, OnlyThumbPositionReportsClick) {
    TNumUpDown u;
    ClickLog log;
    u.OnClick = log.Slot();
    u.HandleScroll(TNumUpDown::ThumbPosition, 1);
    u.HandleScroll(TNumUpDown::ThumbPosition, -1);
    u.HandleScroll(TNumUpDown::ThumbPosition, 0);
    for (int code : {0, 1, 5, 8})
        u.HandleScroll(code, 1);
    EXPECT_EQ(log.clicks, (std::vector<TUDBtnType>{btNext, btPrev}));
    EXPECT_EQ(u.Position(), 0);
}

TEST(NumUpDown, ScrollIsNotReentered) {
    TNumUpDown u;
    ClickLog log;
    log.reenter = &u;
    u.OnClick = log.Slot();
    u.HandleScroll(TNumUpDown::ThumbPosition, 1);
    EXPECT_EQ(log.clicks.size(), 1u);
    EXPECT_FALSE(u.InScroll());
    log.fail = true;
    EXPECT_THROW(u.HandleScroll(TNumUpDown::ThumbPosition, -1), std::runtime_error);
    EXPECT_FALSE(u.InScroll()) << "cleared when the click throws";
    log.fail = false;
    u.HandleScroll(TNumUpDown::ThumbPosition, -1);
    EXPECT_EQ(log.clicks.size(), 3u);
}

TEST(NumUpDown, ArrowPressesAndRepeat) {
    TNumUpDown u;
    u.resize(15, 20);
    ClickLog log;
    u.OnClick = log.Slot();
    PressAt(&u, {7, 3});
    ASSERT_NE(u.RepeatTimer(), nullptr);
    EXPECT_EQ(u.RepeatTimer()->interval(), 400);
    Expire(u.RepeatTimer());
    EXPECT_EQ(u.RepeatTimer()->interval(), 100);
    PressAt(&u, {7, 3}, QEvent::MouseButtonRelease);
    EXPECT_FALSE(u.RepeatTimer()->isActive());
    PressAt(&u, {7, 17});
    PressAt(&u, {7, 17}, QEvent::MouseButtonRelease);
    EXPECT_EQ(log.clicks, (std::vector<TUDBtnType>{btNext, btNext, btPrev}));
    EXPECT_EQ(u.Position(), 0);
}

TEST(NumUpDown, WidthIsForced) {
    TNumUpDown u;
    u.SetForcedWidth(13);
    u.resize(50, 20);
    EXPECT_EQ(u.size(), QSize(13, 20));
    u.grab(); // paints with the style without failing
}

TEST(NumUpDown, FieldStepsAndTakesTheFocus) {
    QWidget window;
    auto* f = new TNumSpinEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 60);
    MakeByteField(*f);
    f->SetButtonKind(bkStandard);
    f->setGeometry(0, 0, 61, 40);
    window.show();
    ASSERT_TRUE(testsupport::MakeActive(window));
    other->setFocus();
    ASSERT_TRUE(other->hasFocus());
    EventCounter top;
    f->OnTopClick = top.Slot();
    f->UpDown()->HandleScroll(TNumUpDown::ThumbPosition, 1);
    EXPECT_EQ(f->text(), "2");
    EXPECT_EQ(top.count, 1);
    EXPECT_TRUE(f->hasFocus());
    f->UpDown()->HandleScroll(TNumUpDown::ThumbPosition, -1);
    f->UpDown()->HandleScroll(TNumUpDown::ThumbPosition, -1);
    EXPECT_EQ(f->text(), "1");

    // The left button held on the down arrow is not down on the field: the
    // field is entered with its text selected.
    other->setFocus();
    const QPoint down = f->UpDown()->mapTo(&window, QPoint(3, f->UpDown()->height() - 3));
    PointTo(window, down);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, down);
    EXPECT_TRUE(f->hasFocus());
    EXPECT_EQ(f->selectedText(), "1");
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, down);
}
