#pragma once
// The desktop's record of which program opens which files and addresses, kept in the user's
// own folders as freedesktop.org describes them:
//   <data>/applications/vsrplayer.desktop       the player's desktop entry (MimeType list)
//   <data>/mime/packages/vsrplayer-<name>.xml    a MIME type defined by pattern and magic
//   <config>/mimeapps.list                       the default handler of each MIME type
// <data> is $XDG_DATA_HOME (default ~/.local/share), <config> $XDG_CONFIG_HOME (default
// ~/.config). Each operation changes only what the player wrote and writes files atomically;
// removing what is not there does nothing. Failures raise EAssociations with the file and
// the reason. Main thread only; other programs may read the files at any time.

#include "platform/DesktopEntry.h"
#include "platform/MimePackage.h"
#include "platform/TextFiles.h"
#include "shell/Exception.h"

#include <string>
#include <string_view>
#include <vector>

namespace vsr {

class EAssociations : public Exception {
public:
    using Exception::Exception;
};

inline constexpr std::string_view PlayerDesktopId = "vsrplayer.desktop";

std::string UserDataFolder();
std::string UserConfigFolder();
std::string PlayerDesktopFile();
std::string MimePackageFile(const std::string& name);
std::string MimeAppsListFile();

struct THandlerCommand {
    std::string ExePath;
    std::string IconPath;    // empty: no icon
    std::string Description; // empty: the entry keeps the comment it has
};

// Adds mimeType to the types of the player's desktop entry and (re)writes its other values.
TFileChange AddHandledType(const std::string& mimeType, const THandlerCommand& command);
// Takes mimeType out of the entry; the entry goes when it handles nothing else.
TFileChange RemoveHandledType(const std::string& mimeType);

// Makes the player the preferred handler of mimeType in mimeapps.list, or takes it out again.
TFileChange SetDefaultHandler(const std::string& mimeType);
TFileChange RemoveDefaultHandler(const std::string& mimeType);

TFileChange WriteMimePackage(const std::string& name, const TMimeTypeDefinition& definition);
// Removes the player's packages that define a type by glob.
TFileChange RemoveMimePackagesWithGlob(const std::string& glob);

// The system's data folders ($XDG_DATA_DIRS, default /usr/local/share and /usr/share), where
// an installed package puts its desktop entry and MIME types.
std::vector<std::string> SystemDataFolders();
// True when a system data folder holds the player's desktop entry, it runs exePath (by path,
// or by name through $PATH) and it lists mimeType. The first entry found counts, as for the
// desktop.
bool SystemEntryHandles(const std::string& mimeType, const std::string& exePath);
// True when a MIME package in a system data folder defines mimeType.
bool SystemMimeTypeDefined(const std::string& mimeType);

// Rebuild the desktop's caches of these folders when the tools for it are installed; their
// failures are traced and otherwise ignored (the caches are a speed-up only).
void RefreshDesktopDatabase();
void RefreshMimeDatabase();

} // namespace vsr
