#include "support/Pictures.h"

#include "shell/Format.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <gif_lib.h>
#include <jpeglib.h>

namespace vsr::test {

TScreenPicture PatternPicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TScreenPicture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.At(x, y) = ((x * 7 + seed * 13) & 0xFF) << 16 |
                               ((y * 11 + seed * 5) & 0xFF) << 8 | ((x * y + seed) & 0xFF);
    return picture;
}

TScreenPicture NoisePicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TScreenPicture picture(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint32_t& pixel : picture.Pixels) {
        state = state * 1664525u + 1013904223u;
        pixel = state >> 8;
    }
    return picture;
}

TScreenPicture WithRect(TScreenPicture picture, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint32_t colour) {
    for (std::int32_t row = y; row < y + height; ++row)
        for (std::int32_t column = x; column < x + width; ++column)
            picture.At(column, row) = colour;
    return picture;
}

TScreenPicture Expanded555(const TScreenPicture& picture) {
    TScreenPicture result = picture;
    for (std::uint32_t& pixel : result.Pixels) {
        std::uint32_t widened = 0;
        for (int shift : {16, 8, 0}) {
            const std::uint32_t top5 = (pixel >> (shift + 3)) & 0x1F;
            widened |= ((top5 << 3) | (top5 >> 2)) << shift;
        }
        pixel = widened;
    }
    return result;
}

::testing::AssertionResult SamePicture(const TConstPixels32& actual,
                                       const TScreenPicture& expected) {
    if (actual.Width != expected.Width || actual.Height != expected.Height)
        return ::testing::AssertionFailure()
               << Format("size %d x %d, expected %d x %d", actual.Width, actual.Height,
                         expected.Width, expected.Height);
    for (std::int32_t y = 0; y < expected.Height; ++y)
        for (std::int32_t x = 0; x < expected.Width; ++x)
            if (actual.At(x, y) != (0xFF000000u | expected.At(x, y)))
                return ::testing::AssertionFailure()
                       << Format("pixel (%d, %d) is %x, expected %x", x, y, actual.At(x, y),
                                 0xFF000000u | expected.At(x, y));
    return ::testing::AssertionSuccess();
}

namespace {

// Appends value little-endian in byteCount bytes.
void Put(std::vector<std::byte>& out, std::uint32_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i)
        out.push_back(static_cast<std::byte>(value >> (8 * i)));
}

void WriteRow(std::vector<std::byte>& out, const TBitmapFileSpec& spec, std::int32_t y) {
    const std::size_t rowStart = out.size();
    std::uint32_t packed = 0;
    int packedBits = 0;
    for (std::int32_t x = 0; x < spec.Width; ++x) {
        const std::uint32_t value = spec.Values.at(static_cast<std::size_t>(y) * spec.Width + x);
        if (spec.BitCount >= 16) {
            const std::uint32_t filler = spec.BitCount == 32 ? spec.FillerByte << 24 : 0;
            Put(out, (value & 0xFFFFFF) | filler, spec.BitCount / 8);
            continue;
        }
        packed = packed << spec.BitCount | value;
        packedBits += spec.BitCount;
        if (packedBits == 8) {
            Put(out, packed, 1);
            packed = packedBits = 0;
        }
    }
    if (packedBits > 0)
        Put(out, packed << (8 - packedBits), 1);
    while ((out.size() - rowStart) % 4 != 0)
        Put(out, 0, 1);
}

} // namespace

std::vector<std::byte> BitmapFile(const TBitmapFileSpec& spec) {
    const bool masks = spec.Compression == 3;
    const std::uint32_t masksAfterHeader = masks && spec.InfoSize == 40 ? 12 : 0;
    std::vector<std::byte> out;
    Put(out, 'B' | 'M' << 8, 2);
    Put(out, 0, 4); // file size, patched below
    Put(out, 0, 4);
    Put(out,
        14 + spec.InfoSize + masksAfterHeader + 4 * static_cast<std::uint32_t>(spec.Palette.size()),
        4);
    Put(out, spec.InfoSize, 4);
    Put(out, static_cast<std::uint32_t>(spec.Width), 4);
    Put(out, static_cast<std::uint32_t>(spec.TopDown ? -spec.Height : spec.Height), 4);
    Put(out, 1, 2);
    Put(out, spec.BitCount, 2);
    Put(out, spec.Compression, 4);
    Put(out, 0, 4); // image size: may be 0 for uncompressed data
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, spec.ClrUsed, 4);
    Put(out, 0, 4);
    if (masks || spec.InfoSize > 40)
        for (std::uint32_t mask : spec.Masks)
            Put(out, masks ? mask : 0, 4);
    while (out.size() < 14 + spec.InfoSize)
        Put(out, 0, 1); // alpha mask, colour space and the rest: not used
    for (std::uint32_t colour : spec.Palette)
        Put(out, colour & 0xFFFFFF, 4);
    if (!spec.Encoded.empty())
        out.insert(out.end(), spec.Encoded.begin(), spec.Encoded.end());
    else
        for (std::int32_t row = 0; row < spec.Height; ++row)
            WriteRow(out, spec, spec.TopDown ? row : spec.Height - 1 - row);
    const auto size = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[2 + static_cast<std::size_t>(i)] = static_cast<std::byte>(size >> (8 * i));
    return out;
}

