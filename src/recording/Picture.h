#pragma once
// TPicture: a header or trailer picture of an overlay block, decoded from the complete bytes of
// a picture file. Pixels are 0x00RRGGBB, rows top-down, as in TScreenPicture, so that they can
// be drawn at their own size into the off-screen picture.

#include "platform/Stream.h"
#include "recording/ScreenPicture.h"
#include "shell/Exception.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vsr {

// Bytes that a picture class cannot decode.
class EPicture : public Exception {
public:
    using Exception::Exception;
};

// Pictures larger than this are refused before any pixel memory is taken. A header or trailer
// picture is shown on the recorded screen, so a screen's limits serve (16384 a side, 4K and a
// half in all: 64 MB of pixels); a file of a few bytes can claim any size.
inline constexpr std::int32_t MaxPictureSide = 16384;
inline constexpr std::int64_t MaxPicturePixels = std::int64_t{1} << 24;

class TPicture {
public:
    virtual ~TPicture() = default;
    TPicture& operator=(const TPicture&) = delete;

    std::int32_t Width() const { return FImage.Width; }
    std::int32_t Height() const { return FImage.Height; }
    bool Empty() const { return FImage.Pixels.empty(); }
    const TScreenPicture& Image() const { return FImage; }

    // Decodes the bytes from the stream's position to its end. On failure raises EPicture and
    // keeps the picture it held before.
    void LoadFromStream(TStream& stream);
    void LoadFromBytes(std::span<const std::byte> bytes);

    // An independent copy of the same class.
    virtual std::unique_ptr<TPicture> Clone() const = 0;

protected:
    TPicture() = default;
    TPicture(const TPicture&) = default;

    virtual TScreenPicture Decode(std::span<const std::byte> bytes) const = 0;

private:
    TScreenPicture FImage;
};

// Raises EPicture with "<what>: too large (<width> x <height>)" unless the size is at least
// 1 x 1 and within the limits above.
void CheckPictureSize(const std::string& what, std::int64_t width, std::int64_t height);

} // namespace vsr
