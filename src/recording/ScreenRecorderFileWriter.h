#pragma once
// TScreenRecorderFileWriter: writes a VSR recording onto a stream.
//
// Pictures are cut into tiles on a grid from (0, 0); a key frame stores every tile, later
// pictures only the tiles that changed, in raster order. Each key frame opens a new segment
// (one zlib stream). Finish writes the key-frame index, the cursor track, the sound track,
// the optional overlay block and trailer, then the header, and returns where everything went.
//
// The record-level operations (BeginKeyFrame, AddRecord) write records exactly as given, so
// that unusual and damaged recordings can be produced too. Offsets count from the stream's
// position when the writer was created, so a recording can follow other data.

#include "recording/ScreenPicture.h"
#include "recording/TileDib.h"
#include "recording/VSRRecords.h"
#include "recording/ZCompressionStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vsr {

// What the first index entry holds in Time: 0 as the format says, or (as some recorders
// wrote) the header's StartTickCount.
enum class TFirstEntryTime { Zero, StartTickCount };

enum class TKeyFrameChoice { Auto, Always };

struct TRecordingOptions {
    TTileBitDepth BitDepth = TTileBitDepth::Bits16;
    std::uint32_t KeyFrameInterval = 10000; // a picture this long after the last key frame is one
    std::int32_t TileWidth = 256;
    std::int32_t TileHeight = 32;
    std::uint32_t StartTickCount = 1000;
    std::optional<std::uint32_t> Duration; // default: last record's time + 1000
    double StartDateTime = 45000.5;        // days since 1899-12-30 (2023-03-15 12:00)
    std::optional<double> StopDateTime;    // default: StartDateTime + Duration
    TFirstEntryTime FirstEntryTime = TFirstEntryTime::Zero;
};

struct TOverlayPicture {
    TOverlayPictureType Type = TOverlayPictureType::None;
    std::vector<std::byte> Bytes; // the complete picture file
};

struct TRecordingOverlay {
    TOverlayPicture HeaderPicture;
    std::optional<TOverlayPicture> TrailerPicture; // none: the header picture serves as trailer
    std::int32_t HeaderDelaySeconds = 0;
    std::int32_t TrailerDelaySeconds = 0;
    std::string Link; // at most 65535 characters
};

// Where the writer put things, counted from the recording's first byte.
struct TRecordingLayout {
    TVSRHeader Header{};
    std::vector<TKeyFrameEntry> KeyFrames; // as stored in the index
    std::int64_t KeyFrameIndexOffset = 0;
    std::int64_t CursorTrackOffset = 0;
    std::int64_t AudioOffset = 0;
    std::int64_t OverlayOffset = -1;        // -1: no overlay
    std::int64_t OverlayTrailerOffset = -1; // -1: no overlay
    TOverlayHeader OverlayHeader{};         // valid with an overlay
    std::int64_t Size = 0;                  // of the whole recording
};

class TScreenRecorderFileWriter {
public:
    // Writes a placeholder header at once; raises vsr::Exception for a size below 1 x 1.
    TScreenRecorderFileWriter(TStream& output, std::int32_t width, std::int32_t height,
                              const TRecordingOptions& options = {});
    ~TScreenRecorderFileWriter();
    TScreenRecorderFileWriter(const TScreenRecorderFileWriter&) = delete;
    TScreenRecorderFileWriter& operator=(const TScreenRecorderFileWriter&) = delete;

    // The full screen at time (ms); times must not decrease and the size must match.
    void AddPicture(std::uint32_t time, const TScreenPicture& picture,
                    TKeyFrameChoice choice = TKeyFrameChoice::Auto);
    void AddCursor(const TCursorEntry& entry);

    // Starts a new segment whose index entry carries time.
    void BeginKeyFrame(std::uint32_t time);
    // Writes head (its Size as given) and payload into the current segment.
    void AddRecord(const TFrameRecord& head, std::span<const std::byte> payload);

    TRecordingLayout Finish(std::span<const std::byte> soundTrack,
                            const std::optional<TRecordingOverlay>& overlay = std::nullopt);

private:
    bool KeyFrameDue(std::uint32_t time) const;
    void WriteTiles(std::uint32_t time, const TScreenPicture& picture,
                    const TScreenPicture* previous);
    void AddTile(std::uint32_t time, const TScreenPicture& picture, const TTileRect& tile);
    void FinishSegment();
    std::int64_t RelativePosition();
    std::vector<TKeyFrameEntry> IndexEntries() const;
    template <typename TEntry> std::int64_t WriteTrack(const std::vector<TEntry>& entries);
    void WriteOverlay(const TRecordingOverlay& overlay, TRecordingLayout& layout);
    TVSRHeader MakeHeader(const TRecordingLayout& layout) const;
    double DateTimeAt(std::uint32_t time) const;

    TStream& FOutput;
    std::int64_t FBase;
    std::int32_t FWidth;
    std::int32_t FHeight;
    TRecordingOptions FOptions;
    std::unique_ptr<TZCompressionStream> FSegment;
    std::vector<TKeyFrameEntry> FKeyFrames;
    std::vector<TCursorEntry> FCursors;
    TScreenPicture FPrevious;
    std::uint32_t FLastTime = 0;
    bool FFinished = false;
};

struct TTimedPicture {
    std::uint32_t Time = 0;
    TScreenPicture Picture;
};

struct TRecordingContent {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<TTimedPicture> Pictures;
    std::vector<TCursorEntry> Cursors;
    std::vector<std::byte> SoundTrack; // already encoded
    std::optional<TRecordingOverlay> Overlay;
};

// Writes content as a new file (replacing one of that name).
TRecordingLayout WriteRecordingFile(const std::string& fileName, const TRecordingContent& content,
                                    const TRecordingOptions& options = {});

} // namespace vsr
