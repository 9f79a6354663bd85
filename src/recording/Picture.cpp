#include "recording/Picture.h"

#include "shell/Format.h"

#include <algorithm>
#include <vector>

namespace vsr {

void TPicture::LoadFromStream(TStream& stream) {
    const std::int64_t rest = stream.Size() - stream.Position();
    std::vector<std::byte> bytes(static_cast<std::size_t>(std::max<std::int64_t>(rest, 0)));
    stream.ReadBuffer(bytes);
    LoadFromBytes(bytes);
}

void TPicture::LoadFromBytes(std::span<const std::byte> bytes) {
    FImage = Decode(bytes);
}

void CheckPictureSize(const std::string& what, std::int64_t width, std::int64_t height) {
    if (width < 1 || height < 1)
        throw EPicture(Format("%s: empty picture (%d x %d)", what.c_str(), width, height));
    if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        throw EPicture(Format("%s: too large (%d x %d)", what.c_str(), width, height));
}

} // namespace vsr
