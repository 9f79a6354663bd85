#include "recording/SoundTrackRange.h"

namespace vsr {

std::optional<TOverlayTrailer> ReadOverlayTrailer(TStream& stream) {
    const std::int64_t size = stream.Size();
    if (size <= static_cast<std::int64_t>(sizeof(TOverlayTrailer)))
        return std::nullopt;
    stream.SetPosition(size - static_cast<std::int64_t>(sizeof(TOverlayTrailer)));
    TOverlayTrailer trailer{};
    if (!ReadRecord(stream, trailer) || !HasOverlayTrailerMagic(trailer))
        return std::nullopt;
    return trailer;
}

TSoundTrackRange LocateSoundTrack(TStream& stream, std::int64_t audioOffset) {
    TSoundTrackRange range;
    range.Offset = audioOffset;
    range.End = stream.Size();
    range.Trailer = ReadOverlayTrailer(stream);
    if (range.Trailer)
        range.End = range.Trailer->OverlayOffset;
    return range;
}

} // namespace vsr
