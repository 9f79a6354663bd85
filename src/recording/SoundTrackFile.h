#pragma once
// The voice track of a recording copied to a temporary file (prefix "spx"), as the player
// copies it before it opens it; the file is deleted with the object.

#include "platform/TempFiles.h"

#include <string>

namespace vsr {

class TSoundTrackFile {
public:
    explicit TSoundTrackFile(const std::string& recording);
    const std::string& FileName() const { return FFile.FileName(); }

private:
    TTempFile FFile;
};

} // namespace vsr
