// TNumSpinEdit: building the button, placing it at the field's edge, and
// keeping the text out from under it.

#include "widgets/NumSpinEdit.h"

#include "widgets/NumSpinButton.h"
#include "widgets/NumSpinHooks.h"
#include "widgets/NumUpDown.h"

#include <QEvent>
#include <QFontMetrics>
#include <QRegion>
#include <QStyle>
#include <algorithm>

namespace {

// The sunken edge of a framed field, as wide as the native one: the button
// is placed in the area inside it.
constexpr int kEdgeWidth = 2;
constexpr int kBorderHeight = 1;
constexpr int kWidestDefaultButton = 15;

} // namespace

TSpinButtonKind TNumSpinEdit::EffectiveKind() const {
    return numspin::SystemMajorVersion() < 4 ? bkDiagonal : buttonKind_;
}

void TNumSpinEdit::SetButtonKind(TSpinButtonKind k) {
    buttonKind_ = k;
    if (EffectiveKind() != builtKind_)
        RebuildButton();
}

int TNumSpinEdit::DefaultButtonWidth() const {
    return std::min(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this),
                    kWidestDefaultButton);
}

int TNumSpinEdit::ButtonWidth() const {
    if (upDown_)
        return upDown_->width();
    if (button_)
        return button_->width();
    return DefaultButtonWidth();
}

int TNumSpinEdit::MinimumHeight() const {
    return QFontMetrics(font()).height() + 4 * kBorderHeight + 1;
}

void TNumSpinEdit::RebuildButton() {
    if (destroying_)
        return;
    // Children of the field: deleting one hands it back from Qt's ownership.
    delete holder_.data();
    delete upDown_.data();
    builtKind_ = EffectiveKind();
    if (builtKind_ == bkStandard) {
        upDown_ = new TNumUpDown(this);
        upDown_->setObjectName(QStringLiteral("UpDown"));
        upDown_->SetForcedWidth(DefaultButtonWidth());
        upDown_->OnClick = decltype(upDown_->OnClick)(this, &TNumSpinEdit::UpDownClicked);
        upDown_->show();
    } else {
        holder_ = new QWidget(this);
        holder_->setObjectName(QStringLiteral("ButtonHolder"));
        holder_->setCursor(Qt::ArrowCursor);
        holder_->setGeometry(0, 0, height(), height());
        button_ = new TNumSpinButton(holder_);
        button_->setObjectName(QStringLiteral("Button"));
        button_->setGeometry(holder_->rect());
        button_->SetFocusControl(this);
        button_->OnTopClick = framework::TNotifyEvent(this, &TNumSpinEdit::StepUp);
        button_->OnBottomClick = framework::TNotifyEvent(this, &TNumSpinEdit::StepDown);
        holder_->show();
    }
    PlaceButton();
    UpdateEditRect();
}

void TNumSpinEdit::PlaceButton() {
    const int edge = hasFrame() ? kEdgeWidth : 0;
    const QRect client = rect().adjusted(edge, edge, -edge, -edge);
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    if (upDown_) {
        const int w = DefaultButtonWidth();
        upDown_->SetForcedWidth(w);
        const int left = rightToLeft ? client.left() : client.right() - w + 1;
        upDown_->setGeometry(left, client.top(), w, client.height());
    }
    if (holder_) {
        const int W = width();
        const int H = height();
        const bool sunken = numspin::SystemMajorVersion() >= 4 && hasFrame();
        QRect place; // in the coordinates of the area inside the edge
        if (sunken)
            place = QRect(rightToLeft ? -1 : W - H - 1, -1, H - 3, H - 3);
        else
            place = QRect(rightToLeft ? 0 : W - H, 0, H, H);
        holder_->setGeometry(place.translated(client.topLeft()));
        // Like a native child window, the holder shows only inside the edge.
        holder_->setMask(QRegion(
            client.intersected(holder_->geometry()).translated(-holder_->geometry().topLeft())));
        if (button_)
            button_->setGeometry(holder_->rect());
    }
}

void TNumSpinEdit::UpdateEditRect() {
    const int buttonWidth = ButtonWidth();
    if (layoutDirection() == Qt::RightToLeft)
        setTextMargins(buttonWidth + 1, 0, 1, 0);
    else
        setTextMargins(0, 0, buttonWidth + 2, 0);
}

void TNumSpinEdit::FitToHeight() {
    if (height() < MinimumHeight()) {
        resize(width(), MinimumHeight());
        // The resize comes back here with its own event, unless a maximum
        // height held the field where it is.
        if (height() >= MinimumHeight())
            return;
    }
    PlaceButton();
    UpdateEditRect();
}

void TNumSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    FitToHeight();
}

void TNumSpinEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        FitToHeight();
        break;
    case QEvent::LayoutDirectionChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
        PlaceButton();
        UpdateEditRect();
        break;
    default:
        break;
    }
}

void TNumSpinEdit::UpDownClicked(void* Sender, TUDBtnType button) {
    if ((focusPolicy() & Qt::TabFocus) && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
    if (button == btNext)
        StepUp(Sender);
    else
        StepDown(Sender);
}
