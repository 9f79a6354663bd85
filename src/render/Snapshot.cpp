#include "render/Snapshot.h"

#include "render/CursorPicture.h"
#include "render/Drawing.h"
#include "render/TileDecoder.h"

#include <algorithm>
#include <compare>
#include <map>
#include <span>
#include <utility>
#include <vector>

namespace vsr {

namespace {

enum class TKeyFramePicture { Compose, Held };

// A tile that a later tile of the same place and size replaces never shows in the composed
// picture, so only the last tile of each rectangle is decoded; the kept tiles are drawn in the
// order they came, which gives exactly the picture of drawing every one. The payloads held
// wait in memory up to a bound, then are drawn.
class TLatestTiles {
public:
    static constexpr std::size_t cHeldBytes = 32u * 1024u * 1024u;

    TLatestTiles(TBitmap32& bitmap, const TTileLimit& limit) : FBitmap(bitmap), FLimit(limit) {}
    ~TLatestTiles() { Flush(); }
    TLatestTiles(const TLatestTiles&) = delete;
    TLatestTiles& operator=(const TLatestTiles&) = delete;

    // Takes payload's bytes, handing back a buffer to read the next record into; false when the
    // payload cannot be decoded.
    bool Add(std::int32_t x, std::int32_t y, std::vector<std::byte>& payload) {
        const TTileSize size = DecodableSize(payload, FLimit);
        if (size.Width == 0)
            return false;
        TPending& slot = FPending[{x, y, size.Width, size.Height}];
        FBytes = FBytes - slot.Payload.size() + payload.size();
        slot.Order = FNextOrder++;
        std::swap(slot.Payload, payload);
        if (FBytes > cHeldBytes)
            Flush();
        return true;
    }

    void Flush() {
        std::vector<std::pair<const TKey*, const TPending*>> order;
        order.reserve(FPending.size());
        for (const auto& [key, pending] : FPending)
            order.emplace_back(&key, &pending);
        std::ranges::sort(order, {}, [](const auto& entry) { return entry.second->Order; });
        for (const auto& [key, pending] : order)
            DrawTile(pending->Payload, FBitmap, key->X, key->Y, FLimit);
        FPending.clear();
        FBytes = 0;
    }

private:
    struct TKey {
        std::int32_t X;
        std::int32_t Y;
        std::int32_t Width;
        std::int32_t Height;
        auto operator<=>(const TKey&) const = default;
    };
    struct TPending {
        std::uint64_t Order = 0;
        std::vector<std::byte> Payload;
    };

    TBitmap32& FBitmap;
    TTileLimit FLimit;
    std::map<TKey, TPending> FPending;
    std::size_t FBytes = 0;
    std::uint64_t FNextOrder = 0;
};

TComposeCount Compose(TCustomScreenRecorderPlaybackFile& reader, std::size_t keyFrame,
                      std::uint32_t time, TBitmap32& bitmap, TNextFrame* next,
                      TKeyFramePicture keyPicture) {
    TComposeCount count;
    const std::uint32_t keyTime = reader.KeyFrameTime(keyFrame);
    reader.SeekTime(keyTime);
    if (next)
        next->Valid = false;
    TLatestTiles tiles(bitmap, TileLimitFor(reader.Header().Width, reader.Header().Height));
    std::vector<std::byte> payload;
    std::uint32_t recordTime = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    while (reader.ReadFrameToBuffer(recordTime, x, y, payload)) {
        if (recordTime > time) {
            if (next)
                HoldFrame(*next, recordTime, x, y, payload);
            break;
        }
        ++count.Records;
        if (keyPicture == TKeyFramePicture::Held && recordTime <= keyTime)
            continue;
        if (tiles.Add(x, y, payload))
            ++count.Drawn;
    }
    return count;
}

} // namespace

void HoldFrame(TNextFrame& frame, std::uint32_t time, std::int32_t x, std::int32_t y,
               std::span<const std::byte> payload) {
    frame.Valid = true;
    frame.Time = time;
    frame.X = x;
    frame.Y = y;
    frame.Payload.SetSize(static_cast<std::int64_t>(payload.size()));
    std::ranges::copy(payload, frame.Payload.Memory().begin());
    frame.Payload.SetPosition(0);
}

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

TRect DrawRecordedCursor(TBitmap32& bitmap, const TPoint& position) {
    const TRect whole{0, 0, bitmap.Width(), bitmap.Height()};
    const TRect area = CursorRect(position.X, position.Y, TCursorPicture::Width,
                                  TCursorPicture::Height, whole, bitmap.Width(), bitmap.Height());
    DrawCursorPicture(bitmap, area);
    return VisiblePart(area.Left, area.Top, area.Width(), area.Height(), bitmap.Width(),
                       bitmap.Height());
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
