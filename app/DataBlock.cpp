#include "app/DataBlock.h"

#include <QCoreApplication>

long double TPanelState::raw_to_volts(std::uint8_t raw) const {
    return RawToVolts(raw, scale);
}

int TPanelState::volts_to_raw(long double volts) const {
    return VoltsToRaw(volts, scale);
}

QString VoltText1(long double volts, const QLocale& locale) {
    return QCoreApplication::translate("TTarvenik_Control_Form", "%1 В")
        .arg(PrintfFixed(volts, 1, locale));
}

QString VoltText2(long double volts, const QLocale& locale) {
    return QCoreApplication::translate("TTarvenik_Control_Form", "%1 В")
        .arg(PrintfFixed(volts, 2, locale));
}
