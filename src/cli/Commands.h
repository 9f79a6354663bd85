#pragma once
// The `vsr` command-line tool: one function per sub-command over the core library.
// Each returns the process exit status; failures print the message on standard error.

#include <string>
#include <vector>

namespace vsr::cli {

using TArguments = std::vector<std::string>;

// Runs the tool; returns the exit status (0 success, 1 failure, 2 wrong command line).
int Run(int argc, char** argv);

int InfoCommand(const TArguments& args);
int FramesCommand(const TArguments& args);
int AudioCommand(const TArguments& args);
int DemoCommand(const TArguments& args);
int SnapshotCommand(const TArguments& args);
int PackCommand(const TArguments& args);
int ExportCommand(const TArguments& args);
int IndexCommand(const TArguments& args);
int SearchCommand(const TArguments& args);

// Raised for a command line the tool cannot use; Run prints it with the usage.
struct EUsage {
    std::string Message;
};

// The value after option (e.g. "-o"), removed from args with it; empty when absent.
std::string TakeOption(TArguments& args, const std::string& option);
// Removes flag from args; true when it was there.
bool TakeFlag(TArguments& args, const std::string& flag);
// The single remaining argument; raises EUsage otherwise.
std::string SingleFile(const TArguments& args);

} // namespace vsr::cli
