#pragma once
// Small text files that other programs read (desktop entries, MIME packages, mimeapps.list):
// written atomically, so a reader never sees half a file.

#include "shell/Exception.h"

#include <optional>
#include <string>

namespace vsr {

class ETextFile : public Exception {
public:
    using Exception::Exception;
};

// The whole file; nothing when it does not exist. Raises ETextFile when it cannot be read.
std::optional<std::string> ReadTextFile(const std::string& fileName);

enum class TFileChange { Unchanged, Changed };

// Replaces the file by content through a temporary file in the same folder that is flushed
// and renamed over it; creates missing folders. A file that already holds content is not
// touched. Raises ETextFile naming the file and the system's reason.
TFileChange WriteTextFile(const std::string& fileName, const std::string& content);

// Removes the file; a missing file is no change. Raises ETextFile when it stays.
TFileChange RemoveTextFile(const std::string& fileName);

} // namespace vsr
