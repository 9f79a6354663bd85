#pragma once
// TPictureSequence: the pictures of a recording at times that do not decrease, each one
// continuing from the one before as the playback loop does; the first (or one at an earlier
// time) is composed afresh with ComposeAt. Used where pictures are sampled at a fixed rate.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Snapshot.h"
#include "render/TileDecoder.h"

#include <cstdint>
#include <vector>

namespace vsr {

class TPictureSequence {
public:
    // bitmap must be prepared at the recording's size; both must outlive the sequence.
    TPictureSequence(TCustomScreenRecorderPlaybackFile& reader, TBitmap32& bitmap);

    // Makes bitmap the picture held at time.
    void ShowAt(std::uint32_t time);

private:
    TCustomScreenRecorderPlaybackFile& FReader;
    TBitmap32& FBitmap;
    TTileLimit FLimit;
    TNextFrame FNext;
    std::vector<std::byte> FPayload;
    bool FStarted = false;
    bool FEnded = false; // no record after the last one drawn
    std::uint32_t FTime = 0;
};

} // namespace vsr
