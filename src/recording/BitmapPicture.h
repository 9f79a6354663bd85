#pragma once
// TBitmapPicture: a Windows bitmap file ("BM"): the file header, an info header of 40, 52, 56,
// 108 or 124 bytes, 1, 4 or 8 bits per pixel with a colour table (also RLE8 and RLE4
// compressed), 16 bits (5-5-5, or masks such as 5-6-5), 24 and 32 bits; rows bottom-up or
// top-down. Channels of fewer than 8 bits are widened with zero low bits, as tiles are.

#include "recording/Picture.h"

namespace vsr {

class TBitmapPicture final : public TPicture {
public:
    TBitmapPicture() = default;
    std::unique_ptr<TPicture> Clone() const override;

protected:
    TScreenPicture Decode(std::span<const std::byte> bytes) const override;
};

} // namespace vsr
