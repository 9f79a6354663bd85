#include "render/CursorPicture.h"

#include <algorithm>
#include <string_view>

namespace vsr {

namespace {

// One character per pixel, each a colour of the 16-colour palette below.
constexpr std::array<std::string_view, TCursorPicture::Height> cCursorRows = {
    "................................", "................................",
    "................................", ".........#......................",
    ".........##.....................", ".........#o#....................",
    ".........#oo#...................", ".........#ooo#..................",
    ".........#oooo#.................", ".........#ooooo#................",
    ".........#oooooo#...............", ".........#ooooooo#..............",
    ".........#oooooooo#.............", ".........#ooooo#####............",
    ".........#oo#oo#................", ".........#o#.#oo#...............",
    ".........##..#oo#...............", ".........#....#oo#..............",
    "..............#oo#..............", "...............#oo#.............",
    "...............#oo#.............", "................##..............",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
};

// The 16 colours of the picture's palette, by the character that stands for them.
// '#' black, '.' silver, 'o' white.
constexpr std::string_view cPaletteKeys = "#RGYBMC.srgybmco";
constexpr std::array<std::uint32_t, 16> cPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

constexpr bool RowsUsePalette() {
    for (std::string_view row : cCursorRows)
        if (row.size() != TCursorPicture::Width ||
            row.find_first_not_of(cPaletteKeys) != std::string_view::npos)
            return false;
    return true;
}
static_assert(RowsUsePalette());

TPixel32 PaletteColour(char key) {
    return Opaque(cPalette[cPaletteKeys.find(key)]);
}

} // namespace

TCursorPicture::TCursorPicture() {
    for (std::int32_t y = 0; y < Height; ++y)
        for (std::int32_t x = 0; x < Width; ++x)
            FPixels[y * Width + x] = PaletteColour(cCursorRows[y][x]);
    const TPixel32 transparent = TransparentColour();
    std::transform(FPixels.begin(), FPixels.end(), FArgbPixels.begin(),
                   [transparent](TPixel32 pixel) { return pixel == transparent ? 0u : pixel; });
}

const TCursorPicture& TCursorPicture::Instance() {
    static const TCursorPicture picture;
    return picture;
}

void DrawCursorPicture(TBitmap32& target, const TRect& rect) {
    if (rect.Empty() || target.Empty())
        return;
    const TCursorPicture& cursor = TCursorPicture::Instance();
    // 64-bit: a rectangle reaching far outside may be wider than an int holds.
    const std::int64_t width = std::int64_t{rect.Right} - rect.Left;
    const std::int64_t height = std::int64_t{rect.Bottom} - rect.Top;
    const std::int32_t top = std::max(rect.Top, 0);
    const std::int32_t bottom = std::min(rect.Bottom, target.Height());
    const std::int32_t left = std::max(rect.Left, 0);
    const std::int32_t right = std::min(rect.Right, target.Width());
    for (std::int32_t y = top; y < bottom; ++y) {
        const auto sourceY = static_cast<std::int32_t>((std::int64_t{y} - rect.Top) *
                                                       TCursorPicture::Height / height);
        for (std::int32_t x = left; x < right; ++x) {
            const auto sourceX = static_cast<std::int32_t>((std::int64_t{x} - rect.Left) *
                                                           TCursorPicture::Width / width);
            if (!cursor.Transparent(sourceX, sourceY))
                target.At(x, y) = cursor.View().At(sourceX, sourceY);
        }
    }
}

} // namespace vsr
