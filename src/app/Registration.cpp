#include "app/Registration.h"

#include "recording/VSRRecords.h"
#include "shell/Format.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace vsr {

namespace {

// Names become parts of file names and of lines in other programs' files.
void CheckName(std::string_view what, const std::string& name) {
    const auto valid = [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.' || c == '_';
    };
    if (!std::ranges::all_of(name, valid))
        throw EAssociations(Format("Invalid %s \"%s\"", what, name));
}

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Dotted(const std::string& extension) {
    return extension.starts_with('.') ? extension : "." + extension;
}

std::string FileMimeType(const std::string& dotted) {
    return "application/x-" + Lower(dotted.substr(1));
}

std::string SchemeMimeType(const std::string& scheme) {
    return "x-scheme-handler/" + Lower(scheme);
}

// The type's files are told apart from others by their first bytes where we know them.
std::string MagicOf(const std::string& dotted) {
    return Lower(dotted) == ".vsr" ? std::string(VSRHeaderMagic) : std::string();
}

// A Linux program file carries no icon, so the program path is no icon.
std::string IconOf(const std::string& iconPath, const std::string& exePath) {
    return iconPath == exePath ? std::string() : iconPath;
}

THandlerCommand Command(const std::string& exePath, const std::string& iconPath,
                        const std::string& description) {
    if (exePath.empty())
        throw EAssociations("The program path to register is empty");
    return {exePath, IconOf(iconPath, exePath), description};
}

bool Changed(TFileChange change) {
    return change == TFileChange::Changed;
}

void Refresh(bool desktop, bool mime) {
    if (desktop)
        RefreshDesktopDatabase();
    if (mime)
        RefreshMimeDatabase();
}

} // namespace

void RegisterFileType(const std::string& extension, const std::string& exePath,
                      const std::string& iconPath, const std::string& description) {
    if (extension.empty())
        return;
    const std::string typeName = extension + "_file";
    const std::string dotted = Dotted(extension);
    CheckName("file extension", dotted);
    const std::string mimeType = FileMimeType(dotted);
    const THandlerCommand command = Command(exePath, iconPath, description);
    SetDefaultHandler(mimeType);
    if (SystemEntryHandles(mimeType, exePath) && SystemMimeTypeDefined(mimeType)) {
        // The user's own entry and package would shadow the installed ones: ours go, if any.
        const bool desktop = Changed(RemoveHandledType(mimeType));
        const bool mime = Changed(RemoveMimePackagesWithGlob("*" + dotted));
        Refresh(desktop, mime);
        return;
    }
    const bool mime =
        Changed(WriteMimePackage(typeName, {mimeType, description, "*" + dotted, MagicOf(dotted)}));
    const bool desktop = Changed(AddHandledType(mimeType, command));
    Refresh(desktop, mime);
}

void RegisterURLProtocol(const std::string& scheme, const std::string& exePath,
                         const std::string& iconPath, const std::string& /*description*/) {
    if (scheme.empty())
        return;
    CheckName("URL scheme", scheme);
    const std::string mimeType = SchemeMimeType(scheme);
    const THandlerCommand command = Command(exePath, iconPath, {});
    SetDefaultHandler(mimeType);
    const bool desktop =
        Changed(SystemEntryHandles(mimeType, exePath) ? RemoveHandledType(mimeType)
                                                      : AddHandledType(mimeType, command));
    Refresh(desktop, false);
}

void UnregisterFileType(const std::string& extension) {
    if (extension.empty())
        return;
    const std::string dotted = Dotted(extension);
    CheckName("file extension", dotted);
    const std::string mimeType = FileMimeType(dotted);
    RemoveDefaultHandler(mimeType);
    const bool desktop = Changed(RemoveHandledType(mimeType));
    const bool mime = Changed(RemoveMimePackagesWithGlob("*" + dotted));
    Refresh(desktop, mime);
}

void UnregisterURLProtocol(const std::string& scheme) {
    if (scheme.empty())
        return;
    CheckName("URL scheme", scheme);
    const std::string mimeType = SchemeMimeType(scheme);
    RemoveDefaultHandler(mimeType);
    const bool desktop = Changed(RemoveHandledType(mimeType));
    Refresh(desktop, false);
}

std::string ExePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

} // namespace vsr
