#include "render/Snapshot.h"

#include "render/Drawing.h"
#include "render/TileDecoder.h"

#include <algorithm>

namespace vsr {

namespace {

// The key frame before the first one later than time, scanning in index order as the reader's
// SeekTime does (in an index whose times do not decrease: the last one not later than time).
// None without key frames.
std::optional<std::size_t> KeyFrameAt(const TCustomScreenRecorderPlaybackFile& reader,
                                      std::uint32_t time) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < reader.KeyFrames().Count() && reader.KeyFrameTime(i) <= time; ++i)
        found = i;
    return found;
}

} // namespace

TComposeCount ComposeAt(TCustomScreenRecorderPlaybackFile& reader, std::uint32_t time,
                        TBitmap32& bitmap) {
    TComposeCount count;
    const std::optional<std::size_t> keyFrame = KeyFrameAt(reader, time);
    if (!keyFrame)
        return count;
    reader.SeekTime(reader.KeyFrameTime(*keyFrame));
    TMemoryStream payload;
    TTileDecoder decoder(TileLimitFor(reader.Header().Width, reader.Header().Height));
    std::uint32_t frameTime = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    while (reader.ReadFrame(frameTime, x, y, payload) && frameTime <= time) {
        ++count.Records;
        if (const TTileImage* tile = decoder.TileToBitmap(payload)) {
            BlitTile(bitmap, tile->View(), x, y);
            ++count.Drawn;
        }
    }
    return count;
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
