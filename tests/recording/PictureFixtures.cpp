#include "PictureFixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <gif_lib.h>
#include <jpeglib.h>

namespace vsr::test {

namespace {

class TByteWriter {
public:
    void U8(std::uint32_t value) { FBytes.push_back(static_cast<std::byte>(value & 0xFF)); }
    void U16(std::uint32_t value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void Append(const std::vector<std::byte>& bytes) {
        FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
    }
    void PadTo4(std::size_t rowStart) {
        while ((FBytes.size() - rowStart) % 4 != 0)
            U8(0);
    }
    std::size_t Size() const { return FBytes.size(); }
    std::vector<std::byte>& Bytes() { return FBytes; }

private:
    std::vector<std::byte> FBytes;
};

void WriteRow(TByteWriter& out, const TBitmapFileSpec& spec, std::int32_t y) {
    const std::size_t rowStart = out.Size();
    std::uint32_t packed = 0;
    int packedBits = 0;
    for (std::int32_t x = 0; x < spec.Width; ++x) {
        const std::uint32_t value = spec.Values.at(static_cast<std::size_t>(y) * spec.Width + x);
        switch (spec.BitCount) {
        case 1:
        case 4:
        case 8:
            packed = packed << spec.BitCount | value;
            packedBits += spec.BitCount;
            if (packedBits == 8) {
                out.U8(packed);
                packed = 0;
                packedBits = 0;
            }
            break;
        case 16:
            out.U16(value);
            break;
        case 24:
            out.U8(value);
            out.U8(value >> 8);
            out.U8(value >> 16);
            break;
        case 32:
            out.U32((value & 0xFFFFFF) | spec.FillerByte << 24);
            break;
        }
    }
    if (packedBits > 0)
        out.U8(packed << (8 - packedBits));
    out.PadTo4(rowStart);
}

} // namespace

std::vector<std::byte> BitmapFile(const TBitmapFileSpec& spec) {
    const bool masks = spec.Compression == 3;
    const std::uint32_t masksAfterHeader = masks && spec.InfoSize == 40 ? 12 : 0;
    const std::uint32_t pixelOffset =
        14 + spec.InfoSize + masksAfterHeader + 4 * static_cast<std::uint32_t>(spec.Palette.size());
    TByteWriter out;
    out.U8('B');
    out.U8('M');
    out.U32(0); // file size, patched below
    out.U32(0);
    out.U32(pixelOffset);

    out.U32(spec.InfoSize);
    out.U32(static_cast<std::uint32_t>(spec.Width));
    out.U32(static_cast<std::uint32_t>(spec.TopDown ? -spec.Height : spec.Height));
    out.U16(1);
    out.U16(spec.BitCount);
    out.U32(spec.Compression);
    out.U32(0); // image size: may be 0 for uncompressed data
    out.U32(2835);
    out.U32(2835);
    out.U32(spec.ClrUsed);
    out.U32(0);
    if (spec.InfoSize > 40) {
        for (std::uint32_t mask : spec.Masks)
            out.U32(masks ? mask : 0);
        while (out.Size() < 14 + spec.InfoSize)
            out.U8(0); // alpha mask, colour space and the rest: not used
    } else if (masks) {
        for (std::uint32_t mask : spec.Masks)
            out.U32(mask);
    }
    for (std::uint32_t colour : spec.Palette) {
        out.U8(colour);
        out.U8(colour >> 8);
        out.U8(colour >> 16);
        out.U8(0);
    }
    if (!spec.Encoded.empty()) {
        out.Append(spec.Encoded);
    } else {
        for (std::int32_t row = 0; row < spec.Height; ++row)
            WriteRow(out, spec, spec.TopDown ? row : spec.Height - 1 - row);
    }
    std::vector<std::byte>& bytes = out.Bytes();
    const auto size = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i)
        bytes[2 + i] = static_cast<std::byte>(size >> (8 * i));
    return bytes;
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
    std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.Width) * 3);
    for (std::int32_t y = 0; y < picture.Height; ++y) {
        for (std::int32_t x = 0; x < picture.Width; ++x) {
            const std::uint32_t pixel = picture.At(x, y);
            if (grey) {
                row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(pixel & 0xFF);
            } else {
                row[static_cast<std::size_t>(x) * 3] = static_cast<JSAMPLE>(pixel >> 16);
                row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(pixel >> 8);
                row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(pixel);
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::byte> bytes(reinterpret_cast<std::byte*>(buffer),
                                 reinterpret_cast<std::byte*>(buffer) + size);
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

int WriteGifBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* bytes = static_cast<std::vector<std::byte>*>(gif->UserData);
    const auto* first = reinterpret_cast<const std::byte*>(data);
    bytes->insert(bytes->end(), first, first + length);
    return length;
}

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
    GifFileType* gif = EGifOpen(&bytes, WriteGifBytes, &error);
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
            const size_t length = EGifGCBToExtension(&control, extension);
            Check(
                EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension),
                "control block");
        }
        const TColourMap local = MakeMap(image.LocalPalette);
        Check(EGifPutImageDesc(gif, image.Left, image.Top, image.Width, image.Height,
                               image.Interlaced, local.get()),
              "image");
        // The encoder takes rows in stored order: interlaced rows in their four passes.
        std::vector<std::int32_t> rows;
        if (image.Interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (std::int32_t y = start; y < image.Height; y += step)
                    rows.push_back(y);
        } else {
            for (std::int32_t y = 0; y < image.Height; ++y)
                rows.push_back(y);
        }
        for (std::int32_t y : rows) {
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
