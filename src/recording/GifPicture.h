#pragma once
// TGifPicture: the first image of a GIF file (also interlaced), on a canvas of the logical
// screen's size. Transparent pixels and the canvas around the image are white, as if the image
// were drawn over the white fill that a header or trailer picture is shown on.

#include "recording/Picture.h"

namespace vsr {

inline constexpr std::uint32_t GifBackgroundColour = 0xFFFFFF;

class TGifPicture final : public TPicture {
public:
    TGifPicture() = default;
    std::unique_ptr<TPicture> Clone() const override;

protected:
    TScreenPicture Decode(std::span<const std::byte> bytes) const override;
};

} // namespace vsr
