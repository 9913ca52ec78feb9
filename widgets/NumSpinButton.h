#pragma once
// TNumSpinButton: the diagonal spin button. A square split along the diagonal
// from bottom-left to top-right; the top part steps up, the bottom part steps
// down, and holding a part repeats the step.

#include "framework/BoundEvent.h"
#include "widgets/NumSpinTypes.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

class QTimer;

class TNumSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TNumSpinButton(QWidget* parent = nullptr);
    ~TNumSpinButton() override;

    static constexpr int FirstRepeatDelayMs = 400;
    static constexpr int RepeatIntervalMs = 100;

    const QImage& UpGlyph() const { return upGlyph_; }
    // A null image brings back the built-in glyph.
    void SetUpGlyph(const QImage& glyph);
    const QImage& DownGlyph() const { return downGlyph_; }
    void SetDownGlyph(const QImage& glyph);

    QWidget* FocusControl() const { return focusControl_; }
    void SetFocusControl(QWidget* control) { focusControl_ = control; }

    framework::TNotifyEvent OnTopClick;
    framework::TNotifyEvent OnBottomClick;

    TNumSpinButtonState PressedPart() const { return pressedPart_; }
    TNumSpinButtonState LastPressedPart() const { return lastPressedPart_; }
    bool Dragging() const { return dragging_; }
    bool NeedsRedraw() const { return needsRedraw_; }

    // The part under a point of the control: bottom strictly below the
    // diagonal, top otherwise.
    TNumSpinButtonState PartAt(QPoint p) const;

    // None until the first press.
    QTimer* RepeatTimer() const { return repeatTimer_.get(); }
    // One tick of the repeat timer; the timer's timeout lands here.
    void RepeatTimerTick();

    // The cached face of a state, rendered when stale.
    const QImage& Face(TNumSpinButtonState state);
    int FaceRenderCount() const { return faceRenders_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Click(TNumSpinButtonState part);
    void SetPressedPart(TNumSpinButtonState part);
    void RenderFacesIfStale();
    void GlyphChanged();

    TNumSpinButtonState pressedPart_ = NotPressed;
    QImage upGlyph_;
    QImage downGlyph_;
    bool dragging_ = false;
    bool needsRedraw_ = true;
    QImage topPressedFace_;
    QImage bottomPressedFace_;
    std::unique_ptr<QTimer> repeatTimer_;
    QImage idleFace_;
    TNumSpinButtonState lastPressedPart_ = NotPressed;
    QPointer<QWidget> focusControl_;
    int faceRenders_ = 0;
};
