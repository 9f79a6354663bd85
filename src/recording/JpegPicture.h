#pragma once
// TJpegPicture: a JPEG file (greyscale or colour), decoded with libjpeg to RGB.

#include "recording/Picture.h"

namespace vsr {

class TJpegPicture final : public TPicture {
public:
    TJpegPicture() = default;
    std::unique_ptr<TPicture> Clone() const override;

protected:
    TScreenPicture Decode(std::span<const std::byte> bytes) const override;
};

} // namespace vsr
