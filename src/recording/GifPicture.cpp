#include "recording/GifPicture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace vsr {

namespace {

[[noreturn]] void Fail(const std::string& reason) {
    throw EPicture("Invalid GIF picture: " + reason);
}

std::string GifError(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "error " + std::to_string(code);
}

struct TSource {
    std::span<const std::byte> Bytes;
    std::size_t Position = 0;
};

extern "C" int ReadSource(GifFileType* gif, GifByteType* buffer, int length) {
    auto* source = static_cast<TSource*>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(length, 0)),
                                   source->Bytes.size() - source->Position);
    if (n > 0)
        std::memcpy(buffer, source->Bytes.data() + source->Position, n);
    source->Position += n;
    return static_cast<int>(n);
}

struct TGifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using TGifFile = std::unique_ptr<GifFileType, TGifCloser>;

void Check(GifFileType* gif, int result) {
    if (result == GIF_ERROR)
        Fail(GifError(gif->Error));
}

// Reads the extensions before the first image; returns its transparent colour index or -1.
int ReadExtension(GifFileType* gif, int transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    Check(gif, DGifGetExtension(gif, &code, &block));
    if (code == GRAPHICS_EXT_FUNC_CODE && block) {
        GraphicsControlBlock control{};
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            transparent = control.TransparentColor;
    }
    while (block) // the rest of the extension's sub-blocks
        Check(gif, DGifGetExtensionNext(gif, &block));
    return transparent;
}

// Rows in the order they are stored: interlaced images come in four passes.
std::vector<int> RowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    constexpr std::array<int, 4> Start = {0, 4, 2, 1};
    constexpr std::array<int, 4> Step = {8, 8, 4, 2};
    for (std::size_t pass = 0; pass < Start.size(); ++pass)
        for (int y = Start[pass]; y < height; y += Step[pass])
            rows.push_back(y);
    return rows;
}

TScreenPicture ReadFirstImage(GifFileType* gif, int transparent) {
    Check(gif, DGifGetImageDesc(gif));
    const GifImageDesc& image = gif->Image;
    if (image.Width < 1 || image.Height < 1)
        Fail("empty image");
    const std::int64_t right = std::int64_t{image.Left} + image.Width;
    const std::int64_t bottom = std::int64_t{image.Top} + image.Height;
    const std::int64_t width = std::max<std::int64_t>(gif->SWidth, right);
    const std::int64_t height = std::max<std::int64_t>(gif->SHeight, bottom);
    CheckPictureSize("Invalid GIF picture", width, height);

    const ColorMapObject* colours = image.ColorMap ? image.ColorMap : gif->SColorMap;
    if (!colours)
        Fail("no colour table");
    TScreenPicture picture(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                           GifBackgroundColour);
    std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
    for (const int row : RowOrder(image.Height, image.Interlace)) {
        Check(gif, DGifGetLine(gif, line.data(), image.Width));
        for (int x = 0; x < image.Width; ++x) {
            const int index = line[static_cast<std::size_t>(x)];
            if (index == transparent)
                continue;
            std::uint32_t colour = 0; // an index past the table is black
            if (index < colours->ColorCount) {
                const GifColorType& c = colours->Colors[index];
                colour = std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue;
            }
            picture.At(image.Left + x, image.Top + row) = colour;
        }
    }
    return picture;
}

} // namespace

std::unique_ptr<TPicture> TGifPicture::Clone() const {
    return std::make_unique<TGifPicture>(*this);
}

// Record by record rather than DGifSlurp: that reads every frame and takes each frame's
// raster at the size its descriptor claims before any check.
TScreenPicture TGifPicture::Decode(std::span<const std::byte> bytes) const {
    TSource source{bytes};
    int error = 0;
    const TGifFile gif(DGifOpen(&source, ReadSource, &error));
    if (!gif)
        Fail(GifError(error));
    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        Check(gif.get(), DGifGetRecordType(gif.get(), &record));
        switch (record) {
        case EXTENSION_RECORD_TYPE:
            transparent = ReadExtension(gif.get(), transparent);
            break;
        case IMAGE_DESC_RECORD_TYPE:
            return ReadFirstImage(gif.get(), transparent);
        case TERMINATE_RECORD_TYPE:
            Fail("no image");
        default:
            Fail("unknown record");
        }
    }
}

} // namespace vsr
