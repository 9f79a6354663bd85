#pragma once
// Registration of the player as the handler of a file type and of a URL scheme.
//
// On Linux a file type is the MIME type "application/x-<extension>" (defined by a package
// with the pattern "*.<extension>", and for "vsr" the text recordings begin with), a scheme
// the MIME type "x-scheme-handler/<scheme>"; both are listed in the player's desktop entry,
// whose command is the program path and the address or file, and the player becomes their
// default handler (platform/Associations.h). Registering again rewrites every value; the
// databases of the desktop are refreshed when something changed.
//
// When the system's data folders hold the player's desktop entry for this very program (an
// installed package) with the type, and for a file type its MIME definition, nothing is
// written that would shadow them: only the default handler is set, and what an earlier
// registration of the user wrote for the type is taken out.
//
// An empty extension or scheme does nothing. Extensions and schemes other than letters,
// digits and "+-._" raise EAssociations, as do files that cannot be written.

#include "platform/Associations.h"

#include <string>

namespace vsr {

// The file-type name is extension + "_file", formed before a leading "." is added.
void RegisterFileType(const std::string& extension, const std::string& exePath,
                      const std::string& iconPath, const std::string& description);
// description is not used: an address has no description of its own.
void RegisterURLProtocol(const std::string& scheme, const std::string& exePath,
                         const std::string& iconPath, const std::string& description);

void UnregisterFileType(const std::string& extension);
void UnregisterURLProtocol(const std::string& scheme);

// The full path of the running program.
std::string ExePath();

} // namespace vsr
