#include "widgets/NumUpDown.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kFirstRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 100;
// The field narrows it to its DefaultButtonWidth when it places it.
constexpr int kWidestDefaultWidth = 15;

class InScrollScope {
public:
    explicit InScrollScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~InScrollScope() { flag_ = false; }
    InScrollScope(const InScrollScope&) = delete;
    InScrollScope& operator=(const InScrollScope&) = delete;

private:
    bool& flag_;
};

} // namespace

TNumUpDown::TNumUpDown(QWidget* parent) : QWidget(parent) {
    SetForcedWidth(kWidestDefaultWidth);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

TNumUpDown::~TNumUpDown() = default;

void TNumUpDown::SetForcedWidth(int width) {
    forcedWidth_ = width;
    // A fixed width: every later resize keeps it, shown or not.
    setFixedWidth(width);
}

void TNumUpDown::HandleScroll(int code, int position) {
    if (code != ThumbPosition || inScroll_)
        return;
    InScrollScope scope(inScroll_);
    if (position > 0)
        OnClick(this, btNext);
    else if (position < 0)
        OnClick(this, btPrev);
    position_ = 0;
}

void TNumUpDown::Press(int direction) {
    position_ = std::clamp(position_ + direction, Min(), Max());
    HandleScroll(ThumbPosition, position_);
}

void TNumUpDown::RepeatTimerTick() {
    // Before the first press there is no timer and nothing is held.
    if (!repeatTimer_)
        return;
    repeatTimer_->setInterval(kRepeatIntervalMs);
    if (heldDirection_ != 0)
        Press(heldDirection_);
}

void TNumUpDown::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    heldDirection_ = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
    if (!repeatTimer_) {
        repeatTimer_ = std::make_unique<QTimer>();
        connect(repeatTimer_.get(), &QTimer::timeout, this, [this] {
            try {
                RepeatTimerTick();
            } catch (...) {
                repeatTimer_->stop();
            }
        });
    }
    repeatTimer_->start(kFirstRepeatDelayMs);
    Press(heldDirection_);
}

void TNumUpDown::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    heldDirection_ = 0;
    if (repeatTimer_)
        repeatTimer_->stop();
    update();
}

void TNumUpDown::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int half = height() / 2;
    const QRect parts[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const int direction = i == 0 ? 1 : -1;
        QStyleOption option;
        option.initFrom(this);
        option.rect = parts[i];
        option.state |= heldDirection_ == direction ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);
        option.rect = parts[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &option, &painter, this);
    }
}
