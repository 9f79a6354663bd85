#pragma once
// What the player says of itself without opening a window: `--help` and `--version`, and the
// About box's texts.

#include "app/About.h"

#include <optional>
#include <string>
#include <vector>

namespace vsr {

std::string PlayerUsageText();
// The version, then the libraries with theirs, Qt's among them.
std::string PlayerVersionText();
std::vector<TLibraryVersion> PlayerLibraryVersions();

// The text `--help` (or `-h`) or `--version` asks for, wherever it stands; nullopt when
// neither is there.
std::optional<std::string> PlayerInformationAsked(const std::vector<std::string>& arguments);

} // namespace vsr
