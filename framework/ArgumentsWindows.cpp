#include "framework/Arguments.h"

#include <windows.h>

#include <shellapi.h>

namespace framework {

QStringList CommandLineArguments(int argc, char** argv) {
    // argv holds the arguments in the ANSI code page, which may lack letters of a path; the
    // system's own command line has them all.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList arguments;
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return arguments;
    }
    for (int i = 1; i < count; ++i)
        arguments << QString::fromWCharArray(wide[i]);
    LocalFree(wide);
    return arguments;
}

} // namespace framework
