#include "render/PictureSequence.h"

namespace vsr {

void TChangedArea::Add(const TRect& rect) {
    if (rect.Empty())
        return;
    FRects.push_back(rect);
    if (FRects.size() <= cMostRects)
        return;
    TRect all;
    for (const TRect& each : FRects)
        all = UnionRect(all, each);
    FRects.assign(1, all);
}

TPictureSequence::TPictureSequence(TCustomScreenRecorderPlaybackFile& reader, TBitmap32& bitmap)
    : FReader(reader), FBitmap(bitmap),
      FLimit(TileLimitFor(reader.Header().Width, reader.Header().Height)) {}

void TPictureSequence::ShowAt(std::uint32_t time) {
    if (!FStarted || time < FTime) {
        PrepareBitmap(FBitmap, FBitmap.Width(), FBitmap.Height());
        ComposeAt(FReader, time, FBitmap, &FNext);
        FChanged = {};
        FChanged.Add({0, 0, FBitmap.Width(), FBitmap.Height()});
        FStarted = true;
        FEnded = !FNext.Valid;
        FTime = time;
        return;
    }
    FTime = time;
    if (FEnded || FNext.Time > time)
        return;
    Draw(FNext.Payload.Memory(), FNext.X, FNext.Y);
    FNext.Valid = false;
    std::uint32_t recordTime = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    while (FReader.ReadFrameToBuffer(recordTime, x, y, FPayload)) {
        if (recordTime > time) {
            HoldFrame(FNext, recordTime, x, y, FPayload);
            return;
        }
        Draw(FPayload, x, y);
    }
    FEnded = true;
}

void TPictureSequence::Draw(std::span<const std::byte> payload, std::int32_t x, std::int32_t y) {
    const TTileSize size = DrawTile(payload, FBitmap, x, y, FLimit);
    FChanged.Add(VisiblePart(x, y, size.Width, size.Height, FBitmap.Width(), FBitmap.Height()));
}

} // namespace vsr
