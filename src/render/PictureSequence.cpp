#include "render/PictureSequence.h"

namespace vsr {

TPictureSequence::TPictureSequence(TCustomScreenRecorderPlaybackFile& reader, TBitmap32& bitmap)
    : FReader(reader), FBitmap(bitmap),
      FLimit(TileLimitFor(reader.Header().Width, reader.Header().Height)) {}

void TPictureSequence::ShowAt(std::uint32_t time) {
    if (!FStarted || time < FTime) {
        PrepareBitmap(FBitmap, FBitmap.Width(), FBitmap.Height());
        ComposeAt(FReader, time, FBitmap, &FNext);
        FStarted = true;
        FEnded = !FNext.Valid;
        FTime = time;
        return;
    }
    FTime = time;
    if (FEnded || FNext.Time > time)
        return;
    DrawTile(FNext.Payload.Memory(), FBitmap, FNext.X, FNext.Y, FLimit);
    FNext.Valid = false;
    std::uint32_t recordTime = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    while (FReader.ReadFrameToBuffer(recordTime, x, y, FPayload)) {
        if (recordTime > time) {
            HoldFrame(FNext, recordTime, x, y, FPayload);
            return;
        }
        DrawTile(FPayload, FBitmap, x, y, FLimit);
    }
    FEnded = true;
}

} // namespace vsr
