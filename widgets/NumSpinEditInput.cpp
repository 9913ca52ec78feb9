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
#include <memory>

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
    if (!editorEnabled_ && EditsWithoutCharacter(event)) {
        event->accept();
        return;
    }
    // Delete carries a character on some platforms, and Ctrl with a letter is
    // a shortcut; neither types anything.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool shortcut = (modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier);
    if (key != Qt::Key_Delete && !shortcut) {
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
    QLineEdit::focusInEvent(event);
    // A click places the caret itself; any other way in selects the number.
    if (autoSelect_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        selectAll();
}

void TNumSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A menu or another application taking the focus does not leave the field.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    const long double v = Value();
    if (ClampValue(v) != v)
        SetValue(v);
}

void TNumSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!editorEnabled_) {
        static const char* const kEditing[] = {"edit-undo", "edit-redo", "edit-cut", "edit-paste",
                                               "edit-delete"};
        for (QAction* action : menu->actions())
            for (const char* name : kEditing)
                if (action->objectName() == QLatin1String(name))
                    action->setEnabled(false);
    }
    menu->exec(event->globalPos());
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
