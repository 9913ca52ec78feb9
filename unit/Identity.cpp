#include "unit/Identity.h"

#include "hid/HidControllerClass.h"
#include "unit/Block.h"
#include "unit/UnitLogging.h"

#include <QSet>

namespace unit {

bool SameText(const QString& text, std::string_view expected) {
    const QByteArray local = text.toLocal8Bit();
    return std::string_view(local.constData(), static_cast<std::size_t>(local.size())) == expected;
}

QString BlockCarriageProblem(const HIDP_CAPS& caps) {
    if (caps.FeatureReportByteLength >= block::kReportSize)
        return {};
    return QStringLiteral("its feature report holds %1 bytes, the unit's block needs %2")
        .arg(caps.FeatureReportByteLength)
        .arg(block::kReportSize);
}

bool IsTarvenikUnit(THidDevice& device) {
    if (!SameText(device.GetProductText(), kProductString) ||
        !SameText(device.GetManufacturerText(), kManufacturerString))
        return false;
    HIDP_CAPS caps;
    device.QueryCapabilities(caps);
    const QString problem = BlockCarriageProblem(caps);
    if (problem.isEmpty())
        return true;
    // Rescans offer the device again and again: said once. The user-interface thread only.
    static QSet<QString> told;
    const QString path = QString::fromStdString(device.InterfaceInfo().InterfacePath);
    if (!told.contains(path)) {
        told.insert(path);
        qCWarning(lcUnit).noquote()
            << "the Tarvenik device at" << path << "is left out:" << problem;
    }
    return false;
}

} // namespace unit
