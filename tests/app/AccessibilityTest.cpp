// What a screen reader and a keyboard user get: named fields and controls, a Tab order through
// every control, and an oscillogram described by the measurements, at most once a second.

#include "PanelTestSupport.h"

#include <QTest>

using namespace paneltest;

TEST_F(PanelTest, EveryFieldIsNamedByItsLabelAndEveryControlHasAName) {
    const std::pair<QLabel*, QWidget*> fields[] = {{form->Label1, form->SpinEdit35},
                                                   {form->Label2, form->SpinEdit36},
                                                   {form->Label3, form->SpinEdit37},
                                                   {form->Label4, form->SpinEdit38},
                                                   {form->Label5, form->SpinEdit39}};
    for (const auto& [label, field] : fields) {
        EXPECT_EQ(label->buddy(), field) << label->objectName().toStdString();
        EXPECT_EQ(field->accessibleName(), label->text());
    }
    EXPECT_EQ(form->CheckBox1->accessibleName(), "Подключение");
    EXPECT_EQ(form->GoButton->accessibleName(), "Выполнить");
    for (QWidget* w :
         std::initializer_list<QWidget*>{form->CheckBox2, form->FuncComboBox, form->Image})
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
}

TEST_F(PanelTest, TabReachesEveryControlAndTheKeyboardWorksThem) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    SetFixedBlock(QuietBlock());
    QTest::keyClick(form->CheckBox1, Qt::Key_Space); // connects, as a click does
    ASSERT_TRUE(form->CheckBox1->isChecked());
    Poll(); // the controls are enabled now
    form->CheckBox1->setFocus();

    // In the designed order, around to the connect box again.
    const QList<QWidget*> order{form->SpinEdit35,   form->SpinEdit36, form->SpinEdit37,
                                form->SpinEdit38,   form->SpinEdit39, form->GoButton,
                                form->FuncComboBox, form->CheckBox2,  form->CheckBox1};
    for (QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }

    QTest::keyClick(form->FuncComboBox, Qt::Key_Down);
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 1);
    QTest::keyClick(form->FuncComboBox, Qt::Key_Up);
    form->SpinEdit38->setFocus();
    form->SpinEdit38->selectAll();
    QTest::keyClicks(form->SpinEdit38, "7");
    QTest::keyClick(form->SpinEdit38, Qt::Key_Up); // the arrow steps the field
    EXPECT_EQ(form->SpinEdit38->IntegerValue(), 8);
    QTest::keyClick(form->CheckBox2, Qt::Key_Space);
    EXPECT_TRUE(form->CheckBox2->isChecked());

    Unit().ClearLog();
    QTest::keyClick(form->GoButton, Qt::Key_Space); // Execute: normal operation is sent
    Settle();
    EXPECT_FALSE(ExchangeLog().empty());
}

TEST_F(PanelTest, TheOscillogramIsDescribedByTheMeasurementsAtMostOnceASecond) {
    qint64 now = 0;
    form->DescriptionClock = [&now] { return now; };
    TDataBlock block = QuietBlock();
    block[block::kOs1State] = 1;
    SetFixedBlock(block);
    Connect();
    Poll();
    const QString first = form->Image->accessibleDescription();
    EXPECT_TRUE(first.contains(form->Label41->text())) << first.toStdString();
    EXPECT_TRUE(first.contains("Тек сост OS1 = 1")) << first.toStdString();

    block[block::kOs1State] = 0;
    SetFixedBlock(block);
    now = 500;
    Poll();
    EXPECT_EQ(form->Image->accessibleDescription(), first); // half a second: not yet
    now = 1000;
    Poll();
    EXPECT_TRUE(form->Image->accessibleDescription().contains("Тек сост OS1 = 0"));

    form->CheckBox1->setChecked(false); // the reset: nothing measured to read out
    EXPECT_TRUE(form->Image->accessibleDescription().isEmpty());
}
