// The window against its design: every control where it belongs, named, captioned, limited and
// in tab order.

#include "AppTestSupport.h"
#include "app/Unit1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Expected {
    const char* name;
    const char* className;
    QRect geometry;
    const char* caption; // nullptr: not a captioned control
    Qt::Alignment vertical;
};

constexpr Qt::Alignment kTop = Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignVCenter;

const std::vector<Expected> kExpected{
    {"Image", "framework::TImage", {16, 0, 470, 255}, nullptr, {}},
    {"Label40", "QLabel", {488, 8, 9, 13}, "4", kTop},
    {"Label400", "QLabel", {8, 8, 9, 13}, "4", kTop},
    {"Label6", "QLabel", {488, 248, 9, 13}, "0", kTop},
    {"Label7", "QLabel", {8, 248, 9, 13}, "0", kTop},
    {"Label_max", "QLabel", {0, 40, 17, 13}, "", kTop},
    {"Label_min", "QLabel", {0, 72, 17, 13}, "", kTop},
    {"sig_Label", "QLabel", {489, 120, 17, 13}, "", kTop},
    {"Pos_Label", "QLabel", {28, 256, 17, 13}, "", kTop},
    {"Panel1", "QFrame", {-3, 272, 525, 2}, nullptr, {}},
    {"Label1", "QLabel", {24, 280, 113, 17}, "Период опроса", kCentre},
    {"Label2", "QLabel", {24, 304, 113, 17}, "Порог \"0\", \u0412", kCentre},
    {"Label3", "QLabel", {24, 328, 113, 17}, "Порог \"1\", B", kCentre},
    {"Label4", "QLabel", {24, 352, 113, 17}, "Длит сиг OS2", kCentre},
    {"Label5", "QLabel", {24, 376, 113, 17}, "Задержка сиг OS2", kCentre},
    {"SpinEdit35", "TNumSpinEdit", {144, 280, 61, 21}, nullptr, {}},
    {"SpinEdit36", "TNumSpinEdit", {144, 304, 61, 21}, nullptr, {}},
    {"SpinEdit37", "TNumSpinEdit", {144, 328, 61, 21}, nullptr, {}},
    {"SpinEdit38", "TNumSpinEdit", {144, 352, 61, 21}, nullptr, {}},
    {"SpinEdit39", "TNumSpinEdit", {144, 376, 61, 21}, nullptr, {}},
    {"CheckBox1", "QCheckBox", {224, 280, 129, 17}, "Подключение", {}},
    {"CheckBox2", "QCheckBox", {376, 280, 97, 17}, "Делать SS", {}},
    {"Label41", "QLabel", {224, 296, 279, 17}, "", kCentre},
    {"Label42", "QLabel", {224, 312, 279, 17}, "", kCentre},
    {"Label45", "QLabel", {224, 328, 279, 17}, "", kCentre},
    {"Label46", "QLabel", {224, 344, 279, 17}, "", kCentre},
    {"Label47", "QLabel", {224, 360, 279, 17}, "", kCentre},
    {"Label48", "QLabel", {224, 376, 279, 17}, "", kCentre},
    {"FuncComboBox", "QComboBox", {16, 400, 329, 22}, nullptr, {}},
    {"GoButton", "QPushButton", {360, 400, 89, 22}, "Выполнить", {}},
};

class WindowLayout : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TTarvenik_Control_Form>(); }
    std::unique_ptr<TTarvenik_Control_Form> form;
};

QString CaptionOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    return {};
}

} // namespace

TEST_F(WindowLayout, IsOneFixedDialogWithoutMinimiseOrMaximise) {
    EXPECT_EQ(form->objectName(), "Tarvenik_Control_Form");
    EXPECT_TRUE(form->isWindow());
    EXPECT_EQ(form->size(), QSize(509, 425));
    EXPECT_EQ(form->minimumSize(), QSize(509, 425));
    EXPECT_EQ(form->maximumSize(), QSize(509, 425));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), form->palette().color(QPalette::Button));
    EXPECT_EQ(form->font().pixelSize(), 11);
}

TEST_F(WindowLayout, EveryControlStandsWhereDesignedWithItsNameAndCaption) {
    int designed = 0;
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        auto* w = form->findChild<QWidget*>(e.name, Qt::FindDirectChildrenOnly);
        ASSERT_NE(w, nullptr);
        ++designed;
        EXPECT_STREQ(w->metaObject()->className(), e.className);
        EXPECT_EQ(w->geometry(), e.geometry);
        EXPECT_TRUE(w->isVisibleTo(form.get()));
        if (e.caption) {
            EXPECT_EQ(CaptionOf(w), QString::fromUtf8(e.caption));
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->alignment() & Qt::AlignVertical_Mask, e.vertical);
            EXPECT_FALSE(label->wordWrap());
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
    }
    EXPECT_EQ(designed, 30);

    // The public members are the designed controls of the same name.
    const std::vector<std::pair<const char*, QObject*>> members{
        {"Image", form->Image},
        {"Label40", form->Label40},
        {"Label400", form->Label400},
        {"Label6", form->Label6},
        {"Label7", form->Label7},
        {"Label_max", form->Label_max},
        {"Label_min", form->Label_min},
        {"sig_Label", form->sig_Label},
        {"Pos_Label", form->Pos_Label},
        {"Panel1", form->Panel1},
        {"Label1", form->Label1},
        {"Label2", form->Label2},
        {"Label3", form->Label3},
        {"Label4", form->Label4},
        {"Label5", form->Label5},
        {"SpinEdit35", form->SpinEdit35},
        {"SpinEdit36", form->SpinEdit36},
        {"SpinEdit37", form->SpinEdit37},
        {"SpinEdit38", form->SpinEdit38},
        {"SpinEdit39", form->SpinEdit39},
        {"CheckBox1", form->CheckBox1},
        {"CheckBox2", form->CheckBox2},
        {"Label41", form->Label41},
        {"Label42", form->Label42},
        {"Label45", form->Label45},
        {"Label46", form->Label46},
        {"Label47", form->Label47},
        {"Label48", form->Label48},
        {"FuncComboBox", form->FuncComboBox},
        {"GoButton", form->GoButton},
        {"Timer", form->Timer}};
    for (auto [name, member] : members) {
        ASSERT_NE(member, nullptr) << name;
        EXPECT_EQ(member->objectName(), name);
        EXPECT_EQ(member->parent(), form.get()) << name;
    }
}

