// The field under the keyboard, the clipboard and the focus.

#include "WidgetTestSupport.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

// A dialog with a default button and a cancel path, holding one field.
struct DialogWithField {
    QDialog dialog;
    TNumSpinEdit* field = new TNumSpinEdit(&dialog);
    QPushButton* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    DialogWithField() {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(field);
        layout->addWidget(ok);
        ok->setDefault(true);
        dialog.show();
    }
};

} // namespace

TEST(NumSpinEditInput, RefusedCharactersBeepAndAreDropped) {
    BeepCounter beeps;
    TNumSpinEdit f;
    f.clear();
    QTest::keyClicks(&f, "1a2 .x-");
    EXPECT_EQ(f.text(), "12-") << "a minus is accepted anywhere";
    EXPECT_EQ(beeps.count, 4);
    EXPECT_EQ(f.Value(), 0.0L) << "and a text it spoils reads as the fallback";
}

TEST(NumSpinEditInput, FixedPointFieldTakesOneSeparatorAndOneExponent) {
    for (const char* locale : {"en_US", "ru_RU"}) {
        LocaleScope scope(locale);
        const char sep = QLocale().decimalPoint() == "," ? ',' : '.';
        const char other = sep == ',' ? '.' : ',';
        BeepCounter beeps;
        TNumSpinEdit f;
        f.SetValueType(vtFloat);
        f.clear();
        const char typed[] = {'1', sep, '5', sep, other, 'e', 'E', '-', '2', 0};
        QTest::keyClicks(&f, typed);
        const QString expected =
            QStringLiteral("1") + QChar::fromLatin1(sep) + QStringLiteral("5e-2");
        EXPECT_EQ(f.text(), expected) << locale;
        EXPECT_EQ(beeps.count, 3) << locale;
        EXPECT_EQ(f.Value(), 0.015L) << locale;
    }
}

TEST(NumSpinEditInput, HexFieldTakesHexDigits) {
    BeepCounter beeps;
    TNumSpinEdit f;
    f.SetValueType(vtHex);
    f.clear();
    QTest::keyClicks(&f, "aFgZ9");
    EXPECT_EQ(f.text(), "aF9");
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(f.Value(), 0xAF9);
}

TEST(NumSpinEditInput, NonAsciiCharactersAreRefused) {
    BeepCounter beeps;
    TNumSpinEdit f;
    f.clear();
    for (char16_t c : {u'\u0661', u'\uFF11', u'\u0436'}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(&f, &press);
    }
    EXPECT_EQ(f.text(), "");
    EXPECT_EQ(beeps.count, 3);
}

TEST(NumSpinEditInput, UpAndDownKeysStep) {
    TNumSpinEdit f;
    MakeByteField(f);
    EventCounter top, bottom;
    f.OnTopClick = top.Slot();
    f.OnBottomClick = bottom.Slot();
    QTest::keyClick(&f, Qt::Key_Up);
    QTest::keyClick(&f, Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(f.text(), "3");
    QTest::keyClick(&f, Qt::Key_Down);
    EXPECT_EQ(f.text(), "2");
    EXPECT_EQ(top.count, 2);
    EXPECT_EQ(bottom.count, 1);
    EXPECT_EQ(top.lastSender, &f);
    // A held key: every repeated key-down steps.
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&f, &repeat);
    }
    EXPECT_EQ(f.text(), "5");
    f.SetArrowKeys(false);
    QTest::keyClick(&f, Qt::Key_Up);
    EXPECT_EQ(f.text(), "5");
}

TEST(NumSpinEditInput, PagingKeysAndTheWheelLeaveTheValueAlone) {
    TNumSpinEdit f;
    MakeByteField(f);
    f.SetValue(10);
    for (auto key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
        QTest::keyClick(&f, key);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&f, &wheel);
    EXPECT_EQ(f.text(), "10");
}

