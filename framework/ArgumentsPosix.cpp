#include "framework/Arguments.h"

#include "framework/FileName.h"

namespace framework {

QStringList CommandLineArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << ArgumentText(QByteArray(argv[i])); // file names byte for byte
    return arguments;
}

} // namespace framework
