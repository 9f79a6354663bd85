#pragma once
// What the program says of itself: its version, its licence and the libraries it runs on,
// for `--version` and the player's About box.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vsr {

struct TLibraryVersion {
    std::string Name;
    std::string Version;
};

std::string_view ProgramVersion();
std::string_view CopyrightLine();
std::string_view LicenceName();
// The licence's whole text.
std::string_view LicenceText();

// The libraries of the core (those it was linked with, as they report themselves at run time
// where they can; the voice codec's as the sound library was built).
std::vector<TLibraryVersion> CoreLibraryVersions();

// "zlib 1.2.13, SDL 2.26.5, ..."
std::string LibraryList(std::span<const TLibraryVersion> libraries);

} // namespace vsr
