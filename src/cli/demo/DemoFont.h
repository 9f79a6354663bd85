#pragma once
// A built-in 5 x 7 block font for the demo's pictures: capitals, digits and some punctuation;
// small letters are drawn as capitals, other characters as a filled block.

#include "recording/ScreenPicture.h"

#include <cstdint>
#include <string_view>

namespace vsr::cli::demo {

inline constexpr std::int32_t GlyphWidth = 5;
inline constexpr std::int32_t GlyphHeight = 7;

// Fills the rectangle, clipped to the picture.
void FillRect(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::int32_t width,
              std::int32_t height, std::uint32_t colour);

// Draws text with its top-left corner at (x, y), each font dot scale x scale pixels and one
// dot column between characters.
void DrawText(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::string_view text,
              std::int32_t scale, std::uint32_t colour);

// The width DrawText needs for text.
std::int32_t TextWidth(std::string_view text, std::int32_t scale);

} // namespace vsr::cli::demo
