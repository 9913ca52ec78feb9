#pragma once
// The commands that make one exchange or a short sequence of them, and the dispatch of the whole
// command line. A command that loses its unit throws TUnitFailure; RunCli turns it into the line
// on stderr and exit status 1.

#include "cli/Io.h"
#include "cli/Options.h"
#include "cli/UnitLink.h"

#include <QStringList>

namespace cli {

// A value the unit cannot hold, found before anything was written: its line on stderr and exit
// status 2, as a usage error.
struct TValueRefused {
    QString Text;
};

void RunList(const TOptions& options, TUnitLink& link, TIo& io);
void RunRead(const TOptions& options, TUnitLink& link, TIo& io);
void RunParams(const TOptions& options, TUnitLink& link, TIo& io);
void RunSet(const TOptions& options, TUnitLink& link, TIo& io);
void RunFunction(const TOptions& options, TUnitLink& link, TIo& io);

// The parameters as the unit holds them: a read, then the block back with command 1, a pause for
// the unit to load them from its EEPROM, and a read.
TDataBlock ReadParametersBack(TUnitLink& link, TIo& io);

// The whole program after start-up: the arguments after the program's name. Answers the exit
// status: 0 done, 1 the unit (or the output) failed us, 2 a usage error.
int RunCli(const QStringList& arguments, TIo& io);

// What the program answers after RunCli: `status`; but when a unit kept a request waiting, whose
// thread still waits inside the HID services, the output is flushed and the process ends with
// `status` at once, running nothing that might wait for that thread.
int EndOfRun(int status);

} // namespace cli
