// The yardstick of the panel's start-up: the least a Qt Widgets program does to map a window of
// the control window's fixed size.

#include "app/Design.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(design::kClientWidth, design::kClientHeight);
    window.show();
    return QApplication::exec();
}
