// TNumSpinEdit: the number held in the text, steps, and the kind of number.
// Keyboard, focus and clipboard live in NumSpinEditInput.cpp; the button's
// construction and the layout in NumSpinEditLayout.cpp.

#include "widgets/NumSpinEdit.h"

#include "widgets/NumSpinHooks.h"
#include "widgets/NumText.h"

namespace {

// Clears the flag on every way out of a step, exceptions included.
class SteppingScope {
public:
    explicit SteppingScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~SteppingScope() { flag_ = false; }
    SteppingScope(const SteppingScope&) = delete;
    SteppingScope& operator=(const SteppingScope&) = delete;

private:
    bool& flag_;
};

} // namespace

TNumSpinEdit::TNumSpinEdit(QWidget* parent) : QLineEdit(parent) {
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
    RebuildButton();
}

TNumSpinEdit::~TNumSpinEdit() {
    // The children go with the edit part; nothing they do on the way may
    // reach the owner's handlers.
    stepping_ = true;
    destroying_ = true;
}

long double TNumSpinEdit::Value() const {
    return numspin::TextToValue(text(), valueType_, minValue_, numspin::DecimalSeparator());
}

void TNumSpinEdit::SetValue(long double v) {
    const auto written =
        numspin::ValueToText(ClampValue(v), valueType_, decimal_, numspin::DecimalSeparator());
    if (written && *written != text())
        setText(*written);
}

int TNumSpinEdit::IntegerValue() const {
    return numspin::TruncToInt32(Value());
}

long double TNumSpinEdit::ClampValue(long double x) const {
    return numspin::ClampToLimits(x, minValue_, maxValue_);
}

void TNumSpinEdit::SetDecimal(unsigned char d) {
    if (d == decimal_)
        return;
    decimal_ = d;
    SetValue(Value());
}

void TNumSpinEdit::SetValueType(TValueType t) {
    if (t == valueType_)
        return;
    valueType_ = t;
    SetValue(Value());
    if (t == vtInteger || t == vtHex) {
        increment_ = numspin::RoundHalfEven(increment_);
        if (increment_ == 0)
            increment_ = 1;
    }
}

void TNumSpinEdit::SetAlignment(TAlignment a) {
    if (a == alignment_)
        return;
    alignment_ = a;
    // Qt mirrors leading and trailing for right-to-left reading by itself.
    switch (a) {
    case taLeftJustify:
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        break;
    case taRightJustify:
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case taCenter:
        setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        break;
    }
}

void TNumSpinEdit::StepUp(void* Sender) {
    Step(increment_, OnTopClick);
}

void TNumSpinEdit::StepDown(void* Sender) {
    Step(-increment_, OnBottomClick);
}

void TNumSpinEdit::Step(long double delta, const framework::TNotifyEvent& after) {
    if (isReadOnly()) {
        numspin::Beep();
        return;
    }
    const QString before = text();
    {
        SteppingScope scope(stepping_);
        SetValue(Value() + delta);
    }
    if (text().compare(before, Qt::CaseInsensitive) != 0) {
        setModified(true);
        OnChange(this);
        emit Changed();
    }
    after(this);
}

void TNumSpinEdit::Change() {
    if (stepping_)
        return;
    OnChange(this);
    emit Changed();
}

bool TNumSpinEdit::IsAcceptedChar(QChar key) const {
    return numspin::IsAcceptedChar(key, valueType_, text(), numspin::DecimalSeparator(),
                                   editorEnabled_);
}
