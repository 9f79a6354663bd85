#pragma once
// The player's desktop entry: how the desktop starts the player for the MIME types and URL
// schemes it handles. The file is the player's alone, so it is read back only for the values
// that one registration keeps from another (the handled types and the comment).

#include <string>
#include <vector>

namespace vsr {

struct TPlayerDesktopEntry {
    std::string ExePath;
    std::string IconPath; // empty: no Icon key
    std::string Comment;  // empty: no Comment key
    std::vector<std::string> MimeTypes;
};

// The program path quoted for an Exec key, followed by the "%u" field code.
std::string ExecValue(const std::string& exePath);

std::string FormatDesktopEntry(const TPlayerDesktopEntry& entry);

// The comment, MIME types and program (the Exec key's first argument) of a desktop entry;
// the icon stays empty.
TPlayerDesktopEntry ParseDesktopEntry(const std::string& text);

} // namespace vsr
