#pragma once
// Helpers of the recording tests: pictures to record, file bytes and patches, tracks appended
// to a written recording, and the frames a reader delivers.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "recording/ScreenPicture.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/VSRRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vsr::test {

// A picture whose every pixel depends on position and seed.
TScreenPicture PatternPicture(std::int32_t width, std::int32_t height, std::uint32_t seed);
// picture with a rectangle filled with colour.
TScreenPicture WithRect(TScreenPicture picture, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint32_t colour);

std::vector<std::byte> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, std::span<const std::byte> bytes);
void PatchFile(const std::string& fileName, std::int64_t offset, std::span<const std::byte> bytes);

template <typename TValue>
void PatchValue(const std::string& fileName, std::int64_t offset, const TValue& value) {
    PatchFile(fileName, offset, std::as_bytes(std::span(&value, 1)));
}

// Append a replacement key-frame index or cursor track and point the header at it; count may
// differ from the entries given, to make damaged tracks.
void ReplaceKeyFrameIndex(const std::string& fileName, std::int32_t count,
                          const std::vector<TKeyFrameEntry>& entries);
void ReplaceCursorTrack(const std::string& fileName, std::int32_t count,
                        const std::vector<TCursorEntry>& entries);

struct TReadFrame {
    std::uint32_t Time = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t KeyFrame = -1; // CurrentKeyFrame after the read
    std::vector<std::byte> Payload;
};

// Every frame ReadFrame delivers, at most limit of them (a guard against endless reading).
std::vector<TReadFrame> ReadAllFrames(TCustomScreenRecorderPlaybackFile& reader,
                                      std::size_t limit = 100000);
TReadFrame ReadOneFrame(TCustomScreenRecorderPlaybackFile& reader, bool& found);

// A payload of size bytes, all value.
std::vector<std::byte> Bytes(std::size_t size, std::uint8_t value);

} // namespace vsr::test
