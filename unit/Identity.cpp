#include "unit/Identity.h"

#include "hid/HidControllerClass.h"

namespace unit {

bool SameText(const QString& text, std::string_view expected) {
    const QByteArray local = text.toLocal8Bit();
    return std::string_view(local.constData(), static_cast<std::size_t>(local.size())) == expected;
}

bool IsTarvenikUnit(THidDevice& device) {
    return SameText(device.GetProductText(), kProductString) &&
           SameText(device.GetManufacturerText(), kManufacturerString);
}

} // namespace unit
