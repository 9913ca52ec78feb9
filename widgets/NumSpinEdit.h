#pragma once
// TNumSpinEdit: a one-line field holding one integer, fixed-point or
// hexadecimal number within optional limits, with a spin button at its edge.
// The text is the only store of the number: reading Value parses it, writing
// Value clamps and rewrites it.

#include "framework/BoundEvent.h"
#include "widgets/NumSpinButton.h"
#include "widgets/NumSpinTypes.h"
#include "widgets/NumUpDown.h"

#include <QLineEdit>
#include <QPointer>

class TNumSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumSpinEdit(QWidget* parent = nullptr);
    ~TNumSpinEdit() override;

    long double Value() const;
    void SetValue(long double v);
    int IntegerValue() const;

    long double MinValue() const { return minValue_; }
    void SetMinValue(long double v) { minValue_ = v; }
    long double MaxValue() const { return maxValue_; }
    void SetMaxValue(long double v) { maxValue_ = v; }
    long double Increment() const { return increment_; }
    void SetIncrement(long double v) { increment_ = v; }
    unsigned char Decimal() const { return decimal_; }
    void SetDecimal(unsigned char d);
    TValueType ValueType() const { return valueType_; }
    void SetValueType(TValueType t);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    bool ArrowKeys() const { return arrowKeys_; }
    void SetArrowKeys(bool on) { arrowKeys_ = on; }
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool on) { editorEnabled_ = on; }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool on) { autoSelect_ = on; }
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }
    bool Stepping() const { return stepping_; }
    void SetStepping(bool on) { stepping_ = on; }
    TSpinButtonKind ButtonKind() const { return buttonKind_; }
    void SetButtonKind(TSpinButtonKind k);

    long double ClampValue(long double x) const;

    // The steps the buttons and the Up/Down keys take; a derived field may
    // replace them.
    virtual void StepUp(void* Sender);
    virtual void StepDown(void* Sender);
    // Whether a typed character may enter the text.
    virtual bool IsAcceptedChar(QChar key) const;

    framework::TNotifyEvent OnChange;
    framework::TNotifyEvent OnTopClick;
    framework::TNotifyEvent OnBottomClick;

    // Layout: the button sits in the last ButtonWidth pixels of the field.
    int DefaultButtonWidth() const;
    int ButtonWidth() const;
    int MinimumHeight() const;

    TNumSpinButton* Button() const { return button_; }
    QWidget* ButtonHolder() const { return holder_; }
    TNumUpDown* UpDown() const { return upDown_; }

    void RebuildButton();
    void PlaceButton();
    void UpdateEditRect();

signals:
    // Raised together with OnChange.
    void Changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Change();
    // Raises a field below MinimumHeight, else places the button and the
    // text for the present size.
    void FitToHeight();
    void Step(long double delta, const framework::TNotifyEvent& after);
    void UpDownClicked(void* Sender, TUDBtnType button);
    TSpinButtonKind EffectiveKind() const;
    bool EditBlocked() const { return !editorEnabled_ || isReadOnly(); }

    TAlignment alignment_ = taLeftJustify;
    long double minValue_ = 0;
    long double maxValue_ = 0;
    long double increment_ = 1.0L;
    unsigned char decimal_ = 2;
    bool stepping_ = false;
    bool editorEnabled_ = true;
    bool arrowKeys_ = true;
    bool autoSelect_ = true;
    TValueType valueType_ = vtInteger;
    TSpinButtonKind buttonKind_ = bkDiagonal;
    TSpinButtonKind builtKind_ = bkDiagonal;
    bool destroying_ = false;
    // Entered and not left since; the focus may go to a menu or another
    // window and come back meanwhile.
    bool entered_ = false;
    QPointer<TNumSpinButton> button_;
    QPointer<QWidget> holder_;
    QPointer<TNumUpDown> upDown_;
};
