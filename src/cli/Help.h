#pragma once
// The tool's help: the short usage shown with a wrong command line, the overview of
// `vsr --help`, each command's own page (`vsr COMMAND --help`) and `vsr --version`.

#include <string>
#include <string_view>

namespace vsr::cli {

// Every command's synopsis, one a line (after "usage:").
std::string UsageText();
std::string OverviewText();
// The command's page; empty for a name that is no command.
std::string CommandHelpText(std::string_view command);
// The tool's version, then the libraries it runs on with theirs.
std::string VersionText();

} // namespace vsr::cli
