#include "render/Snapshot.h"

#include "render/Drawing.h"
#include "render/TileDecoder.h"

#include <algorithm>

namespace vsr {

namespace {

enum class TKeyFramePicture { Compose, Held };

TComposeCount Compose(TCustomScreenRecorderPlaybackFile& reader, std::size_t keyFrame,
                      std::uint32_t time, TBitmap32& bitmap, TNextFrame* next,
                      TKeyFramePicture keyPicture) {
    TComposeCount count;
    const std::uint32_t keyTime = reader.KeyFrameTime(keyFrame);
    reader.SeekTime(keyTime);
    TNextFrame local;
    TNextFrame& frame = next ? *next : local;
    frame.Valid = false;
    TTileDecoder decoder(TileLimitFor(reader.Header().Width, reader.Header().Height));
    while (reader.ReadFrame(frame.Time, frame.X, frame.Y, frame.Payload)) {
        if (frame.Time > time) {
            frame.Valid = true;
            break;
        }
        ++count.Records;
        if (keyPicture == TKeyFramePicture::Held && frame.Time <= keyTime)
            continue;
        if (const TTileImage* tile = decoder.TileToBitmap(frame.Payload)) {
            BlitTile(bitmap, tile->View(), frame.X, frame.Y);
            ++count.Drawn;
        }
    }
    return count;
}

} // namespace

// Scans in index order as the reader's SeekTime does (in an index whose times do not
// decrease: the last one not later than time).
std::optional<std::size_t> KeyFrameAt(const TCustomScreenRecorderPlaybackFile& reader,
                                      std::uint32_t time) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < reader.KeyFrames().Count() && reader.KeyFrameTime(i) <= time; ++i)
        found = i;
    return found;
}

TComposeCount ComposeAt(TCustomScreenRecorderPlaybackFile& reader, std::uint32_t time,
                        TBitmap32& bitmap, TNextFrame* next) {
    const std::optional<std::size_t> keyFrame = KeyFrameAt(reader, time);
    if (!keyFrame) {
        if (next)
            next->Valid = false;
        return {};
    }
    return Compose(reader, *keyFrame, time, bitmap, next, TKeyFramePicture::Compose);
}

TComposeCount ComposeFromKeyFrame(TCustomScreenRecorderPlaybackFile& reader, std::size_t keyFrame,
                                  std::uint32_t time, TBitmap32& bitmap, TNextFrame* next) {
    return Compose(reader, keyFrame, time, bitmap, next, TKeyFramePicture::Held);
}

std::optional<TPoint> NextCursorPos(const TCursorList& cursors, std::uint32_t time) {
    for (std::size_t i = 0; i < cursors.Count(); ++i)
        if (cursors[i].Time > time)
            return TPoint{cursors[i].X, cursors[i].Y};
    return std::nullopt;
}

TPoint CursorPosAt(const TCursorList& cursors, std::uint32_t time) {
    if (const std::optional<TPoint> next = NextCursorPos(cursors, time))
        return *next;
    std::uint32_t lastTime = 0;
    for (std::size_t i = 0; i < cursors.Count(); ++i)
        lastTime = std::max(lastTime, cursors[i].Time);
    // The player never moves the cursor when no entry lies after 0.
    if (lastTime == 0)
        return {};
    return NextCursorPos(cursors, lastTime - 1).value_or(TPoint{});
}

} // namespace vsr
