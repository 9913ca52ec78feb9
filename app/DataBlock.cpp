#include "app/DataBlock.h"

#include <QCoreApplication>

TDataBlock data_block{};
TReportBuffer report_buf{};
std::int32_t scale = 0;
THidDevice* held_device = nullptr;
bool shot_latched = false;
std::int32_t shot_position = 0;

long double raw_to_volts(std::uint8_t raw) {
    return RawToVolts(raw, scale);
}

int volts_to_raw(long double volts) {
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
