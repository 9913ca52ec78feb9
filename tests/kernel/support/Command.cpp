#include "support/Command.h"

#include "support/Sysfs.h"

#include <cstdio>
#include <sys/wait.h>

namespace kerneltest {

TCommandResult runCommand(const std::string& command, const std::string& errorsFile) {
    FILE* pipe = popen((command + " 2>" + errorsFile).c_str(), "r");
    if (pipe == nullptr)
        return {};
    TCommandResult result;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.Out.append(buffer, n);
    const int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Err = readText(errorsFile);
    return result;
}

} // namespace kerneltest
