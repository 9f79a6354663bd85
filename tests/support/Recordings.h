#pragma once
// Recordings made in the tests with the project's writer: option sets and overlays, damaged
// tracks appended to a written file, recordings shaped for streaming and their server answers,
// and the frames a reader delivers.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/VSRRecords.h"
#include "support/FaultServer.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vsr::test {

// 32-bit tiles of 32 x 32 pixels, so that colours stay exact.
TRecordingOptions ExactTiles(std::optional<std::uint32_t> durationMs = std::nullopt);
// Solid bitmap pictures (a 16 x 8 header of headerColour, an 8 x 16 trailer of trailerColour)
// shown for delaySeconds each, and the link.
TRecordingOverlay SolidOverlay(std::uint32_t headerColour, std::uint32_t trailerColour,
                               std::int32_t delaySeconds, const std::string& link);

// Append a replacement key-frame index or cursor track and point the header at it; count may
// differ from the entries given, to make damaged tracks.
void ReplaceKeyFrameIndex(const std::string& fileName, std::int32_t count,
                          const std::vector<TKeyFrameEntry>& entries);
void ReplaceCursorTrack(const std::string& fileName, std::int32_t count,
                        const std::vector<TCursorEntry>& entries);

// keyFrames key frames a second apart of noisy 96 x 64 pictures (segments of roughly 12 KiB),
// cursor entries and a voice track of soundBytes pattern bytes.
TRecordingLayout WriteStreamRecording(const std::string& fileName, int keyFrames,
                                      std::size_t soundBytes = 20000);
// Answers the download protocol for fileBytes as the server script does: "OK|size|crc|" for
// flag=-1, "OK|" and the bytes for flag=1.
TFaultReply ServeRecording(const std::vector<std::byte>& fileBytes, const TFaultRequest& request);
bool IsInformationRequest(const TFaultRequest& request); // flag=-1

struct TReadFrame {
    std::uint32_t Time = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t KeyFrame = -1; // CurrentKeyFrame after the read
    std::vector<std::byte> Payload;
};

// The next frame; found is false at the end. Checks that the payload comes back at position 0.
TReadFrame ReadOneFrame(TCustomScreenRecorderPlaybackFile& reader, bool& found);
// Every frame ReadFrame delivers, at most limit of them (a guard against endless reading).
std::vector<TReadFrame> ReadAllFrames(TCustomScreenRecorderPlaybackFile& reader,
                                      std::size_t limit = 100000);

} // namespace vsr::test
