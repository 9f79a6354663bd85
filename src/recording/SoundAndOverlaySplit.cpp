#include "recording/SoundAndOverlaySplit.h"

#include "recording/SoundTrackRange.h"
#include "shell/Format.h"
#include "shell/Messages.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace vsr {

namespace {

// Deletes the file unless released: a failed split leaves nothing in the temporary folder.
class TTempFileGuard {
public:
    explicit TTempFileGuard(std::string fileName) : FFileName(std::move(fileName)) {}
    ~TTempFileGuard() {
        if (!FFileName.empty())
            DeleteTempFile(FFileName);
    }
    TTempFileGuard(const TTempFileGuard&) = delete;
    TTempFileGuard& operator=(const TTempFileGuard&) = delete;

    const std::string& FileName() const { return FFileName; }
    std::string Release() { return std::exchange(FFileName, {}); }

private:
    std::string FFileName;
};

} // namespace

std::unique_ptr<TScreenRecorderOverlayFile> LoadOverlay(TStream& stream,
                                                        const TSoundTrackRange& range) {
    if (!range.Trailer)
        return nullptr;
    stream.SetPosition(range.End);
    auto overlay = std::make_unique<TScreenRecorderOverlayFile>();
    overlay->LoadFromStream(stream);
    return overlay;
}

TSoundAndOverlay SplitSoundAndOverlay(TStream& stream, std::int64_t audioOffset,
                                      const std::string& tempFolder) {
    TSoundAndOverlay result;
    const TSoundTrackRange range = LocateSoundTrack(stream, audioOffset);
    range.Check();
    result.Overlay = LoadOverlay(stream, range);

    TTempFileGuard soundFile(CreateTempFile("spx", tempFolder));
    if (soundFile.FileName().empty())
        throw EFOpenError(
            Format("Cannot create a temporary file in %s: %s", tempFolder, std::strerror(errno)));
    {
        TFileStream sound(soundFile.FileName(), TFileMode::Create);
        stream.SetPosition(range.Offset);
        sound.CopyFrom(stream, range.Bytes());
    }
    result.SoundFileName = soundFile.Release();
    return result;
}

} // namespace vsr
