#pragma once
// The program's command line: --log FILE, --serial S, --help and --version. Read before the window
// exists, so
// --help and --version need no display.

#include <QString>
#include <QStringList>

struct TCommandLine {
    enum class TAction { Run, Help, Version, Error };
    TAction Action = TAction::Run;
    QString LogPath; // empty: no log
    QString Serial;  // empty: any unit
    QString Text;    // what --help, --version or a mistake prints
};

// `arguments` as the program got them, the program's name first; `demo`: the demo copy, beside
// the virtual unit, which says so in its version line.
TCommandLine ParseCommandLine(const QStringList& arguments, bool demo = false);
