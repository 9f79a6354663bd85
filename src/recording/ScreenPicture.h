#pragma once
// TScreenPicture: a picture of the recorded screen area as the writer takes it.
// Pixels are 0x00RRGGBB, rows top-down, Width * Height of them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsr {

struct TScreenPicture {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint32_t> Pixels;

    TScreenPicture() = default;
    TScreenPicture(std::int32_t width, std::int32_t height, std::uint32_t fill = 0)
        : Width(width), Height(height),
          Pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

    std::uint32_t& At(std::int32_t x, std::int32_t y) { return Pixels[Index(x, y)]; }
    std::uint32_t At(std::int32_t x, std::int32_t y) const { return Pixels[Index(x, y)]; }

    bool operator==(const TScreenPicture&) const = default;

private:
    std::size_t Index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
               static_cast<std::size_t>(x);
    }
};

} // namespace vsr
