#pragma once
// The program's command-line arguments as text, before (or without) handing them to Qt: the
// programs give Qt their name only. On Windows they come from the system's UTF-16 command line,
// so a path outside the ANSI code page arrives whole; on Linux they are bytes, kept as
// ArgumentText keeps them (ArgumentsPosix.cpp, ArgumentsWindows.cpp).

#include <QStringList>

namespace framework {

// Every argument after the program's name.
QStringList CommandLineArguments(int argc, char** argv);

} // namespace framework
