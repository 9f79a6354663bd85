#include "RecordingTestSupport.h"

#include "recording/ZCompressionStream.h"

#include <stdexcept>

namespace vsr::test {

TScreenPicture PatternPicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TScreenPicture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.At(x, y) = ((x * 7 + seed * 13) & 0xFF) << 16 |
                               ((y * 11 + seed * 5) & 0xFF) << 8 | ((x * y + seed) & 0xFF);
    return picture;
}

TScreenPicture WithRect(TScreenPicture picture, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint32_t colour) {
    for (std::int32_t row = y; row < y + height; ++row)
        for (std::int32_t column = x; column < x + width; ++column)
            picture.At(column, row) = colour;
    return picture;
}

std::vector<std::byte> ReadFileBytes(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    std::vector<std::byte> bytes(static_cast<std::size_t>(file.Size()));
    file.ReadBuffer(bytes);
    return bytes;
}

void WriteFileBytes(const std::string& fileName, std::span<const std::byte> bytes) {
    TFileStream file(fileName, TFileMode::Create);
    file.WriteBuffer(bytes);
}

void PatchFile(const std::string& fileName, std::int64_t offset, std::span<const std::byte> bytes) {
    TFileStream file(fileName, TFileMode::OpenReadWrite);
    file.SetPosition(offset);
    file.WriteBuffer(bytes);
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

std::vector<std::byte> Bytes(std::size_t size, std::uint8_t value) {
    return std::vector<std::byte>(size, std::byte{value});
}

} // namespace vsr::test
