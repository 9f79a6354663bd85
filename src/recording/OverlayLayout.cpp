#include "recording/OverlayLayout.h"

#include <algorithm>
#include <limits>

namespace vsr {

namespace {

struct TRange {
    std::int64_t Start = 0;
    std::int64_t End = 0;
};

struct TPictureRanges {
    TRange Head;
    TRange Tail;
};

TRange After(std::int64_t start, const TOverlayPicture& picture) {
    return {start, start + static_cast<std::int64_t>(picture.Bytes.size())};
}

TPictureRanges PictureRanges(const TRecordingOverlay& overlay) {
    constexpr std::int64_t first = sizeof(TOverlayHeader);
    const TOverlayPicture& head = overlay.HeaderPicture;
    TPictureRanges ranges{After(first, head), After(first, head)};
    if (!overlay.TrailerPicture)
        return ranges; // one stored picture for both roles
    const TOverlayPicture& tail = *overlay.TrailerPicture;
    if (head.Bytes.empty() && !tail.Bytes.empty()) {
        // Equal starts would mean "same picture", so the trailer goes first here.
        ranges.Tail = After(first, tail);
        ranges.Head = {ranges.Tail.End, ranges.Tail.End};
    } else {
        ranges.Tail = After(ranges.Head.End, tail);
    }
    return ranges;
}

TOverlayHeader FillHeader(const TRecordingOverlay& overlay, const TPictureRanges& ranges) {
    const auto linkBytes = static_cast<std::int64_t>(overlay.Link.size());
    TOverlayHeader header{};
    header.Magic = MagicField<8>(OverlayHeaderMagic);
    header.HeaderPictureStart = ranges.Head.Start;
    header.HeaderPictureEnd = ranges.Head.End;
    header.TrailerPictureStart = ranges.Tail.Start;
    header.TrailerPictureEnd = ranges.Tail.End;
    header.LinkStart = std::max(ranges.Head.End, ranges.Tail.End);
    header.LinkEnd = header.LinkStart + (linkBytes == 0 ? 0 : 2 + linkBytes);
    header.HeaderDelay = overlay.HeaderDelaySeconds;
    header.TrailerDelay = overlay.TrailerDelaySeconds;
    header.HeaderPictureType = static_cast<std::uint8_t>(overlay.HeaderPicture.Type);
    header.TrailerPictureType = static_cast<std::uint8_t>(
        (overlay.TrailerPicture ? *overlay.TrailerPicture : overlay.HeaderPicture).Type);
    return header;
}

} // namespace

TOverlayHeader OverlayHeaderFor(const TRecordingOverlay& overlay,
                                std::vector<TOverlayPiece>& pictures) {
    if (overlay.Link.size() > std::numeric_limits<std::uint16_t>::max())
        throw Exception("The overlay link is longer than 65535 characters");
    const TPictureRanges ranges = PictureRanges(overlay);
    pictures = {{ranges.Head.Start, overlay.HeaderPicture.Bytes}};
    if (overlay.TrailerPicture)
        pictures.push_back({ranges.Tail.Start, overlay.TrailerPicture->Bytes});
    std::ranges::stable_sort(pictures, {}, &TOverlayPiece::Start);
    return FillHeader(overlay, ranges);
}

} // namespace vsr
