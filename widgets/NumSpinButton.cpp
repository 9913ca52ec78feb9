#include "widgets/NumSpinButton.h"

#include "widgets/NumSpinFaces.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int kNewButtonSize = 20;
} // namespace

TNumSpinButton::TNumSpinButton(QWidget* parent)
    : QWidget(parent), upGlyph_(numspin::LoadSpinGlyph("NUMSPINUP")),
      downGlyph_(numspin::LoadSpinGlyph("NUMSPINDOWN")) {
    resize(kNewButtonSize, kNewButtonSize);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TNumSpinButton::~TNumSpinButton() = default;

void TNumSpinButton::SetUpGlyph(const QImage& glyph) {
    upGlyph_ = glyph.isNull() ? numspin::LoadSpinGlyph("NUMSPINUP") : glyph.copy();
    GlyphChanged();
}

void TNumSpinButton::SetDownGlyph(const QImage& glyph) {
    downGlyph_ = glyph.isNull() ? numspin::LoadSpinGlyph("NUMSPINDOWN") : glyph.copy();
    GlyphChanged();
}

void TNumSpinButton::GlyphChanged() {
    needsRedraw_ = true;
    update();
}

TNumSpinButtonState TNumSpinButton::PartAt(QPoint p) const {
    const int W = width();
    const int H = height();
    if (W <= 0)
        return TopPressed;
    const long double diagonal = H - static_cast<long double>(p.x()) * H / W;
    return p.y() > diagonal ? BottomPressed : TopPressed;
}

void TNumSpinButton::SetPressedPart(TNumSpinButtonState part) {
    if (part == pressedPart_)
        return;
    pressedPart_ = part;
    update();
}

void TNumSpinButton::Click(TNumSpinButtonState part) {
    const framework::TNotifyEvent& event = part == BottomPressed ? OnBottomClick : OnTopClick;
    if (!event.assigned())
        return;
    event(this);
    // The step may have opened a dialog that took the button's release.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        pressedPart_ = NotPressed;
}

void TNumSpinButton::mousePressEvent(QMouseEvent* event) {
    // Taken here, so a press never reaches the field behind the button.
    event->accept();
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    QWidget* focus = focusControl_;
    if (focus && (focus->focusPolicy() & Qt::TabFocus) && focus->isEnabled() &&
        focus->isVisible() && !focus->hasFocus())
        focus->setFocus(Qt::MouseFocusReason);
    if (pressedPart_ == NotPressed) {
        lastPressedPart_ = NotPressed;
        pressedPart_ = PartAt(event->position().toPoint());
        Click(pressedPart_);
        if (pressedPart_ != lastPressedPart_) {
            lastPressedPart_ = pressedPart_;
            update();
        }
        if (!repeatTimer_) {
            repeatTimer_ = std::make_unique<QTimer>();
            connect(repeatTimer_.get(), &QTimer::timeout, this, [this] {
                // Qt cannot carry an exception through its event loop; the
                // tick has stopped the timer, so the held step just ends.
                try {
                    RepeatTimerTick();
                } catch (...) {
                }
            });
        }
        repeatTimer_->start(FirstRepeatDelayMs);
    }
    dragging_ = true;
}

void TNumSpinButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_)
        return;
    const QPoint p = event->position().toPoint();
    TNumSpinButtonState next = NotPressed;
    if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height()) {
        const TNumSpinButtonState part = PartAt(p);
        next = pressedPart_;
        if (part != pressedPart_)
            next = lastPressedPart_ == part ? part : NotPressed;
    }
    SetPressedPart(next);
}

void TNumSpinButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_)
        return;
    dragging_ = false;
    const QPoint p = event->position().toPoint();
    if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height()) {
        pressedPart_ = NotPressed;
        lastPressedPart_ = NotPressed;
        update();
    } else {
        // Released away without a move first: still no part stays pressed,
        // or the next press would be swallowed.
        SetPressedPart(NotPressed);
    }
}

void TNumSpinButton::RepeatTimerTick() {
    // Before the first press there is no timer and nothing is held.
    if (!repeatTimer_)
        return;
    repeatTimer_->setInterval(RepeatIntervalMs);
    const bool captured = dragging_ && (QGuiApplication::mouseButtons() & Qt::LeftButton);
    if (pressedPart_ == NotPressed || !captured)
        return;
    try {
        Click(pressedPart_);
    } catch (...) {
        repeatTimer_->stop();
        throw;
    }
}

void TNumSpinButton::RenderFacesIfStale() {
    if (idleFace_.size() == size() && !needsRedraw_)
        return;
    const numspin::TSpinFaceColors colors = numspin::SystemFaceColors(palette());
    idleFace_ = numspin::RenderSpinFace(size(), NotPressed, colors, upGlyph_, downGlyph_);
    topPressedFace_ = numspin::RenderSpinFace(size(), TopPressed, colors, upGlyph_, downGlyph_);
    bottomPressedFace_ =
        numspin::RenderSpinFace(size(), BottomPressed, colors, upGlyph_, downGlyph_);
    needsRedraw_ = false;
    ++faceRenders_;
}

const QImage& TNumSpinButton::Face(TNumSpinButtonState state) {
    RenderFacesIfStale();
    switch (state) {
    case TopPressed:
        return topPressedFace_;
    case BottomPressed:
        return bottomPressedFace_;
    case NotPressed:
        break;
    }
    return idleFace_;
}

void TNumSpinButton::paintEvent(QPaintEvent*) {
    if (!isEnabled())
        dragging_ = false;
    QPainter painter(this);
    painter.drawImage(0, 0, Face(pressedPart_));
}

void TNumSpinButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange) {
        needsRedraw_ = true;
        update();
    }
}
