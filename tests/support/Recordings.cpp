#include "support/Recordings.h"

#include "recording/ZCompressionStream.h"

#include <algorithm>
#include <stdexcept>

namespace vsr::test {

TRecordingOptions ExactTiles(std::optional<std::uint32_t> durationMs) {
    TRecordingOptions options;
    options.BitDepth = TTileBitDepth::Bits32;
    options.TileWidth = 32;
    options.TileHeight = 32;
    options.Duration = durationMs;
    return options;
}

TRecordingOverlay SolidOverlay(std::uint32_t headerColour, std::uint32_t trailerColour,
                               std::int32_t delaySeconds, const std::string& link) {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap,
                             BitmapFileOf(TScreenPicture(16, 8, headerColour))};
    overlay.TrailerPicture = TOverlayPicture{TOverlayPictureType::Bitmap,
                                             BitmapFileOf(TScreenPicture(8, 16, trailerColour))};
    overlay.HeaderDelaySeconds = delaySeconds;
    overlay.TrailerDelaySeconds = delaySeconds;
    overlay.Link = link;
    return overlay;
}

namespace {

// Appends a zlib stream of count followed by the entries' bytes; returns where it starts.
std::int64_t AppendTrack(const std::string& fileName, std::int32_t count,
                         std::span<const std::byte> entries) {
    TFileStream file(fileName, TFileMode::OpenReadWrite);
    const std::int64_t offset = file.Seek(0, TSeekOrigin::End);
    TZCompressionStream track(file);
    WriteRecord(track, count);
    track.WriteBuffer(entries);
    track.Finish();
    return offset;
}

} // namespace

void ReplaceKeyFrameIndex(const std::string& fileName, std::int32_t count,
                          const std::vector<TKeyFrameEntry>& entries) {
    const std::int64_t offset = AppendTrack(fileName, count, std::as_bytes(std::span(entries)));
    PatchValue(fileName, offsetof(TVSRHeader, KeyFrameIndexOffset), offset);
}

void ReplaceCursorTrack(const std::string& fileName, std::int32_t count,
                        const std::vector<TCursorEntry>& entries) {
    const std::int64_t offset = AppendTrack(fileName, count, std::as_bytes(std::span(entries)));
    PatchValue(fileName, offsetof(TVSRHeader, CursorTrackOffset), offset);
}

TReadFrame ReadOneFrame(TCustomScreenRecorderPlaybackFile& reader, bool& found) {
    TReadFrame frame;
    TMemoryStream payload;
    payload.SetSize(3); // a stale size and position must not leak into the result
    payload.SetPosition(2);
    found = reader.ReadFrame(frame.Time, frame.X, frame.Y, payload);
    if (found && payload.Position() != 0)
        throw std::logic_error("ReadFrame left the payload position away from 0");
    frame.KeyFrame = reader.CurrentKeyFrame();
    const auto memory = payload.Memory();
    frame.Payload.assign(memory.begin(), memory.end());
    return frame;
}

std::vector<TReadFrame> ReadAllFrames(TCustomScreenRecorderPlaybackFile& reader,
                                      std::size_t limit) {
    std::vector<TReadFrame> frames;
    bool found = true;
    while (frames.size() < limit) {
        TReadFrame frame = ReadOneFrame(reader, found);
        if (!found)
            break;
        frames.push_back(std::move(frame));
    }
    return frames;
}

TRecordingLayout WriteStreamRecording(const std::string& fileName, int keyFrames,
                                      std::size_t soundBytes) {
    TRecordingContent content;
    content.Width = 96;
    content.Height = 64;
    for (int i = 0; i < keyFrames; ++i) {
        const auto time = static_cast<std::uint32_t>(i * 1000);
        content.Pictures.push_back({time, NoisePicture(96, 64, static_cast<std::uint32_t>(i))});
        content.Pictures.push_back(
            {time + 500, NoisePicture(96, 64, static_cast<std::uint32_t>(i + 1000))});
        content.Cursors.push_back(
            {time + 1, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(2 * i)});
    }
    for (std::size_t i = 0; i < soundBytes; ++i)
        content.SoundTrack.push_back(static_cast<std::byte>(i * 31 + 7));
    TRecordingOptions options;
    options.KeyFrameInterval = 1000; // each whole second opens a segment
    return WriteRecordingFile(fileName, content, options);
}

TFaultReply ServeRecording(const std::vector<std::byte>& fileBytes, const TFaultRequest& request) {
    const auto size = static_cast<std::int64_t>(fileBytes.size());
    if (IsInformationRequest(request))
        return TFaultReply::Answer(200, "OK|" + std::to_string(size) + "|1234|");
    const std::int64_t position =
        std::clamp<std::int64_t>(request.QueryNumber("position"), 0, size);
    const std::int64_t count =
        std::clamp<std::int64_t>(request.QueryNumber("size"), 0, size - position);
    const auto* first = reinterpret_cast<const char*>(fileBytes.data()) + position;
    return TFaultReply::Answer(200, "OK|" + std::string(first, static_cast<std::size_t>(count)));
}

bool IsInformationRequest(const TFaultRequest& request) {
    return request.Query("flag") == "-1";
}

} // namespace vsr::test
