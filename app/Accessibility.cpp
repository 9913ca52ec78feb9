// What a screen reader says of the window: each field is named by the label beside it (its
// buddy), the other controls by their texts, and the oscillogram by a name and a description that
// reads the measurements of the polls.

#include "app/Unit1.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace {

// A screen reader would read a description that changes twice a second without a pause.
constexpr qint64 kDescriptionPeriodMs = 1000;

qint64 SteadyMilliseconds() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

void TTarvenik_Control_Form::NameControls() {
    for (const auto& [label, field] : ParameterControls()) {
        (this->*label)->setBuddy(this->*field);
        (this->*field)->setAccessibleName((this->*label)->text());
    }
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{CheckBox1, CheckBox2, GoButton})
        button->setAccessibleName(button->text());
    FuncComboBox->setAccessibleName(tr("Функция"));
    Image->setAccessibleName(tr("Осциллограмма"));
    if (!DescriptionClock)
        DescriptionClock = SteadyMilliseconds;
}

// A screen reader may choose a function by selecting its item in the closed list; the selector
// takes it, as a click on the item would. While the list is open the selection is only the
// highlight, which Enter or a click confirms as before.
void TTarvenik_Control_Form::ConnectFunctionSelection() {
    QAbstractItemView* list = FuncComboBox->view();
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, list] {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        if (!list->isVisible() && FuncComboBox->isEnabled() && rows.size() == 1)
            FuncComboBox->setCurrentIndex(rows.front().row());
    });
}

void TTarvenik_Control_Form::DescribeOscillogram(bool now) {
    const qint64 at = DescriptionClock ? DescriptionClock() : SteadyMilliseconds();
    if (!now && describedAt_ && at - *describedAt_ < kDescriptionPeriodMs)
        return;
    describedAt_ = now ? std::nullopt : std::optional<qint64>(at);
    QStringList parts;
    for (const QLabel* readout : {Label41, Label42, Label45, Label46, Label47, Label48})
        if (!readout->text().isEmpty())
            parts << readout->text();
    Image->setAccessibleDescription(parts.join(QStringLiteral("; ")));
}
