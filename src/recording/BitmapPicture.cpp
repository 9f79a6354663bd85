#include "recording/BitmapPicture.h"

#include "recording/TileDib.h"
#include "shell/Format.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace vsr {

namespace {

enum class TCompression : std::uint32_t {
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3,
    AlphaBitFields = 6,
};

constexpr std::int64_t FileHeaderSize = 14;
constexpr std::int64_t InfoHeaderSize = 40;

[[noreturn]] void Fail(const std::string& reason) {
    throw EPicture("Invalid bitmap picture: " + reason);
}

std::uint32_t U32At(std::span<const std::byte> bytes, std::int64_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// One colour channel of a packed pixel, widened or narrowed to 8 bits.
class TChannel {
public:
    explicit TChannel(std::uint32_t mask) : FMask(mask) {
        if (mask == 0)
            return;
        FShift = std::countr_zero(mask);
        const std::uint32_t bits = mask >> FShift;
        if ((bits & (bits + 1)) != 0)
            Fail("colour masks are not contiguous");
        FBits = std::popcount(bits);
    }

    std::uint32_t Value(std::uint32_t pixel) const {
        if (FBits == 0)
            return 0;
        const std::uint32_t value = (pixel & FMask) >> FShift;
        return FBits >= 8 ? value >> (FBits - 8) : value << (8 - FBits);
    }

private:
    std::uint32_t FMask;
    int FShift = 0;
    int FBits = 0;
};

struct TLayout {
    TBitmapInfoHeader Info{};
    std::int32_t Width = 0;
    std::int32_t Height = 0; // always positive
    bool TopDown = false;
    TCompression Compression = TCompression::Rgb;
    std::array<std::uint32_t, 3> Masks{}; // red, green, blue
    std::vector<std::uint32_t> Palette;   // 0x00RRGGBB
    std::span<const std::byte> Pixels;    // from the pixel data offset to the end of the file
};

std::uint32_t PaletteColour(const TLayout& layout, std::uint32_t index) {
    return index < layout.Palette.size() ? layout.Palette[index] : 0;
}

// The info header: the picture's size, direction, bit count and compression.
TLayout ReadInfo(std::span<const std::byte> bytes) {
    TLayout layout;
    std::memcpy(&layout.Info, bytes.data() + FileHeaderSize, InfoHeaderSize);
    const TBitmapInfoHeader& info = layout.Info;
    layout.Width = info.biWidth;
    layout.TopDown = info.biHeight < 0;
    const std::int64_t height = info.biHeight < 0 ? -std::int64_t{info.biHeight} : info.biHeight;
    CheckPictureSize("Invalid bitmap picture", info.biWidth, height);
    layout.Height = static_cast<std::int32_t>(height);
    if (info.biPlanes != 1)
        Fail(Format("%u planes", info.biPlanes));
    const std::uint16_t bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Fail(Format("unsupported bit count %u", bits));
    layout.Compression = static_cast<TCompression>(info.biCompression);
    return layout;
}

// Checks the compression against the bit count and reads the colour masks; returns where the
// colour table starts.
std::int64_t ReadCompression(std::span<const std::byte> bytes, std::uint32_t infoSize,
                             TLayout& layout) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    const std::uint16_t bits = layout.Info.biBitCount;
    std::int64_t tableStart = FileHeaderSize + infoSize;
    switch (layout.Compression) {
    case TCompression::Rgb:
        if (bits == 16)
            layout.Masks = {0x7C00, 0x03E0, 0x001F};
        else if (bits == 32)
            layout.Masks = {0xFF0000, 0x00FF00, 0x0000FF};
        break;
    case TCompression::Rle8:
    case TCompression::Rle4:
        if (bits != (layout.Compression == TCompression::Rle8 ? 8 : 4))
            Fail(Format("run-length compression with %u bits per pixel", bits));
        if (layout.TopDown)
            Fail("run-length compressed rows must be bottom-up");
        break;
    case TCompression::BitFields:
    case TCompression::AlphaBitFields: {
        if (bits != 16 && bits != 32)
            Fail(Format("colour masks with %u bits per pixel", bits));
        // A 40-byte header is followed by the masks; the larger headers hold them.
        const std::int64_t masksStart = FileHeaderSize + InfoHeaderSize;
        if (infoSize == InfoHeaderSize) {
            tableStart += layout.Compression == TCompression::BitFields ? 12 : 16;
            if (tableStart > size)
                Fail("truncated colour masks");
        }
        for (std::size_t i = 0; i < layout.Masks.size(); ++i)
            layout.Masks[i] = U32At(bytes, masksStart + 4 * static_cast<std::int64_t>(i));
        break;
    }
    default:
        Fail(Format("unsupported compression %u", layout.Info.biCompression));
    }
    return tableStart;
}

void ReadPalette(std::span<const std::byte> bytes, std::int64_t tableStart, TLayout& layout) {
    const std::uint16_t bits = layout.Info.biBitCount;
    if (bits > 8)
        return;
    const std::uint32_t maxEntries = 1u << bits;
    std::uint32_t entries = layout.Info.biClrUsed == 0 ? maxEntries : layout.Info.biClrUsed;
    entries = std::min(entries, maxEntries); // larger indices cannot occur
    if (tableStart + 4 * std::int64_t{entries} > static_cast<std::int64_t>(bytes.size()))
        Fail("truncated colour table");
    layout.Palette.resize(entries);
    for (std::uint32_t i = 0; i < entries; ++i)
        layout.Palette[i] = U32At(bytes, tableStart + 4 * std::int64_t{i}) & 0xFFFFFF;
}

TLayout ReadLayout(std::span<const std::byte> bytes) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (size < FileHeaderSize + 4 || bytes[0] != std::byte{'B'} || bytes[1] != std::byte{'M'})
        Fail("no bitmap file header");
    const std::uint32_t pixelOffset = U32At(bytes, 10);
    const std::uint32_t infoSize = U32At(bytes, FileHeaderSize);
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        Fail(Format("unsupported info header size %u", infoSize));
    if (FileHeaderSize + infoSize > size)
        Fail("truncated info header");
    TLayout layout = ReadInfo(bytes);
    ReadPalette(bytes, ReadCompression(bytes, infoSize, layout), layout);
    if (pixelOffset < FileHeaderSize + infoSize || pixelOffset >= size)
        Fail("pixel data outside the file");
    layout.Pixels = bytes.subspan(pixelOffset);
    return layout;
}

