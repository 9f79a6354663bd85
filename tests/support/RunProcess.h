#pragma once
// Runs a program and collects its exit status and output.

#include "support/TempDir.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vsr::test {

struct TProcessResult {
    int ExitCode = -1; // 128 + the signal for a program a signal ended
    std::string Out;
    std::string Err;
};

// A program started (no shell) with extra "NAME=value" environment entries, which win over the
// test's own. Its output goes to files, so that nothing can block it or the test.
class TChildProcess {
public:
    TChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {});
    ~TChildProcess(); // kills a child still running
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    pid_t Id() const { return FPid; }
    void Signal(int signal) const;
    // Waits for the end; a child still running after timeout is killed and gets ExitCode -1.
    TProcessResult Wait(std::chrono::milliseconds timeout = std::chrono::minutes(5));

private:
    TTempDir FDir;
    pid_t FPid = 0;
};

// Runs program to its end.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {});

} // namespace vsr::test
