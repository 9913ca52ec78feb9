// The program: one control window and the message loop.

#include "app/DesignFont.h"
#include "app/Unit1.h"
#include "imaging/jpeg.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The program reads no command line, so Qt is given the program name only.
    static char fallbackName[] = "tarvenik";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setFont(design::DesignFont());
    // The JPEG format is known to the picture registry for the whole run.
    const imaging::TJpegFormatsRegistration jpegFormats;

    int result = 0;
    {
        TTarvenik_Control_Form window;
        Tarvenik_Control_Form = &window;
        window.show();
        result = QApplication::exec();
    } // the window and its destroy handler go here, while the global still names it
    Tarvenik_Control_Form = nullptr;
    return result;
}
