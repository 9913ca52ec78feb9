#include "app/ParameterFields.h"

#include "widgets/NumSpin.h"

namespace parameterfields {

TTexts Load(const TFields& fields, const TDataBlock& readBack) {
    const int unitScale = ScaleOf(readBack);
    TTexts texts;
    for (std::size_t i = 0; i < unit::kParameterCount; ++i) {
        const unit::TParameter& row = unit::kParameters[i];
        const std::uint8_t raw = readBack[static_cast<std::size_t>(row.Byte)];
        fields[i]->SetValue(row.Kind == unit::TParameterKind::Volts ? RawToVolts(raw, unitScale)
                                                                    : raw);
        texts[i] = fields[i]->text();
    }
    return texts;
}

unit::TParameterChange Edited(const TFields& fields, const TTexts& loaded) {
    unit::TParameterChange change;
    for (std::size_t i = 0; i < unit::kParameterCount; ++i) {
        const TNumSpinEdit* field = fields[i];
        if (field->text() == loaded[i])
            continue;
        change.Values[i] = unit::kParameters[i].Kind == unit::TParameterKind::Volts
                               ? field->Value()
                               : static_cast<long double>(field->IntegerValue() & 0xFF);
    }
    return change;
}

} // namespace parameterfields
