#pragma once
// The control window as designed: where every control sits, what it says, its tab order, and the
// settings of the numeric fields, the function list and the poll timer. The window builds itself
// from these tables. Texts a user reads are marked for translation; the Russian is the source.

#include "unit/Parameters.h"
#include "widgets/NumSpinTypes.h"

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <string_view>

namespace design {

inline constexpr int kClientWidth = 509;
inline constexpr int kClientHeight = 425;

inline constexpr const char* kFontFamily = "Tahoma";
inline constexpr int kFontPixelSize = 11; // height -11: 8 points at 96 pixels per inch

// The caption the reset gives the window is "Tarvenik. ", this address and one space.
inline constexpr const char* kMakerAddress = "www.mirdal-vk.example";

inline constexpr int kTimerInterval = 500; // milliseconds
inline constexpr int kFunctionItemHeight = 16;

enum class TKind { Image, Label, Panel, SpinEdit, CheckBox, ComboBox, Button };

struct TControl {
    std::string_view Name;
    TKind Kind;
    int Left, Top, Width, Height;
    const char* Caption; // UTF-8
    int TabOrder;        // -1: takes no part in the tab order
    bool Centred;        // labels: text centred vertically instead of at the top
};

inline constexpr int kNoTab = -1;

// In creation order, which is also the stacking order: the labels lie over the image.
inline constexpr std::array<TControl, 30> kControls{{
    {"Image", TKind::Image, 16, 0, 470, 255, "", kNoTab, false},
    {"Label40", TKind::Label, 488, 8, 9, 13, "4", kNoTab, false},
    {"Label400", TKind::Label, 8, 8, 9, 13, "4", kNoTab, false},
    {"Label6", TKind::Label, 488, 248, 9, 13, "0", kNoTab, false},
    {"Label7", TKind::Label, 8, 248, 9, 13, "0", kNoTab, false},
    {"Label_max", TKind::Label, 0, 40, 17, 13, "", kNoTab, false},
    {"Label_min", TKind::Label, 0, 72, 17, 13, "", kNoTab, false},
    {"sig_Label", TKind::Label, 489, 120, 17, 13, "", kNoTab, false},
    {"Pos_Label", TKind::Label, 28, 256, 17, 13, "", kNoTab, false},
    {"Panel1", TKind::Panel, -3, 272, 525, 2, "", 8, false},
    {"Label1", TKind::Label, 24, 280, 113, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Период опроса"), kNoTab, true},
    {"Label2", TKind::Label, 24, 304, 113, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Порог \"0\", В"), kNoTab, true},
    {"Label3", TKind::Label, 24, 328, 113, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Порог \"1\", B"), kNoTab, true},
    {"Label4", TKind::Label, 24, 352, 113, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Длит сиг OS2"), kNoTab, true},
    {"Label5", TKind::Label, 24, 376, 113, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Задержка сиг OS2"), kNoTab, true},
    {"SpinEdit35", TKind::SpinEdit, 144, 280, 61, 21, "", 1, false},
    {"SpinEdit36", TKind::SpinEdit, 144, 304, 61, 21, "", 2, false},
    {"SpinEdit37", TKind::SpinEdit, 144, 328, 61, 21, "", 3, false},
    {"SpinEdit38", TKind::SpinEdit, 144, 352, 61, 21, "", 4, false},
    {"SpinEdit39", TKind::SpinEdit, 144, 376, 61, 21, "", 5, false},
    {"CheckBox1", TKind::CheckBox, 224, 280, 129, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Подключение"), 0, false},
    {"CheckBox2", TKind::CheckBox, 376, 280, 97, 17,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Делать SS"), 9, false},
    // The readouts' design captions are placeholders; the reset empties them before the window
    // is first shown.
    {"Label41", TKind::Label, 224, 296, 279, 17, "Label41", kNoTab, true},
    {"Label42", TKind::Label, 224, 312, 279, 17, "Label42", kNoTab, true},
    {"Label45", TKind::Label, 224, 328, 279, 17, "Label45", kNoTab, true},
    {"Label46", TKind::Label, 224, 344, 279, 17, "Label46", kNoTab, true},
    {"Label47", TKind::Label, 224, 360, 279, 17, "Label47", kNoTab, true},
    {"Label48", TKind::Label, 224, 376, 279, 17, "Label48", kNoTab, true},
    {"FuncComboBox", TKind::ComboBox, 16, 400, 329, 22, "", 7, false},
    {"GoButton", TKind::Button, 360, 400, 89, 22,
     QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Выполнить"), 6, false},
}};

// The row of the design table for `name`; throws std::out_of_range for a name not in it.
const TControl& Control(std::string_view name);

// The numeric fields' stored settings. A stored field applies them in this order, so the limits
// and the kind are in place before the value is clamped and written.
struct TSpinField {
    std::string_view Name;
    unsigned char Decimal;
    long double Increment;
    long double MaxValue;
    long double MinValue;
    TValueType ValueType;
    long double Value;
};

// One for each parameter, in the order of its table.
constexpr std::array<TSpinField, unit::kParameterCount> SpinFieldsOf() {
    std::array<TSpinField, unit::kParameterCount> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const unit::TParameter& row = unit::kParameters[i];
        TSpinField& field = fields[i];
        field.Name = row.Field;
        field.Decimal = row.Decimals;
        field.Increment = row.Increment;
        field.MaxValue = row.Max;
        field.MinValue = row.Min;
        field.ValueType = row.Kind == unit::TParameterKind::Volts ? vtFloat : vtInteger;
        field.Value = row.DesignValue;
    }
    return fields;
}
inline constexpr std::array<TSpinField, unit::kParameterCount> kSpinFields = SpinFieldsOf();

// The functions the Execute button sends, in command order.
inline constexpr std::array<const char*, 8> kFunctions{{
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Обычная работа"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Считать переменные из eeprom"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Сохранить переменные в eeprom"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Сброс значений оперативных переменных"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Проверка работы индикатора OS1 OS1=0"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Проверка работы индикатора OS1 OS1=1"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Проверка работы выхода OS2 OS2=0"),
    QT_TRANSLATE_NOOP("TTarvenik_Control_Form", "Проверка работы выхода OS2 OS2=1"),
}};

} // namespace design
