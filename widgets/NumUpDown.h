#pragma once
// TNumUpDown: the standard spin button kind, a pair of arrows drawn by the
// widget style. It reports each arrow press as a scroll to position +1 or -1
// and returns to 0 at once.

#include "framework/BoundEvent.h"
#include "widgets/NumSpinTypes.h"

#include <QWidget>
#include <memory>

class QTimer;

class TNumUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TNumUpDown(QWidget* parent = nullptr);
    ~TNumUpDown() override;

    // The scroll code that carries a new position.
    static constexpr int ThumbPosition = 4;

    framework::TBoundEvent<void(void* Sender, TUDBtnType Button)> OnClick;

    int Position() const { return position_; }
    int Min() const { return -1; }
    int Max() const { return 1; }
    bool InScroll() const { return inScroll_; }

    // Acts on ThumbPosition only, and never re-entered.
    void HandleScroll(int code, int position);

    // The width a resize always comes back to.
    void SetForcedWidth(int width);
    int ForcedWidth() const { return forcedWidth_; }

    // None until the first press; drives the auto-repeat of a held arrow.
    QTimer* RepeatTimer() const { return repeatTimer_.get(); }
    void RepeatTimerTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Press(int direction);

    int position_ = 0;
    bool inScroll_ = false;
    int forcedWidth_ = 0;
    int heldDirection_ = 0;
    std::unique_ptr<QTimer> repeatTimer_;
};