void DecodeRows(const TLayout& layout, TScreenPicture& picture) {
    const std::uint16_t bits = layout.Info.biBitCount;
    const std::int64_t rowBytes = (std::int64_t{layout.Width} * bits + 31) / 32 * 4;
    const std::int64_t usedBytes = (std::int64_t{layout.Width} * bits + 7) / 8;
    // The last row's padding may be missing.
    if ((layout.Height - 1) * rowBytes + usedBytes >
        static_cast<std::int64_t>(layout.Pixels.size()))
        Fail("truncated pixel data");
    const TChannel red(layout.Masks[0]);
    const TChannel green(layout.Masks[1]);
    const TChannel blue(layout.Masks[2]);

    for (std::int32_t row = 0; row < layout.Height; ++row) {
        const std::byte* data = layout.Pixels.data() + row * rowBytes;
        const std::int32_t y = layout.TopDown ? row : layout.Height - 1 - row;
        for (std::int32_t x = 0; x < layout.Width; ++x) {
            std::uint32_t colour = 0;
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const std::int64_t bit = std::int64_t{x} * bits;
                const auto byte = std::to_integer<std::uint32_t>(data[bit / 8]);
                const auto shift = static_cast<int>(8 - bits - bit % 8);
                colour = PaletteColour(layout, (byte >> shift) & ((1u << bits) - 1));
                break;
            }
            case 16:
            case 32: {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, data + std::int64_t{x} * (bits / 8), bits / 8);
                colour = red.Value(pixel) << 16 | green.Value(pixel) << 8 | blue.Value(pixel);
                break;
            }
            case 24: {
                const std::byte* p = data + std::int64_t{x} * 3;
                colour = std::to_integer<std::uint32_t>(p[2]) << 16 |
                         std::to_integer<std::uint32_t>(p[1]) << 8 |
                         std::to_integer<std::uint32_t>(p[0]);
                break;
            }
            }
            picture.At(x, y) = colour;
        }
    }
}

// RLE8 and RLE4: runs and absolute blocks, rows bottom-up. Skipped pixels stay black; a missing
// end-of-bitmap mark ends the picture where the data ends.
void DecodeRunLength(const TLayout& layout, TScreenPicture& picture) {
    const bool rle4 = layout.Compression == TCompression::Rle4;
    const std::span<const std::byte> data = layout.Pixels;
    std::size_t p = 0;
    std::int64_t x = 0;
    std::int64_t row = 0;
    const auto next = [&]() -> std::uint32_t {
        if (p >= data.size())
            Fail("truncated pixel data");
        return std::to_integer<std::uint32_t>(data[p++]);
    };
    const auto put = [&](std::uint32_t index) {
        if (x < layout.Width && row < layout.Height)
            picture.At(static_cast<std::int32_t>(x),
                       static_cast<std::int32_t>(layout.Height - 1 - row)) =
                PaletteColour(layout, index);
        ++x;
    };
    while (p + 1 < data.size() && row < layout.Height) {
        const std::uint32_t count = next();
        const std::uint32_t value = next();
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i)
                put(rle4 ? (i % 2 == 0 ? value >> 4 : value & 0xF) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta
            x += next();
            row += next();
            break;
        default: { // absolute block, padded to 16 bits
            const std::uint32_t bytes = rle4 ? (value + 1) / 2 : value;
            std::uint32_t byte = 0;
            for (std::uint32_t i = 0; i < value; ++i) {
                if (!rle4)
                    put(next());
                else if (i % 2 == 0)
                    put((byte = next()) >> 4);
                else
                    put(byte & 0xF);
            }
            if (bytes % 2 != 0)
                next();
        }
        }
    }
}

} // namespace

std::unique_ptr<TPicture> TBitmapPicture::Clone() const {
    return std::make_unique<TBitmapPicture>(*this);
}

TScreenPicture TBitmapPicture::Decode(std::span<const std::byte> bytes) const {
    const TLayout layout = ReadLayout(bytes);
    TScreenPicture picture(layout.Width, layout.Height);
    if (layout.Compression == TCompression::Rle8 || layout.Compression == TCompression::Rle4)
        DecodeRunLength(layout, picture);
    else
        DecodeRows(layout, picture);
    return picture;
}

} // namespace vsr