TEST_F(WindowLayout, PanelIsALoweredSeparatorAndTheLabelsLieOverTheImage) {
    EXPECT_EQ(form->Panel1->frameShape(), QFrame::Panel);
    EXPECT_EQ(form->Panel1->frameShadow(), QFrame::Sunken);
    // Label400 and Label_max overlap the image's left edge and must be drawn above it.
    const QObjectList& children = form->children();
    EXPECT_LT(children.indexOf(form->Image), children.indexOf(form->Label400));
    EXPECT_LT(children.indexOf(form->Image), children.indexOf(form->Label_max));
}

TEST_F(WindowLayout, FunctionListIsAFixedDropDownOfEightPlainItems) {
    QComboBox* box = form->FuncComboBox;
    EXPECT_FALSE(box->isEditable());
    const QStringList items{"Обычная работа",
                            "Считать переменные из eeprom",
                            "Сохранить переменные в eeprom",
                            "Сброс значений оперативных переменных",
                            "Проверка работы индикатора OS1 OS1=0",
                            "Проверка работы индикатора OS1 OS1=1",
                            "Проверка работы выхода OS2 OS2=0",
                            "Проверка работы выхода OS2 OS2=1"};
    ASSERT_EQ(box->count(), items.size());
    for (int i = 0; i < box->count(); ++i)
        EXPECT_EQ(box->itemText(i), items[i]);
    EXPECT_EQ(box->currentIndex(), 0);
    for (int i = 0; i < box->count(); ++i)
        EXPECT_EQ(box->view()->sizeHintForRow(i), 16) << i;
    // plain text lines, not the style's menu rows
    EXPECT_STRNE(box->itemDelegate()->metaObject()->className(), "QComboMenuDelegate");
}

TEST_F(WindowLayout, NumericFieldsHoldTheirDesignedKindLimitsAndValues) {
    struct Field {
        TNumSpinEdit* edit;
        TValueType type;
        long double min, max, value, increment;
        const char* text;
    };
    const Field fields[] = {
        {form->SpinEdit35, vtInteger, 1, 255, 1, 1, "1"},
        {form->SpinEdit36, vtFloat, 0.01L, 4, 0.01L, 0.01L, nullptr},
        {form->SpinEdit37, vtFloat, 0.01L, 4, 0.01L, 0.01L, nullptr},
        {form->SpinEdit38, vtInteger, 0, 255, 0, 1, "0"},
        {form->SpinEdit39, vtInteger, 5, 255, 5, 1, "5"},
    };
    const QString hundredth = QLocale().toString(0.01, 'f', 2);
    for (const Field& f : fields) {
        SCOPED_TRACE(f.edit->objectName().toStdString());
        EXPECT_EQ(f.edit->ValueType(), f.type);
        EXPECT_EQ(f.edit->MinValue(), f.min);
        EXPECT_EQ(f.edit->MaxValue(), f.max);
        EXPECT_EQ(f.edit->Increment(), f.increment);
        EXPECT_EQ(f.edit->Value(), f.value);
        EXPECT_EQ(f.edit->text(), f.text ? QString::fromLatin1(f.text) : hundredth);
    }
    EXPECT_EQ(form->SpinEdit35->Decimal(), 1);
    EXPECT_EQ(form->SpinEdit36->Decimal(), 2);
}

TEST_F(WindowLayout, TabOrderRunsAsDesigned) {
    const QStringList expected{"CheckBox1",  "SpinEdit35",   "SpinEdit36",
                               "SpinEdit37", "SpinEdit38",   "SpinEdit39",
                               "GoButton",   "FuncComboBox", "CheckBox2"};
    // Walk the focus chain once round, keeping the designed controls only (a field's own
    // parts may sit between them).
    QStringList seen;
    QWidget* w = form->CheckBox1;
    do {
        if (w->parentWidget() == form.get() && expected.contains(w->objectName()) &&
            !seen.contains(w->objectName()))
            seen << w->objectName();
        w = w->nextInFocusChain();
    } while (w != form->CheckBox1);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(form->focusWidget(), form->CheckBox1);
}

TEST_F(WindowLayout, PollTimerIsSetButStopped) {
    EXPECT_EQ(form->Timer->interval(), 500);
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_FALSE(form->Timer->isSingleShot());
}
