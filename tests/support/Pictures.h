#pragma once
// Pictures made in the tests: screen pictures with recognisable pixels, Windows bitmaps written
// field by field, JPEG files encoded with libjpeg, GIF files encoded with giflib, and
// comparisons of what the program drew with what was recorded.

#include "recording/ScreenPicture.h"
#include "render/Pixels32.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsr::test {

// A picture whose every pixel depends on position and seed.
TScreenPicture PatternPicture(std::int32_t width, std::int32_t height, std::uint32_t seed);
// Pseudo-random pixels: a picture that compresses badly.
TScreenPicture NoisePicture(std::int32_t width, std::int32_t height, std::uint32_t seed);
// picture with a rectangle filled with colour.
TScreenPicture WithRect(TScreenPicture picture, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint32_t colour);
// A smooth picture that survives JPEG compression closely.
TScreenPicture SmoothPicture(std::int32_t width, std::int32_t height);

// Each channel cut to 5 bits and widened back by repeating its top bits, as a screen shows a
// 5-5-5 pixel.
TScreenPicture Expanded555(const TScreenPicture& picture);
// Same size and, pixel for pixel, the same colour (0xRRGGBB) with an opaque top byte.
::testing::AssertionResult SamePicture(const TConstPixels32& actual,
                                       const TScreenPicture& expected);
// The largest difference of one colour channel between two pictures of the same size.
int MaxChannelDifference(const TScreenPicture& a, const TScreenPicture& b);

struct TBitmapFileSpec {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool TopDown = false;
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = 0;
    std::uint32_t InfoSize = 40;
    std::uint32_t ClrUsed = 0;
    std::vector<std::uint32_t> Palette;   // 0x00RRGGBB, stored as B, G, R, 0
    std::array<std::uint32_t, 3> Masks{}; // stored when Compression is 3
    std::vector<std::uint32_t> Values;    // per pixel, rows top-down: an index or a raw value
    std::vector<std::byte> Encoded;       // pixel data as is (run-length data), instead of Values
    std::uint32_t FillerByte = 0;         // the 4th byte of 32-bit pixels
};

std::vector<std::byte> BitmapFile(const TBitmapFileSpec& spec);

// A 24-bit bottom-up bitmap file of picture.
std::vector<std::byte> BitmapFileOf(const TScreenPicture& picture);

enum class TJpegColour { Rgb, Greyscale };
std::vector<std::byte> JpegFileOf(const TScreenPicture& picture, int quality = 95,
                                  TJpegColour colour = TJpegColour::Rgb);

struct TGifImageSpec {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Interlaced = false;
    int TransparentIndex = -1;
    std::vector<std::uint32_t> LocalPalette; // empty: the global one
    std::vector<std::uint8_t> Indices;       // rows top-down
};

struct TGifFileSpec {
    std::int32_t ScreenWidth = 0;
    std::int32_t ScreenHeight = 0;
    int BackgroundIndex = 0;
    std::vector<std::uint32_t> GlobalPalette; // 0x00RRGGBB; a power of two entries, or empty
    std::vector<TGifImageSpec> Images;
};

std::vector<std::byte> GifFile(const TGifFileSpec& spec);

} // namespace vsr::test
