// The second yardstick: the bare window with one line of text. Text brings the font configuration,
// the font database and the accessibility bridge before the window maps, whatever else a program
// does; the panel's cost beyond text is its cost against this window.

#include "app/Design.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(design::kClientWidth, design::kClientHeight);
    QLabel line(QStringLiteral("x"), &window);
    line.move(design::kClientWidth / 2, design::kClientHeight / 2);
    window.show();
    return QApplication::exec();
}