std::vector<std::byte> BitmapFileOf(const TScreenPicture& picture) {
    TBitmapFileSpec spec;
    spec.Width = picture.Width;
    spec.Height = picture.Height;
    spec.Values = picture.Pixels;
    return BitmapFile(spec);
}

std::vector<std::byte> JpegFileOf(const TScreenPicture& picture, int quality, TJpegColour colour) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const bool grey = colour == TJpegColour::Greyscale;
    info.image_width = static_cast<JDIMENSION>(picture.Width);
    info.image_height = static_cast<JDIMENSION>(picture.Height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row;
    for (std::int32_t y = 0; y < picture.Height; ++y) {
        row.clear();
        for (std::int32_t x = 0; x < picture.Width; ++x)
            for (int shift : grey ? std::vector{0} : std::vector{16, 8, 0})
                row.push_back(static_cast<JSAMPLE>(picture.At(x, y) >> shift));
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const auto* first = reinterpret_cast<std::byte*>(buffer);
    std::vector<std::byte> bytes(first, first + size);
    std::free(buffer);
    return bytes;
}

TScreenPicture SmoothPicture(std::int32_t width, std::int32_t height) {
    TScreenPicture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const auto r = static_cast<std::uint32_t>(40 + 160 * x / std::max(1, width - 1));
            const auto g = static_cast<std::uint32_t>(200 - 150 * y / std::max(1, height - 1));
            const auto b = static_cast<std::uint32_t>(90 + (x + y) % 3);
            picture.At(x, y) = r << 16 | g << 8 | b;
        }
    return picture;
}

namespace {

struct TMapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using TColourMap = std::unique_ptr<ColorMapObject, TMapDeleter>;

TColourMap MakeMap(const std::vector<std::uint32_t>& palette) {
    if (palette.empty())
        return nullptr;
    std::vector<GifColorType> colours;
    for (std::uint32_t colour : palette)
        colours.push_back({static_cast<GifByteType>(colour >> 16),
                           static_cast<GifByteType>(colour >> 8),
                           static_cast<GifByteType>(colour)});
    return TColourMap(GifMakeMapObject(static_cast<int>(colours.size()), colours.data()));
}

void Check(int result, const char* what) {
    if (result != GIF_OK)
        throw std::runtime_error(std::string("GIF fixture: ") + what);
}

} // namespace

std::vector<std::byte> GifFile(const TGifFileSpec& spec) {
    std::vector<std::byte> bytes;
    int error = 0;
    const auto write = [](GifFileType* gif, const GifByteType* data, int length) {
        auto* out = static_cast<std::vector<std::byte>*>(gif->UserData);
        const auto* first = reinterpret_cast<const std::byte*>(data);
        out->insert(out->end(), first, first + length);
        return length;
    };
    GifFileType* gif = EGifOpen(&bytes, write, &error);
    if (!gif)
        throw std::runtime_error("GIF fixture: open");
    EGifSetGifVersion(gif, true);
    const TColourMap global = MakeMap(spec.GlobalPalette);
    Check(EGifPutScreenDesc(gif, spec.ScreenWidth, spec.ScreenHeight, 8, spec.BackgroundIndex,
                            global.get()),
          "screen");
    for (const TGifImageSpec& image : spec.Images) {
        if (image.TransparentIndex >= 0) {
            GraphicsControlBlock control{};
            control.TransparentColor = image.TransparentIndex;
            GifByteType extension[4];
            const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, length, extension), "control");
        }
        const TColourMap local = MakeMap(image.LocalPalette);
        Check(EGifPutImageDesc(gif, image.Left, image.Top, image.Width, image.Height,
                               image.Interlaced, local.get()),
              "image");
        // The encoder takes rows in stored order: interlaced rows in their four passes.
        const auto passes = image.Interlaced
                                ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                : std::vector<std::pair<int, int>>{{0, 1}};
        for (const auto& [start, step] : passes)
            for (std::int32_t y = start; y < image.Height; y += step) {
                std::vector<GifPixelType> line(image.Indices.begin() + y * image.Width,
                                               image.Indices.begin() + (y + 1) * image.Width);
                Check(EGifPutLine(gif, line.data(), image.Width), "line");
            }
    }
    Check(EGifCloseFile(gif, &error), "close");
    return bytes;
}

int MaxChannelDifference(const TScreenPicture& a, const TScreenPicture& b) {
    if (a.Width != b.Width || a.Height != b.Height)
        return 256;
    int largest = 0;
    for (std::size_t i = 0; i < a.Pixels.size(); ++i)
        for (int shift : {0, 8, 16, 24}) {
            const int one = static_cast<int>(a.Pixels[i] >> shift & 0xFF);
            const int other = static_cast<int>(b.Pixels[i] >> shift & 0xFF);
            largest = std::max(largest, std::abs(one - other));
        }
    return largest;
}

} // namespace vsr::test
