#include "cli/PngFile.h"

#include "shell/Exception.h"
#include "shell/Format.h"

#include <png.h>

#include <cstdint>
#include <vector>

namespace vsr::cli {

void WritePngFile(const std::string& fileName, const TConstPixels32& picture) {
    if (picture.Empty())
        throw Exception(Format("Cannot write %s: the picture is empty", fileName));
    const auto width = static_cast<std::size_t>(picture.Width);
    std::vector<std::uint8_t> rgb(width * 3 * static_cast<std::size_t>(picture.Height));
    std::uint8_t* out = rgb.data();
    for (std::int32_t y = 0; y < picture.Height; ++y)
        for (std::int32_t x = 0; x < picture.Width; ++x) {
            const TPixel32 pixel = picture.At(x, y);
            *out++ = static_cast<std::uint8_t>(pixel >> 16);
            *out++ = static_cast<std::uint8_t>(pixel >> 8);
            *out++ = static_cast<std::uint8_t>(pixel);
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = PNG_FORMAT_RGB;
    // The simplified interface reports failures in image.message instead of jumping out.
    if (!png_image_write_to_file(&image, fileName.c_str(), 0, rgb.data(), 0, nullptr))
        throw Exception(Format("Cannot write %s: %s", fileName, image.message));
}

} // namespace vsr::cli
