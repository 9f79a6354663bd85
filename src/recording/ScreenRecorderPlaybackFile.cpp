#include "recording/ScreenRecorderPlaybackFile.h"

namespace vsr {

TScreenRecorderPlaybackFile::TScreenRecorderPlaybackFile(const std::string& fileName) {
    SetFileName(fileName);
    AttachStream(std::make_unique<TFileStream>(fileName, TFileMode::OpenRead));
    ReadHeader();
    LoadKeyFrames(Header().KeyFrameIndexOffset);
    LoadCursors(Header().CursorTrackOffset);
}

} // namespace vsr
