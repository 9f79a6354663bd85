#pragma once
// Runs a program to its end and collects its exit status and output.

#include <string>
#include <vector>

namespace vsr::test {

struct TProcessResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs program with arguments (no shell), with extra "NAME=value" environment entries.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {});

} // namespace vsr::test
