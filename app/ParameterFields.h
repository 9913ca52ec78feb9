#pragma once
// The window's five parameter fields and the unit's block: what a read-back shows in them, and
// what a save writes back. A field the user left as it was loaded writes nothing: its byte goes
// back as the unit's own, at every scale, though the field shows it rounded to 0.01 V.

#include "unit/Block.h"
#include "unit/ParameterTable.h"
#include "unit/Parameters.h"

#include <QString>

#include <array>

class TNumSpinEdit;

namespace parameterfields {

using TFields = std::array<TNumSpinEdit*, unit::kParameterCount>;
using TTexts = std::array<QString, unit::kParameterCount>;

// Shows the block's parameters, the volts at its own scale (each field clamps and rounds them);
// answers the texts the fields show then.
TTexts Load(const TFields& fields, const TDataBlock& readBack);

// The change a save makes: the value of each field whose text is no longer the one it was loaded
// with (`loaded`); the others are left out.
unit::TParameterChange Edited(const TFields& fields, const TTexts& loaded);

} // namespace parameterfields
