#pragma once
// TPictureSequence: the pictures of a recording at times that do not decrease, each one
// continuing from the one before as the playback loop does; the first (or one at an earlier
// time) is composed afresh with ComposeAt. Used where pictures are sampled at a fixed rate.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Geometry.h"
#include "render/Snapshot.h"
#include "render/TileDecoder.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace vsr {

// Where a picture changed: the rectangles drawn, or once there are many, the one holding them.
class TChangedArea {
public:
    static constexpr std::size_t cMostRects = 64;

    void Add(const TRect& rect);
    const std::vector<TRect>& Rects() const { return FRects; }

private:
    std::vector<TRect> FRects;
};

class TPictureSequence {
public:
    // bitmap must be prepared at the recording's size; both must outlive the sequence.
    TPictureSequence(TCustomScreenRecorderPlaybackFile& reader, TBitmap32& bitmap);

    // Makes bitmap the picture held at time.
    void ShowAt(std::uint32_t time);
    // The area drawn since the last call: the whole picture after a fresh composition.
    TChangedArea TakeChanged() { return std::exchange(FChanged, {}); }

private:
    void Draw(std::span<const std::byte> payload, std::int32_t x, std::int32_t y);

    TCustomScreenRecorderPlaybackFile& FReader;
    TBitmap32& FBitmap;
    TTileLimit FLimit;
    TNextFrame FNext;
    std::vector<std::byte> FPayload;
    bool FStarted = false;
    bool FEnded = false; // no record after the last one drawn
    std::uint32_t FTime = 0;
    TChangedArea FChanged;
};

} // namespace vsr
