#include "recording/SoundTrackRange.h"

#include "shell/Format.h"
#include "shell/Messages.h"

namespace vsr {

namespace {

constexpr auto TrailerSize = static_cast<std::int64_t>(sizeof(TOverlayTrailer));

} // namespace

std::optional<TOverlayTrailer> ReadOverlayTrailer(TStream& stream) {
    const std::int64_t size = stream.Size();
    if (size <= TrailerSize)
        return std::nullopt;
    stream.SetPosition(size - TrailerSize);
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
    if (range.Trailer) {
        // The block lies before its trailer.
        const std::int64_t overlay = range.Trailer->OverlayOffset;
        if (overlay < 0 || overlay > range.End - TrailerSize) {
            range.Damage = "the overlay trailer points outside the recording";
            return range;
        }
        range.End = overlay;
    }
    if (audioOffset < 0 || audioOffset > range.End)
        range.Damage = "the voice track's offset lies outside the recording";
    return range;
}

void TSoundTrackRange::Check() const {
    if (!Damage.empty())
        throw Exception(Format("%s: %s", sInvalidSRFile, Damage));
}

} // namespace vsr
