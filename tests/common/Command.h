// A shell command run by a test, with what it printed on standard output and its exit
// status.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace testutil {

struct TCommandRun {
    int Exit = -1; // -1 when the command could not run or did not exit normally
    std::string Out;
};

inline TCommandRun RunCommand(const std::string& command) {
    TCommandRun run;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return run;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        run.Out.append(buf, n);
    const int status = pclose(p);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// What the command printed, whatever its status.
inline std::string CommandOutput(const std::string& command) {
    return RunCommand(command).Out;
}

} // namespace testutil
