#pragma once
// TKeyFramePictures: pictures composed at key frames, kept so that a picture at any time can be
// composed from the nearest key frame without decoding that key frame's tiles again.
//
// Each picture is ComposeAt(reader, KeyFrameTime(k)) on a picture prepared black, keyed by the
// key frame's index. The total of the pixel bytes held stays within the capacity: the least
// recently used pictures go first, and a picture larger than the whole capacity is not kept.
//
// One thread at a time; the pictures belong to the recording of the reader they were composed
// from.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Snapshot.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

namespace vsr {

class TKeyFramePictures {
public:
    static constexpr std::size_t cDefaultCapacity = 64u * 1024u * 1024u;

    explicit TKeyFramePictures(std::size_t capacityBytes = cDefaultCapacity);

    // The picture of keyFrame, marked as just used; null when it is not held.
    const TBitmap32* Find(std::size_t keyFrame);
    // The picture of keyFrame, composed from reader and kept when it is not held. Valid until
    // the next call that may compose. Null when one picture exceeds the capacity.
    const TBitmap32* Picture(TCustomScreenRecorderPlaybackFile& reader, std::size_t keyFrame);

    std::size_t Capacity() const { return FCapacity; }
    std::size_t Bytes() const { return FBytes; }
    std::size_t Count() const { return FOrder.size(); }
    void Clear();

private:
    struct TEntry {
        std::size_t KeyFrame = 0;
        std::unique_ptr<TBitmap32> Picture;
    };
    using TOrder = std::list<TEntry>; // most recently used first

    std::size_t FCapacity;
    std::size_t FBytes = 0;
    TOrder FOrder;
    std::unordered_map<std::size_t, TOrder::iterator> FIndex;
};

// The picture at time, exactly as ComposeAt gives it on bitmap prepared black at the screen's
// size: the held (or newly composed) picture of the key frame at time is copied into bitmap,
// then the records after it are drawn. Before the first key frame bitmap is left as it is.
TComposeCount ComposeCached(TKeyFramePictures& pictures, TCustomScreenRecorderPlaybackFile& reader,
                            std::uint32_t time, TBitmap32& bitmap, TNextFrame* next = nullptr);

// Replaces target's size and content with source's, under target's canvas lock.
void CopyBitmap(const TBitmap32& source, TBitmap32& target);

} // namespace vsr
