#include "render/KeyFramePictures.h"

#include <algorithm>

namespace vsr {

namespace {

std::size_t PixelBytes(std::int32_t width, std::int32_t height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(TPixel32);
}

} // namespace

TKeyFramePictures::TKeyFramePictures(std::size_t capacityBytes) : FCapacity(capacityBytes) {}

const TBitmap32* TKeyFramePictures::Find(std::size_t keyFrame) {
    const auto found = FIndex.find(keyFrame);
    if (found == FIndex.end())
        return nullptr;
    FOrder.splice(FOrder.begin(), FOrder, found->second);
    return FOrder.front().Picture.get();
}

const TBitmap32* TKeyFramePictures::Picture(TCustomScreenRecorderPlaybackFile& reader,
                                            std::size_t keyFrame) {
    if (const TBitmap32* held = Find(keyFrame))
        return held;
    const TVSRHeader& header = reader.Header();
    const std::size_t bytes = PixelBytes(header.Width, header.Height);
    if (bytes > FCapacity)
        return nullptr;
    auto picture = std::make_unique<TBitmap32>();
    PrepareBitmap(*picture, header.Width, header.Height);
    ComposeAt(reader, reader.KeyFrameTime(keyFrame), *picture);
    while (!FOrder.empty() && FBytes + bytes > FCapacity) {
        const TEntry& oldest = FOrder.back();
        FBytes -= PixelBytes(oldest.Picture->Width(), oldest.Picture->Height());
        FIndex.erase(oldest.KeyFrame);
        FOrder.pop_back();
    }
    FOrder.push_front({keyFrame, std::move(picture)});
    FIndex[keyFrame] = FOrder.begin();
    FBytes += bytes;
    return FOrder.front().Picture.get();
}

void TKeyFramePictures::Clear() {
    FIndex.clear();
    FOrder.clear();
    FBytes = 0;
}

void CopyBitmap(const TBitmap32& source, TBitmap32& target) {
    const auto lock = target.CanvasLock();
    if (target.Width() != source.Width() || target.Height() != source.Height())
        target.SetSize(source.Width(), source.Height());
    std::ranges::copy(source.Pixels(), target.Pixels().begin());
    target.MarkModified();
}

TComposeCount ComposeCached(TKeyFramePictures& pictures, TCustomScreenRecorderPlaybackFile& reader,
                            std::uint32_t time, TBitmap32& bitmap, TNextFrame* next) {
    const std::optional<std::size_t> keyFrame = KeyFrameAt(reader, time);
    if (!keyFrame)
        return ComposeAt(reader, time, bitmap, next);
    const TBitmap32* held = pictures.Picture(reader, *keyFrame);
    if (!held) {
        // Too large to keep: composed from black as the held picture would have been.
        PrepareBitmap(bitmap, reader.Header().Width, reader.Header().Height);
        return ComposeAt(reader, time, bitmap, next);
    }
    CopyBitmap(*held, bitmap);
    return ComposeFromKeyFrame(reader, *keyFrame, time, bitmap, next);
}

} // namespace vsr
