// Lists every HID device the program's HID layer finds, one tab-separated line each: its path,
// vendor and product ids, and the manufacturer, product, serial and location texts it reads from
// it. It shows what a HID stack makes of a device that the programs take for no unit (the kernel
// machine's wine test runs it under wine's own stack).

#include "hid/HidControllerClass.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

namespace {

class TLister {
public:
    bool Offer(THidDevice* device, int /*index*/) {
        if (device == nullptr)
            return true;
        const HIDD_ATTRIBUTES& ids = device->HidAttributes();
        const QString line = QStringLiteral("%1\t%2:%3\t%4\t%5\t%6\t%7\n")
                                 .arg(QString::fromStdString(device->InterfaceInfo().InterfacePath))
                                 .arg(ids.VendorID, 4, 16, QLatin1Char('0'))
                                 .arg(ids.ProductID, 4, 16, QLatin1Char('0'))
                                 .arg(device->GetManufacturerText(), device->GetProductText(),
                                      device->GetSerialNumberText(), device->GetLocationText());
        std::fputs(line.toUtf8().constData(), stdout);
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    THidDeviceController controller(nullptr);
    if (controller.NotifyWindow() == nullptr) {
        std::fputs("the HID services are not there\n", stderr);
        return 1;
    }
    TLister lister;
    controller.SetOnEnumerate(THidEnumerateEvent(&lister, &TLister::Offer));
    controller.DeviceChange();
    controller.EnumerateDevices();
    return 0;
}
