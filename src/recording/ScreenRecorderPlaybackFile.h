#pragma once
// TScreenRecorderPlaybackFile: the reader of a recording in a local file.

#include "recording/CustomScreenRecorderPlaybackFile.h"

#include <string>

namespace vsr {

class TScreenRecorderPlaybackFile : public TCustomScreenRecorderPlaybackFile {
public:
    // Opens the file for reading (shared with other readers and writers), reads the header, the
    // key-frame index and the cursor track. Raises EFOpenError when the file cannot be opened
    // and vsr::Exception with sInvalidSRFile when it is no (intact) recording.
    explicit TScreenRecorderPlaybackFile(const std::string& fileName);
};

} // namespace vsr
