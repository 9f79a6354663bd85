#pragma once
// Runs an installed helper program to its end, without a shell.

#include <string>
#include <vector>

namespace vsr {

enum class TToolResult { NotInstalled, Failed, Succeeded };

// Looks name up in the folders of $PATH and runs it with arguments; its output is discarded.
TToolResult RunInstalledTool(const std::string& name, const std::vector<std::string>& arguments);

} // namespace vsr
