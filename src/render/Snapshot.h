#pragma once
// The picture the player holds at a play time, composed without playing: from the last key
// frame not later than the time, every frame record up to the time in file order, each tile
// decoded and copied as the playback loop does.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "recording/RecordLists.h"
#include "render/Bitmap32.h"
#include "render/Geometry.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vsr {

struct TComposeCount {
    std::int64_t Records = 0; // frame records read up to the time
    std::int64_t Drawn = 0;   // of them, tiles that could be decoded (a tile that a later one
                              // replaces whole is not decoded)
};

// The first record later than the composed time, which composing had to read: a caller that
// goes on playing from there starts with it.
struct TNextFrame {
    bool Valid = false;
    std::uint32_t Time = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    TMemoryStream Payload;
};

// Makes frame the record of time at (x, y) with a copy of payload.
void HoldFrame(TNextFrame& frame, std::uint32_t time, std::int32_t x, std::int32_t y,
               std::span<const std::byte> payload);

// The last key frame whose time (the first one's counting as 0) is not above time; none
// without key frames.
std::optional<std::size_t> KeyFrameAt(const TCustomScreenRecorderPlaybackFile& reader,
                                      std::uint32_t time);

// Positions reader at KeyFrameAt(time) and copies every record whose Time is not above it
// into bitmap, stopping at the first later record (times do not decrease within a recording),
// which goes to next when given. bitmap keeps what it held where no tile falls.
TComposeCount ComposeAt(TCustomScreenRecorderPlaybackFile& reader, std::uint32_t time,
                        TBitmap32& bitmap, TNextFrame* next = nullptr);

// As ComposeAt, on a bitmap that already holds the picture composed at keyFrame's time (a
// cached key frame): the records up to that time are read but not decoded again.
TComposeCount ComposeFromKeyFrame(TCustomScreenRecorderPlaybackFile& reader, std::size_t keyFrame,
                                  std::uint32_t time, TBitmap32& bitmap,
                                  TNextFrame* next = nullptr);

// The next recorded cursor position after time: the first entry, in track order, whose Time
// is greater. None when no entry is later.
std::optional<TPoint> NextCursorPos(const TCursorList& cursors, std::uint32_t time);

// Where the player draws the cursor at play time time: the next recorded position after it;
// past the track's last time, the position stays where the track left it (the first entry
// carrying the greatest time); (0, 0), where the player starts, when no entry lies after 0.
TPoint CursorPosAt(const TCursorList& cursors, std::uint32_t time);

// The pointer as the play panel draws it over the picture shown at its natural size; the area
// it covers.
TRect DrawRecordedCursor(TBitmap32& bitmap, const TPoint& position);

} // namespace vsr
