// TNumSpinEdit: what the user does to the field directly. Keys pass a
// character filter, Up and Down step, Enter and Escape travel on to the
// dialog, and leaving the field brings an out-of-limits text back in.

#include "widgets/NumSpinEdit.h"

#include "widgets/NumSpinHooks.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {

// Editing keys that change the text without typing a character.
bool EditsWithoutCharacter(QKeyEvent* event) {
    static const QKeySequence::StandardKey kEditingKeys[] = {
        QKeySequence::Cut,
        QKeySequence::Paste,
        QKeySequence::Delete,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteCompleteLine,
        QKeySequence::Undo,
        QKeySequence::Redo,
    };
    if (event->key() == Qt::Key_Delete)
        return true;
    for (auto key : kEditingKeys)
        if (event->matches(key))
            return true;
    return false;
}

// The focus goes to a menu or another window and comes back from there
// without the field being left.
bool IsReturnOfFocus(Qt::FocusReason reason) {
    return reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
}

// The line edit's own rule for typing: Ctrl alone or with Shift is a
// shortcut and types nothing, unless the character is a format character
// (a joiner or a direction mark). Any other modifier, the keypad's
// included, leaves the key typing.
bool TypesText(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    if (text.front().category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    return modifiers != Qt::ControlModifier &&
           modifiers != (Qt::ControlModifier | Qt::ShiftModifier);
}

} // namespace

void TNumSpinEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (arrowKeys_ && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        if (key == Qt::Key_Up)
            StepUp(this);
        else
            StepDown(this);
        event->accept();
        return;
    }
    // Backspace is refused like the character it types, whatever the
    // modifiers and whether or not the event carries that character.
    if (!editorEnabled_ && key == Qt::Key_Backspace) {
        numspin::Beep();
        event->accept();
        return;
    }
    if (!editorEnabled_ && EditsWithoutCharacter(event)) {
        event->accept();
        return;
    }
    // Delete carries a character on some platforms and types nothing. Every
    // key the line edit would type passes the filter.
    if (key != Qt::Key_Delete && TypesText(event)) {
        const QString typed = event->text();
        for (QChar c : typed) {
            if (!IsAcceptedChar(c)) {
                numspin::Beep();
                event->accept();
                return;
            }
        }
    }
    // Enter and Escape come back ignored, so the dialog's default and cancel
    // buttons see them; a one-line edit never inserts a line break.
    QLineEdit::keyPressEvent(event);
}

void TNumSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
    for (QChar c : event->commitString()) {
        if (!IsAcceptedChar(c)) {
            numspin::Beep();
            QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
            QLineEdit::inputMethodEvent(&withoutCommit);
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TNumSpinEdit::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    // Coming back from a menu or another window to a field that was never
    // left is no entering. The first focus of a window is.
    if (entered_ && IsReturnOfFocus(reason)) {
        QLineEdit::focusInEvent(event);
        return;
    }
    entered_ = true;
    // A click on the text places the caret itself; any other way in selects
    // the number. Qt hands the focus to the field for a press on its button
    // too, and that press is not on the field.
    const bool overButton =
        (holder_ && holder_->underMouse()) || (upDown_ && upDown_->underMouse());
    const bool clickedOnField = reason == Qt::MouseFocusReason && !overButton &&
                                (QGuiApplication::mouseButtons() & Qt::LeftButton);
    if (autoSelect_ && !clickedOnField)
        selectAll();
    // The line edit selects everything on a tab of its own accord.
    const bool lineEditWouldSelect = reason == Qt::TabFocusReason ||
                                     reason == Qt::BacktabFocusReason ||
                                     reason == Qt::ShortcutFocusReason;
    if (!autoSelect_ && lineEditWouldSelect) {
        QFocusEvent plain(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&plain);
        return;
    }
    QLineEdit::focusInEvent(event);
}

void TNumSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A menu or another window taking the focus does not leave the field.
    if (IsReturnOfFocus(event->reason()))
        return;
    entered_ = false;
    const long double v = Value();
    if (ClampValue(v) != v)
        SetValue(v);
}

void TNumSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    // A child of the field that deletes itself once closed, and goes with
    // the field should the field go first; no nested event loop holds up the
    // caller meanwhile.
    QMenu* menu = nullptr;
    if (editorEnabled_ || isReadOnly()) {
        menu = createStandardContextMenu();
    } else {
        // Built as for a read-only field, the menu offers no undo, redo, cut,
        // paste or delete, whatever names the line edit gives its actions.
        setReadOnly(true);
        menu = createStandardContextMenu();
        setReadOnly(false);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TNumSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection on X11.
    if (event->button() == Qt::MiddleButton && EditBlocked()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TNumSpinEdit::dropEvent(QDropEvent* event) {
    if (EditBlocked()) {
        event->ignore();
        return;
    }
    QLineEdit::dropEvent(event);
}
