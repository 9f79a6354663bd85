#pragma once
// Edits of a mimeapps.list text that touch only the line of one MIME type in the section
// "[Default Applications]"; every other line stays as it was, byte for byte.

#include <string>
#include <string_view>

namespace vsr {

// desktopId becomes the first (preferred) handler of mimeType; other handlers listed for it
// stay behind it. Adds the line, and the section when missing.
std::string WithDefaultHandler(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId);

// Takes desktopId out of mimeType's handlers; the line goes when no handler is left.
std::string WithoutDefaultHandler(std::string_view text, std::string_view mimeType,
                                  std::string_view desktopId);

// True when text holds nothing but an empty "[Default Applications]" section and blank lines.
bool IsEmptyMimeAppsList(std::string_view text);

} // namespace vsr