TEST(NumSpinEditInput, EnterAndEscapeReachTheDialog) {
    DialogWithField d;
    d.field->SetValue(42);
    QSignalSpy clicked(d.ok, &QPushButton::clicked);
    QSignalSpy rejected(&d.dialog, &QDialog::rejected);
    QTest::keyClick(d.field, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(d.field->text(), "42") << "no line break";
    d.dialog.show();
    QTest::keyClick(d.field, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
}

TEST(NumSpinEditInput, DisabledEditorStillStepsAndRoutesDialogKeys) {
    BeepCounter beeps;
    DialogWithField d;
    TNumSpinEdit& f = *d.field;
    f.SetValue(42);
    f.SetEditorEnabled(false);
    f.selectAll();
    QTest::keyClicks(&f, "7-");
    QTest::keyClick(&f, Qt::Key_Backspace);
    EXPECT_EQ(f.text(), "42");
    EXPECT_EQ(beeps.count, 3);
    QTest::keyClick(&f, Qt::Key_Delete);
    f.setCursorPosition(0);
    QTest::keyClick(&f, Qt::Key_Delete);
    EXPECT_EQ(f.text(), "42") << "Delete changes the text no more than typing";
    // Backspace in every form: with Ctrl and Shift it would take a word, and
    // without its character it would still take one.
    f.end(false);
    for (Qt::KeyboardModifiers modifiers :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::KeyboardModifiers(Qt::NoModifier)}) {
        QKeyEvent bare(QEvent::KeyPress, Qt::Key_Backspace, modifiers, QString());
        QApplication::sendEvent(&f, &bare);
    }
    EXPECT_EQ(f.text(), "42");
    EXPECT_EQ(beeps.count, 5);
    QTest::keyClick(&f, Qt::Key_Up);
    EXPECT_EQ(f.text(), "43");
    QSignalSpy clicked(d.ok, &QPushButton::clicked);
    QTest::keyClick(&f, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(NumSpinEditInput, CutAndPasteOnlyWhileEditable) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    TNumSpinEdit f;
    f.SetValue(42);
    clipboard->setText(QStringLiteral("abc"));
    f.SetEditorEnabled(false);
    f.selectAll();
    QTest::keySequence(&f, QKeySequence::Paste);
    QTest::keySequence(&f, QKeySequence::Cut);
    EXPECT_EQ(f.text(), "42");
    EXPECT_EQ(clipboard->text(), "abc");

    f.SetEditorEnabled(true);
    f.setReadOnly(true);
    f.selectAll();
    QTest::keySequence(&f, QKeySequence::Paste);
    QTest::keySequence(&f, QKeySequence::Cut);
    EXPECT_EQ(f.text(), "42");

    f.setReadOnly(false);
    f.selectAll();
    QTest::keySequence(&f, QKeySequence::Cut);
    EXPECT_EQ(f.text(), "");
    EXPECT_EQ(clipboard->text(), "42");
    clipboard->setText(QStringLiteral("x1"));
    QTest::keySequence(&f, QKeySequence::Paste);
    EXPECT_EQ(f.text(), "x1") << "pasted text is not filtered";
    EXPECT_EQ(f.Value(), 1.0L) << "x1 is hexadecimal";
}

TEST(NumSpinEditInput, ContextMenuOffersNoEditingWhileTheEditorIsOff) {
    QWidget window;
    QPointer<TNumSpinEdit> f = new TNumSpinEdit(&window);
    window.show();
    f->SetValue(42);
    f->selectAll();
    auto menuFor = [&](bool editorEnabled) {
        f->SetEditorEnabled(editorEnabled);
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                                  f->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(f, &request);
        QMenu* menu = f->findChild<QMenu*>();
        return menu && menu->isVisible() ? menu : nullptr;
    };
    // Whether the menu offers the line edit's action of this caption.
    auto offers = [](QMenu* menu, const char* caption) {
        for (QAction* action : menu->actions())
            if (action->text().startsWith(QLineEdit::tr(caption)))
                return action->isEnabled();
        return false;
    };
    QMenu* open = menuFor(true);
    ASSERT_NE(open, nullptr) << "the menu opens without holding up the caller";
    EXPECT_TRUE(offers(open, "Cu&t"));
    QPointer<QMenu> closed = open;
    open->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "a closed menu goes away";

    open = menuFor(false);
    ASSERT_NE(open, nullptr);
    for (const char* caption : {"&Undo", "&Redo", "Cu&t", "&Paste", "Delete"})
        EXPECT_FALSE(offers(open, caption)) << caption;
    EXPECT_TRUE(offers(open, "&Copy"));
    EXPECT_FALSE(f->isReadOnly());
    // The field may go while its menu is open; the menu goes with it.
    delete f.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.findChild<QMenu*>(), nullptr);
}

TEST(NumSpinEditInput, LeavingClampsOnlyAnOutOfLimitsValue) {
    TNumSpinEdit f;
    MakeByteField(f);
    f.setText("300");
    EXPECT_EQ(f.Value(), 300.0L);
    SendFocus(&f, QEvent::FocusOut);
    EXPECT_EQ(f.text(), "255");

    f.setText("");
    EXPECT_EQ(f.Value(), 1.0L);
    SendFocus(&f, QEvent::FocusOut);
    EXPECT_EQ(f.text(), "") << "the fallback lies within the limits";

    f.setText("007");
    SendFocus(&f, QEvent::FocusOut);
    EXPECT_EQ(f.text(), "007") << "a text within the limits stays as typed";

    f.setText("-5");
    SendFocus(&f, QEvent::FocusOut, Qt::PopupFocusReason);
    EXPECT_EQ(f.text(), "-5") << "a menu does not take the field's focus away";
    SendFocus(&f, QEvent::FocusOut, Qt::MouseFocusReason);
    EXPECT_EQ(f.text(), "1");
}

TEST(NumSpinEditInput, LoneSeparatorReadsZeroAndLeavesAsTheMinimum) {
    LocaleScope scope("ru_RU");
    TNumSpinEdit f;
    MakeVoltField(f);
    f.clear();
    QTest::keyClicks(&f, ",");
    EXPECT_EQ(f.Value(), 0.0L);
    SendFocus(&f, QEvent::FocusOut);
    EXPECT_EQ(f.text(), "0,01");
}

TEST(NumSpinEditInput, EnteringSelectsTheText) {
    TNumSpinEdit f;
    f.SetValue(123);
    f.deselect();
    SendFocus(&f, QEvent::FocusIn, Qt::OtherFocusReason);
    EXPECT_EQ(f.selectedText(), "123");
    f.deselect();
    // Coming back from a menu or another window is no entering.
    SendFocus(&f, QEvent::FocusOut, Qt::PopupFocusReason);
    SendFocus(&f, QEvent::FocusIn, Qt::PopupFocusReason);
    SendFocus(&f, QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    SendFocus(&f, QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(f.selectedText(), "");
    // The first focus of a window enters the field it lands on.
    SendFocus(&f, QEvent::FocusOut, Qt::TabFocusReason);
    SendFocus(&f, QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(f.selectedText(), "123");
    f.deselect();
    SendFocus(&f, QEvent::FocusOut, Qt::TabFocusReason);
    SendFocus(&f, QEvent::FocusIn, Qt::TabFocusReason);
    EXPECT_EQ(f.selectedText(), "123");
    f.deselect();
    f.SetAutoSelect(false);
    SendFocus(&f, QEvent::FocusIn, Qt::OtherFocusReason);
    SendFocus(&f, QEvent::FocusIn, Qt::TabFocusReason);
    EXPECT_EQ(f.selectedText(), "") << "not even when tabbed into";
}

TEST(NumSpinEditInput, OnlyKeysThatTypeNothingSkipTheFilter) {
    BeepCounter beeps;
    TNumSpinEdit f;
    f.SetValue(12);
    // The line edit types these, so they must pass the filter like any other.
    for (auto modifiers :
         {Qt::ControlModifier | Qt::KeypadModifier, Qt::ControlModifier | Qt::MetaModifier}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Asterisk, modifiers, QStringLiteral("*"));
        QApplication::sendEvent(&f, &press);
    }
    QKeyEvent joiner(QEvent::KeyPress, 0, Qt::ControlModifier | Qt::ShiftModifier,
                     QString(QChar(0x200C)));
    QApplication::sendEvent(&f, &joiner);
    EXPECT_EQ(f.text(), "12");
    EXPECT_EQ(beeps.count, 3);
    // Ctrl alone is a shortcut: select all, then copy, without a beep.
    QTest::keyClick(&f, Qt::Key_A, Qt::ControlModifier);
    QTest::keySequence(&f, QKeySequence::Copy);
    EXPECT_EQ(f.selectedText(), "12");
    EXPECT_EQ(beeps.count, 3);
}
