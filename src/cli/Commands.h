#pragma once
// The `vsr` command-line tool: one function per sub-command over the core library.

namespace vsr::cli {

// Runs the tool; returns the process exit status (0 success, 1 failure, 2 usage).
int Run(int argc, char** argv);

} // namespace vsr::cli
