#include "player/PlayerHelp.h"

#include "export/ExportLibraries.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace vsr {

std::string PlayerUsageText() {
    return "usage:\n"
           "  vsrplayer [FILE | ADDRESS] [/debug]\n"
           "  vsrplayer /install | /uninstall\n"
           "  vsrplayer --help | --version\n"
           "\n"
           "Plays a VSR screen recording with its voice and mouse pointer.\n"
           "\n"
           "  FILE         a .vsr recording (a path or a file:// URL)\n"
           "  ADDRESS      a vsrfile://, http:// or https:// address of a recording on a web\n"
           "               server, played while it downloads\n"
           "  /debug       a framed window with the controls instead of full screen\n"
           "  /install     register the player for .vsr files and vsrfile:// addresses\n"
           "  /uninstall   remove that registration\n"
           "\n"
           "Without FILE or ADDRESS the player plays the recording appended to its own program\n"
           "file. Switches are matched whole and without regard to case. Qt's own options\n"
           "(-platform NAME, -style NAME, ...) are taken by Qt. The right-click menu and F1 list\n"
           "what the window does.\n";
}

std::vector<TLibraryVersion> PlayerLibraryVersions() {
    std::vector<TLibraryVersion> libraries{{"Qt", qVersion()}};
    std::ranges::move(CoreLibraryVersions(), std::back_inserter(libraries));
    std::ranges::move(ExportLibraryVersions(), std::back_inserter(libraries));
    return libraries;
}

std::string PlayerVersionText() {
    return "vsrplayer " + std::string(ProgramVersion()) + " (VSR Player)\n" +
           std::string(CopyrightLine()) + "\nLicence: " + std::string(LicenceName()) +
           "\nLibraries: " + LibraryList(PlayerLibraryVersions()) + "\n";
}

std::optional<std::string> PlayerInformationAsked(const std::vector<std::string>& arguments) {
    if (std::ranges::any_of(arguments,
                            [](const std::string& arg) { return arg == "--help" || arg == "-h"; }))
        return PlayerUsageText();
    if (std::ranges::find(arguments, "--version") != arguments.end())
        return PlayerVersionText();
    return std::nullopt;
}

} // namespace vsr
