#include "hid/DeviceLocation.h"

#include "hid/Hid.h"

#include <algorithm>
#include <array>

namespace hidlocation {

QString DeviceLocation(HANDLE mainHandle, uint32_t /*devInst*/) {
    if (Hid::DevNodeGetLocationString == nullptr)
        return {};
    std::array<char16_t, 256> buffer{};
    if (Hid::DevNodeGetLocationString(mainHandle, buffer.data(),
                                      static_cast<ULONG>(sizeof buffer)) == 0)
        return {};
    const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
    return QString::fromUtf16(buffer.data(), end - buffer.begin());
}

} // namespace hidlocation
