// Every text the window shows fits its control in the window's font, in Russian and in English.

#include "AppTestSupport.h"
#include "app/DesignFont.h"
#include "app/Translation.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>

#include <memory>

namespace {

class TextFit : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TTarvenik_Control_Form>(); }

    // Fits horizontally and in height; reports the width for the record.
    static void ExpectFits(const QLabel* label, const QString& text) {
        const QFontMetrics metrics(label->font());
        const int width = metrics.horizontalAdvance(text);
        EXPECT_LE(width, label->width()) << label->objectName().toStdString() << ": \""
                                         << text.toStdString() << "\" is " << width << " px";
        EXPECT_LE(metrics.height(), label->height()) << label->objectName().toStdString();
    }

    std::unique_ptr<TTarvenik_Control_Form> form;
};

} // namespace

TEST(DesignFontChoice, TahomaFirstThenTheLoadedFileThenACondensedSans) {
    EXPECT_EQ(design::ChooseFamily(true, {}, {}), "Tahoma");
    EXPECT_EQ(design::ChooseFamily(false, {"Tahoma"}, {"DejaVu Sans"}), "Tahoma");
    EXPECT_EQ(design::ChooseFamily(false, {"Wine Tahoma"}, {"DejaVu Sans Condensed"}),
              "DejaVu Sans Condensed");
    EXPECT_EQ(design::ChooseFamily(false, {}, {"Liberation Sans Narrow", "DejaVu Sans"}),
              "Liberation Sans Narrow");
    EXPECT_EQ(design::ChooseFamily(false, {}, {"DejaVu Sans"}), "");
}

TEST_F(TextFit, WindowUsesTahomaAtElevenPixelsWhereAvailable) {
    const QFont font = form->font();
    EXPECT_EQ(font.pixelSize(), 11);
    if (!QFile::exists(design::kWineTahomaFile))
        GTEST_SKIP() << "no Tahoma on this machine";
    EXPECT_EQ(QFontInfo(font).family(), "Tahoma");
    EXPECT_EQ(QFontInfo(form->Label41->font()).family(), "Tahoma");
    EXPECT_EQ(QFontInfo(form->FuncComboBox->font()).family(), "Tahoma");
}

TEST_F(TextFit, DesignedCaptionsFit) {
    for (QLabel* label : {form->Label40, form->Label400, form->Label6, form->Label7, form->Label1,
                          form->Label2, form->Label3, form->Label4, form->Label5})
        ExpectFits(label, label->text());
    for (QWidget* w : std::initializer_list<QWidget*>{form->CheckBox1, form->CheckBox2,
                                                      form->GoButton, form->FuncComboBox})
        EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
    // the combo box measures its longest item; check the widest one directly as well
    const QFontMetrics metrics(form->FuncComboBox->font());
    int widest = 0;
    for (int i = 0; i < form->FuncComboBox->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(form->FuncComboBox->itemText(i)));
    EXPECT_LE(widest + 30, form->FuncComboBox->width()); // room for the frame and the arrow
}

TEST_F(TextFit, ReadoutsFitWithTheirWidestValues) {
    // The widest values at the unit's usual scale of 64 (255 reads 4.38 V) and the widest counts.
    ExpectFits(form->Label41, "Min значение OS1 = 4.38 В");
    ExpectFits(form->Label42, "Max значение OS1 = 4.38 В");
    ExpectFits(form->Label45, "Время импульса OS2 = 255, напряжение OS2 4.38 В");
    ExpectFits(form->Label46, "Время OS1 в сост \"1\" = 255");
    ExpectFits(form->Label47, "Время OS1 в сост \"0\" = 255");
    ExpectFits(form->Label48, "Тек сост OS1 = 255");
}

namespace {

// The same window under an English user's language.
class TextFitEnglish : public TextFit {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            translation::Install(english, QLocale(QLocale::English, QLocale::UnitedStates)));
        TextFit::SetUp();
    }
    void TearDown() override {
        form.reset();
        QCoreApplication::removeTranslator(&english);
    }
    static QString Tr(const char* text) {
        return QCoreApplication::translate("TTarvenik_Control_Form", text);
    }
    QTranslator english;
};

} // namespace

TEST_F(TextFitEnglish, CaptionsFunctionsAndReadoutsFit) {
    ASSERT_EQ(form->CheckBox1->text(), "Connect");
    for (QLabel* label : {form->Label1, form->Label2, form->Label3, form->Label4, form->Label5})
        ExpectFits(label, label->text());
    for (QWidget* w : std::initializer_list<QWidget*>{form->CheckBox1, form->CheckBox2,
                                                      form->GoButton, form->FuncComboBox})
        EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
    const QFontMetrics metrics(form->FuncComboBox->font());
    for (int i = 0; i < form->FuncComboBox->count(); ++i)
        EXPECT_LE(metrics.horizontalAdvance(form->FuncComboBox->itemText(i)) + 30,
                  form->FuncComboBox->width());

    const QString volts = Tr("%1 В").arg("4.38");
    ASSERT_EQ(volts, "4.38 V");
    ExpectFits(form->Label41, Tr("Min значение OS1 = %1").arg(volts));
    ExpectFits(form->Label42, Tr("Max значение OS1 = %1").arg(volts));
    ExpectFits(form->Label45, Tr("Время импульса OS2 = %1, напряжение OS2 %2").arg("255", volts));
    ExpectFits(form->Label46, Tr("Время OS1 в сост \"1\" = %1").arg("255"));
    ExpectFits(form->Label47, Tr("Время OS1 в сост \"0\" = %1").arg("255"));
    ExpectFits(form->Label48, Tr("Тек сост OS1 = %1").arg("255"));
}
