// The disconnected look after start, and what the reset restores and what it leaves alone.

#include "AppTestSupport.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

class InitApp : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TTarvenik_Control_Form>(); }

    QList<QLabel*> Readouts() const {
        return {form->Label41, form->Label42, form->Label45,
                form->Label46, form->Label47, form->Label48};
    }
    QList<QLabel*> ValueLabels() const {
        return {form->Pos_Label, form->Label_min, form->Label_max, form->sig_Label};
    }
    QList<QWidget*> ParameterControls() const {
        return {form->SpinEdit35, form->SpinEdit36, form->SpinEdit37,
                form->SpinEdit38, form->SpinEdit39, form->CheckBox2};
    }
    int WhitePixels() const {
        const QImage picture = form->Image->Picture();
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += picture.pixel(x, y) == 0xFFFFFFFFu;
        return n;
    }

    // What a connected poll leaves behind, roughly: everything enabled and filled in, labels
    // moved, a picture drawn, the timer running.
    void LookConnected() {
        form->setWindowTitle("Устройство обнаруженно :)");
        for (QWidget* w : ParameterControls())
            w->setEnabled(true);
        form->GoButton->setEnabled(true);
        form->FuncComboBox->setEnabled(true);
        form->FuncComboBox->setCurrentIndex(5);
        for (QLabel* l : Readouts())
            l->setText("Min значение OS1 = 1.10 В");
        form->Label_min->setText("1.1 В");
        form->Label_min->move(0, 100);
        form->Label_max->setText("2.2 В");
        form->Label_max->move(0, 50);
        form->Pos_Label->setText("120");
        form->Pos_Label->move(249, 256);
        form->sig_Label->setText("0.5 В");
        form->sig_Label->move(489, 200);
        form->Label40->move(488, 10);
        form->Label400->move(8, 10);
        form->CheckBox2->setChecked(true);
        form->SpinEdit35->SetValue(20);
        form->SpinEdit36->SetValue(1.5L);
        form->SpinEdit39->SetValue(100);
        auto* canvas = form->Image->Canvas();
        canvas->Pen.Color = framework::clRed;
        canvas->MoveTo(0, 100);
        canvas->LineTo(470, 20);
        form->Timer->start();
    }

    std::unique_ptr<TTarvenik_Control_Form> form;
};

} // namespace

TEST_F(InitApp, StartsDisconnectedWithOnlyTheConnectBoxUsable) {
    EXPECT_EQ(form->windowTitle(), "Tarvenik. www.mirdal-vk.example ");
    EXPECT_TRUE(form->DoubleBuffered);
    EXPECT_TRUE(form->CheckBox1->isEnabled());
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->CheckBox2->isChecked());
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->FuncComboBox->isEnabled());
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
    for (QWidget* w : ParameterControls())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QLabel* l : Readouts() + ValueLabels())
        EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
    EXPECT_EQ(form->Label40->text(), "4");
    EXPECT_EQ(form->Label400->text(), "4");
    EXPECT_FALSE(form->Timer->isActive());

    ASSERT_TRUE(form->Image->HasBitmap());
    EXPECT_EQ(form->Image->Picture().size(), QSize(470, 255));
    EXPECT_EQ(WhitePixels(), 470 * 255);

    EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(form->Label3->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText),
              form->palette().color(QPalette::WindowText));
}

TEST_F(InitApp, ResetRestoresTheLookButKeepsValuesPlacesTicksAndTimer) {
    form->CheckBox1OnClick = nullptr; // keep the connection out of this
    form->CheckBox1->setChecked(true);
    LookConnected();
    const QPoint labelPlaces[] = {form->Label_min->pos(), form->Label_max->pos(),
                                  form->Pos_Label->pos(), form->sig_Label->pos(),
                                  form->Label40->pos(),   form->Label400->pos()};

    form->init_app();

    EXPECT_EQ(form->windowTitle(), "Tarvenik. www.mirdal-vk.example ");
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->FuncComboBox->isEnabled());
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
    for (QWidget* w : ParameterControls())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QLabel* l : Readouts() + ValueLabels())
        EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
    EXPECT_EQ(WhitePixels(), 470 * 255);

    // left alone
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->CheckBox2->isChecked());
    EXPECT_EQ(form->SpinEdit35->Value(), 20);
    EXPECT_EQ(form->SpinEdit36->Value(), 1.5L);
    EXPECT_EQ(form->SpinEdit39->Value(), 100);
    const QPoint after[] = {form->Label_min->pos(), form->Label_max->pos(), form->Pos_Label->pos(),
                            form->sig_Label->pos(), form->Label40->pos(),   form->Label400->pos()};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(after[i], labelPlaces[i]) << i;
    EXPECT_EQ(form->Label40->text(), "4");
    EXPECT_EQ(form->Label400->text(), "4");
    form->Timer->stop();
}
