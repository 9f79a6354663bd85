#pragma once
// What the player window is started with: the program's arguments (without the program
// name) and its executable path, passed in so that the start-up can be run in tests.

#include <string>
#include <string_view>
#include <vector>

namespace vsr {

// Program: registers the player silently and opens its source once the window is shown.
// WindowOnly: neither (the window as the tests and the debug view build it).
enum class TStartUpMode { Program, WindowOnly };

struct TPlayerStartUp {
    std::vector<std::string> Arguments;
    std::string ExePath;
    TStartUpMode Mode = TStartUpMode::Program;
};

// A switch is present when one argument equals it entirely, without regard to case.
bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name);
// The first argument that is not one of the player's switches, a file:// URL as its local
// path; empty when none.
std::string SourceArgument(const std::vector<std::string>& arguments);

enum class TSwitchAction { None, Installed, Uninstalled };
// "/uninstall" or "/install": removes or writes the player's registration. The window is
// not to be built when this returns anything but None. Raises EAssociations.
TSwitchAction RunInstallSwitches(const std::vector<std::string>& arguments,
                                 const std::string& exePath);

} // namespace vsr
