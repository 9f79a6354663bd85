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

constexpr auto TrailerSize = static_cast<std::int64_t>(sizeof(TOverlayTrailer));

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

TSoundAndOverlay SplitSoundAndOverlay(TStream& stream, std::int64_t audioOffset,
                                      const std::string& tempFolder) {
    TSoundAndOverlay result;
    const std::int64_t size = stream.Size();
    std::int64_t end = size;
    if (const std::optional<TOverlayTrailer> trailer = ReadOverlayTrailer(stream)) {
        // The block lies before the trailer; anything else is a damaged recording.
        if (trailer->OverlayOffset < 0 || trailer->OverlayOffset > size - TrailerSize)
            throw EScreenRecorderOverlayFile(std::string(sInvalidSRFile));
        stream.SetPosition(trailer->OverlayOffset);
        result.Overlay = std::make_unique<TScreenRecorderOverlayFile>();
        result.Overlay->LoadFromStream(stream);
        end = trailer->OverlayOffset;
    }
    if (audioOffset < 0 || audioOffset > end)
        throw Exception(std::string(sInvalidSRFile));

    TTempFileGuard soundFile(CreateTempFile("spx", tempFolder));
    if (soundFile.FileName().empty())
        throw EFOpenError(
            Format("Cannot create a temporary file in %s: %s", tempFolder, std::strerror(errno)));
    {
        TFileStream sound(soundFile.FileName(), TFileMode::Create);
        stream.SetPosition(audioOffset);
        sound.CopyFrom(stream, end - audioOffset);
    }
    result.SoundFileName = soundFile.Release();
    return result;
}

} // namespace vsr
