#include "framework/Graphic.h"

#include "framework/Exceptions.h"

namespace framework {

void TGraphic::AssignFrom(const TGraphic& Source) {
    AssignError(Source);
}

void TGraphic::AssignError(const TGraphic& Source) const {
    throw EConvertError(
        QStringLiteral("Cannot assign a %1 to a %2").arg(Source.ClassName(), ClassName()));
}

} // namespace framework
