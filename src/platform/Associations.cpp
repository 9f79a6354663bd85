#include "platform/Associations.h"

#include "platform/MimeAppsList.h"
#include "platform/RunTool.h"
#include "shell/Trace.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace vsr {

namespace {

constexpr std::string_view cPackagePrefix = "vsrplayer-";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    throw EAssociations("The home folder is not known");
}

// A relative or empty value is ignored, as the XDG base directories prescribe.
std::string XdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    return HomeFolder() + "/" + fallback;
}

template <typename TAction> TFileChange Guarded(TAction action) {
    try {
        return action();
    } catch (const ETextFile& error) {
        throw EAssociations(error.Message());
    }
}

TFileChange EditMimeApps(const std::string& mimeType, auto edit) {
    return Guarded([&] {
        const std::string fileName = MimeAppsListFile();
        const auto text = ReadTextFile(fileName);
        const std::string edited = edit(text.value_or(""), mimeType, PlayerDesktopId);
        if (edited == text.value_or(""))
            return TFileChange::Unchanged;
        if (IsEmptyMimeAppsList(edited))
            return RemoveTextFile(fileName);
        return WriteTextFile(fileName, edited);
    });
}

void Refresh(const std::string& tool, const std::string& folder) {
    if (!std::filesystem::is_directory(folder))
        return;
    if (RunInstalledTool(tool, {folder}) == TToolResult::Failed)
        TraceFmt("%s %s failed", tool, folder);
}

// A program named without a folder is found as the desktop finds it: through $PATH.
std::string ProgramPath(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (const std::string candidate = folder + "/" + program;
            !folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error) && !error;
}

} // namespace

std::string UserDataFolder() {
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string UserConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string PlayerDesktopFile() {
    return UserDataFolder() + "/applications/" + std::string(PlayerDesktopId);
}

std::string MimePackageFile(const std::string& name) {
    return UserDataFolder() + "/mime/packages/" + std::string(cPackagePrefix) + name + ".xml";
}

std::string MimeAppsListFile() {
    return UserConfigFolder() + "/mimeapps.list";
}

TFileChange AddHandledType(const std::string& mimeType, const THandlerCommand& command) {
    return Guarded([&] {
        const std::string fileName = PlayerDesktopFile();
        TPlayerDesktopEntry entry = ParseDesktopEntry(ReadTextFile(fileName).value_or(""));
        entry.ExePath = command.ExePath;
        entry.IconPath = command.IconPath;
        if (!command.Description.empty())
            entry.Comment = command.Description;
        if (std::ranges::find(entry.MimeTypes, mimeType) == entry.MimeTypes.end())
            entry.MimeTypes.push_back(mimeType);
        return WriteTextFile(fileName, FormatDesktopEntry(entry));
    });
}

TFileChange RemoveHandledType(const std::string& mimeType) {
    return Guarded([&] {
        const std::string fileName = PlayerDesktopFile();
        const auto text = ReadTextFile(fileName);
        if (!text || text->find("\nExec=") == std::string::npos)
            return TFileChange::Unchanged;
        TPlayerDesktopEntry entry = ParseDesktopEntry(*text);
        if (std::erase(entry.MimeTypes, mimeType) == 0)
            return TFileChange::Unchanged;
        if (entry.MimeTypes.empty())
            return RemoveTextFile(fileName);
        // Only the MimeType line changes; the other lines are kept as they are.
        const auto start = text->find("\nMimeType=") + 1;
        const auto end = text->find('\n', start);
        std::string line = "MimeType=";
        for (const std::string& type : entry.MimeTypes)
            line += type + ";";
        return WriteTextFile(fileName, text->substr(0, start) + line + text->substr(end));
    });
}

TFileChange SetDefaultHandler(const std::string& mimeType) {
    return EditMimeApps(mimeType,
                        [](std::string_view text, std::string_view type, std::string_view id) {
                            return WithDefaultHandler(text, type, id);
                        });
}

TFileChange RemoveDefaultHandler(const std::string& mimeType) {
    return EditMimeApps(mimeType,
                        [](std::string_view text, std::string_view type, std::string_view id) {
                            return WithoutDefaultHandler(text, type, id);
                        });
}

TFileChange WriteMimePackage(const std::string& name, const TMimeTypeDefinition& definition) {
    return Guarded(
        [&] { return WriteTextFile(MimePackageFile(name), FormatMimePackage(definition)); });
}

TFileChange RemoveMimePackagesWithGlob(const std::string& glob) {
    return Guarded([&] {
        const std::filesystem::path folder =
            std::filesystem::path(MimePackageFile("x")).parent_path();
        std::error_code error;
        std::vector<std::string> matching;
        for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = item.path().filename().string();
            if (name.starts_with(cPackagePrefix) && name.ends_with(".xml") &&
                MimePackageHasGlob(ReadTextFile(item.path().string()).value_or(""), glob))
                matching.push_back(item.path().string());
        }
        TFileChange change = TFileChange::Unchanged;
        for (const std::string& fileName : matching)
            if (RemoveTextFile(fileName) == TFileChange::Changed)
                change = TFileChange::Changed;
        return change;
    });
}

std::vector<std::string> SystemDataFolders() {
    std::string list = "/usr/local/share:/usr/share";
    if (const char* value = std::getenv("XDG_DATA_DIRS"); value && *value)
        list = value;
    std::vector<std::string> folders;
    std::istringstream items(list);
    for (std::string folder; std::getline(items, folder, ':');)
        if (folder.starts_with('/'))
            folders.push_back(folder);
    return folders;
}

bool SystemEntryHandles(const std::string& mimeType, const std::string& exePath) {
    for (const std::string& folder : SystemDataFolders()) {
        const auto text = ReadTextFile(folder + "/applications/" + std::string(PlayerDesktopId));
        if (!text)
            continue;
        const TPlayerDesktopEntry entry = ParseDesktopEntry(*text);
        return std::ranges::find(entry.MimeTypes, mimeType) != entry.MimeTypes.end() &&
               SameFile(ProgramPath(entry.ExePath), exePath);
    }
    return false;
}

bool SystemMimeTypeDefined(const std::string& mimeType) {
    const std::string definition = "<mime-type type=\"" + mimeType + "\"";
    for (const std::string& folder : SystemDataFolders()) {
        std::error_code error;
        for (const auto& item :
             std::filesystem::directory_iterator(folder + "/mime/packages", error))
            if (item.path().extension() == ".xml" &&
                ReadTextFile(item.path().string()).value_or("").find(definition) !=
                    std::string::npos)
                return true;
    }
    return false;
}

void RefreshDesktopDatabase() {
    Refresh("update-desktop-database", UserDataFolder() + "/applications");
}

void RefreshMimeDatabase() {
    Refresh("update-mime-database", UserDataFolder() + "/mime");
}

} // namespace vsr
