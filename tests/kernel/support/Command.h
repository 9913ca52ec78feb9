#pragma once
// Running a program of the machine through the shell to its end, as the tests that start the
// command-line tool (natively or under wine) need it.

#include <string>

namespace kerneltest {

struct TCommandResult {
    int Status = -1; // the exit status; -1 when the command could not run or was killed
    std::string Out;
    std::string Err;
};

// Runs `command` with its standard error sent to `errorsFile`, collecting both.
TCommandResult runCommand(const std::string& command, const std::string& errorsFile);

} // namespace kerneltest
