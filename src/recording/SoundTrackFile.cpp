#include "recording/SoundTrackFile.h"

#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundTrackRange.h"

namespace vsr {

TSoundTrackFile::TSoundTrackFile(const std::string& recording) : FFile(CreateTempFile("spx")) {
    if (FFile.FileName().empty())
        throw Exception("Cannot create a temporary file in " + TempFolder());
    TScreenRecorderPlaybackFile reader(recording);
    TStream& stream = reader.GetStream();
    const TSoundTrackRange range = LocateSoundTrack(stream, reader.Header().AudioOffset);
    range.Check();
    TFileStream copy(FFile.FileName(), TFileMode::Create);
    stream.SetPosition(range.Offset);
    copy.CopyFrom(stream, range.Bytes());
}

} // namespace vsr
