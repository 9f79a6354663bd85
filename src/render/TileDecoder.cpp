#include "render/TileDecoder.h"

#include "render/Geometry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace vsr {

namespace {

constexpr std::size_t cHeaderBytes = sizeof(TBitmapInfoHeader);

std::uint32_t Load16(const std::byte* source) {
    std::uint16_t value = 0;
    std::memcpy(&value, source, sizeof value);
    return value;
}

std::uint32_t Load32(const std::byte* source) {
    std::uint32_t value = 0;
    std::memcpy(&value, source, sizeof value);
    return value;
}

// A 5-bit channel widened to 8 bits as a screen does: the top bits repeated below.
constexpr std::uint32_t Expand5(std::uint32_t value) {
    return (value << 3) | (value >> 2);
}

// One 5-5-5 pixel as 0xFFRRGGBB.
TPixel32 Pixel555(std::uint32_t value) {
    return OpaqueAlpha | Expand5((value >> 10) & 0x1F) << 16 | Expand5((value >> 5) & 0x1F) << 8 |
           Expand5(value & 0x1F);
}

#if defined(__x86_64__) || defined(__i386__)
// The pixels' channels split and widened in 16-bit lanes, then interleaved into B, G, R, A
// bytes, eight or sixteen pixels a step (what the compiler does not find by itself). Both
// return how many pixels they did.
std::int32_t DecodeRow16Sse2(const std::byte* source, TPixel32* target, std::int32_t width) {
    const __m128i five = _mm_set1_epi16(0x1F);
    const __m128i alpha = _mm_set1_epi16(static_cast<short>(0xFF00));
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i value =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 2 * std::ptrdiff_t{x}));
        const __m128i red = _mm_and_si128(_mm_srli_epi16(value, 10), five);
        const __m128i green = _mm_and_si128(_mm_srli_epi16(value, 5), five);
        const __m128i blue = _mm_and_si128(value, five);
        const __m128i red8 = _mm_or_si128(_mm_slli_epi16(red, 3), _mm_srli_epi16(red, 2));
        const __m128i green8 = _mm_or_si128(_mm_slli_epi16(green, 3), _mm_srli_epi16(green, 2));
        const __m128i blue8 = _mm_or_si128(_mm_slli_epi16(blue, 3), _mm_srli_epi16(blue, 2));
        const __m128i low = _mm_or_si128(blue8, _mm_slli_epi16(green8, 8)); // B, G
        const __m128i high = _mm_or_si128(red8, alpha);                     // R, A
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), _mm_unpacklo_epi16(low, high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x + 4), _mm_unpackhi_epi16(low, high));
    }
    return x;
}

[[gnu::target("avx2")]] std::int32_t DecodeRow16Avx2(const std::byte* source, TPixel32* target,
                                                     std::int32_t width) {
    const __m256i five = _mm256_set1_epi16(0x1F);
    const __m256i alpha = _mm256_set1_epi16(static_cast<short>(0xFF00));
    std::int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i value =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 2 * std::ptrdiff_t{x}));
        const __m256i red = _mm256_and_si256(_mm256_srli_epi16(value, 10), five);
        const __m256i green = _mm256_and_si256(_mm256_srli_epi16(value, 5), five);
        const __m256i blue = _mm256_and_si256(value, five);
        const __m256i red8 = _mm256_or_si256(_mm256_slli_epi16(red, 3), _mm256_srli_epi16(red, 2));
        const __m256i green8 =
            _mm256_or_si256(_mm256_slli_epi16(green, 3), _mm256_srli_epi16(green, 2));
        const __m256i blue8 =
            _mm256_or_si256(_mm256_slli_epi16(blue, 3), _mm256_srli_epi16(blue, 2));
        const __m256i low = _mm256_or_si256(blue8, _mm256_slli_epi16(green8, 8));
        const __m256i high = _mm256_or_si256(red8, alpha);
        // The unpacks work within 128-bit halves: the halves go back into pixel order.
        const __m256i first = _mm256_unpacklo_epi16(low, high);  // pixels 0-3, 8-11
        const __m256i second = _mm256_unpackhi_epi16(low, high); // pixels 4-7, 12-15
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x),
                            _mm256_permute2x128_si256(first, second, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x + 8),
                            _mm256_permute2x128_si256(first, second, 0x31));
    }
    return x;
}

const bool cHasAvx2 = __builtin_cpu_supports("avx2");
#endif

// Sixteen pixels a step where the processor can, then eight, then one: a row's last pixels
// (and every path, with rows of 253 pixels) take the narrower steps.
void DecodeRow16(const std::byte* source, TPixel32* target, std::int32_t width) {
    std::int32_t x = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (cHasAvx2)
        x = DecodeRow16Avx2(source, target, width);
    x += DecodeRow16Sse2(source + 2 * std::ptrdiff_t{x}, target + x, width - x);
#endif
    for (; x < width; ++x)
        target[x] = Pixel555(Load16(source + 2 * x));
}

void DecodeRow24(const std::byte* source, TPixel32* target, std::int32_t width) {
    const auto byteAt = [source](std::int32_t i) {
        return std::to_integer<std::uint32_t>(source[i]);
    };
    for (std::int32_t x = 0; x < width; ++x)
        target[x] = OpaqueAlpha | byteAt(3 * x + 2) << 16 | byteAt(3 * x + 1) << 8 | byteAt(3 * x);
}

void DecodeRow32(const std::byte* source, TPixel32* target, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x)
        target[x] = OpaqueAlpha | Load32(source + 4 * x);
}

std::int64_t RowBytes(const TBitmapInfoHeader& info) {
    return DibRowBytes(info.biWidth, static_cast<TTileBitDepth>(info.biBitCount));
}

// The pixel rows need this many bytes of biSizeImage.
std::int64_t ImageBytes(const TBitmapInfoHeader& info) {
    return RowBytes(info) * info.biHeight;
}

bool HeaderAcceptable(const TBitmapInfoHeader& info, const TTileLimit& limit) {
    const bool depthKnown = info.biBitCount == 16 || info.biBitCount == 24 || info.biBitCount == 32;
    return info.biSize == cHeaderBytes && info.biCompression == 0 && depthKnown &&
           info.biWidth > 0 && info.biWidth <= std::min(limit.Width, MaxTileSide) &&
           info.biHeight > 0 && info.biHeight <= std::min(limit.Height, MaxTileSide) &&
           ImageBytes(info) <= std::int64_t{info.biSizeImage};
}

std::optional<TBitmapInfoHeader> ReadHeader(std::span<const std::byte> bytes,
                                            const TTileLimit& limit) {
    if (bytes.size() < cHeaderBytes)
        return std::nullopt;
    TBitmapInfoHeader info{};
    std::memcpy(&info, bytes.data(), cHeaderBytes);
    if (!HeaderAcceptable(info, limit))
        return std::nullopt;
    return info;
}

using TDecodeRow = void (*)(const std::byte*, TPixel32*, std::int32_t);

TDecodeRow RowDecoder(const TBitmapInfoHeader& info) {
    return info.biBitCount == 16 ? DecodeRow16 : info.biBitCount == 24 ? DecodeRow24 : DecodeRow32;
}

// pixels holds at least ImageBytes(info) bytes.
void DecodePixels(const TBitmapInfoHeader& info, const std::byte* pixels, TTileImage& tile) {
    tile.Width = info.biWidth;
    tile.Height = info.biHeight;
    tile.Pixels.resize(static_cast<std::size_t>(info.biWidth) *
                       static_cast<std::size_t>(info.biHeight));
    const std::int64_t rowBytes = RowBytes(info);
    const TDecodeRow decodeRow = RowDecoder(info);
    for (std::int32_t y = 0; y < info.biHeight; ++y) {
        // Stored bottom-up: the first stored row is the picture's last.
        const std::byte* source = pixels + (info.biHeight - 1 - y) * rowBytes;
        decodeRow(source, tile.Pixels.data() + static_cast<std::size_t>(y) * info.biWidth,
                  info.biWidth);
    }
}

// The part of the tile that falls inside the bitmap is decoded straight into its rows: no
// tile buffer, no second pass over the pixels. The caller holds the canvas lock.
void DecodePixelsInto(const TBitmapInfoHeader& info, const std::byte* pixels, TBitmap32& bitmap,
                      std::int32_t x, std::int32_t y) {
    const TRect part =
        VisiblePart(x, y, info.biWidth, info.biHeight, bitmap.Width(), bitmap.Height());
    if (part.Empty())
        return;
    const std::int64_t rowBytes = RowBytes(info);
    const std::int64_t firstColumnByte = (std::int64_t{part.Left} - x) * (info.biBitCount / 8);
    const TDecodeRow decodeRow = RowDecoder(info);
    for (std::int32_t row = part.Top; row < part.Bottom; ++row) {
        const std::int64_t tileRow = std::int64_t{row} - y;
        const std::byte* source =
            pixels + (info.biHeight - 1 - tileRow) * rowBytes + firstColumnByte;
        decodeRow(source, bitmap.Row(row) + part.Left, part.Width());
    }
}

void Clear(TTileImage& tile) {
    tile.Width = 0;
    tile.Height = 0;
    tile.Pixels.clear();
}

// The header, when the payload also holds the biSizeImage pixel bytes it announces.
std::optional<TBitmapInfoHeader> DecodableHeader(std::span<const std::byte> payload,
                                                 const TTileLimit& limit) {
    const std::optional<TBitmapInfoHeader> info = ReadHeader(payload, limit);
    if (!info || payload.size() - cHeaderBytes < info->biSizeImage)
        return std::nullopt;
    return info;
}

// Leaves a memory stream where reading the decoded payload's header and pixels would have.
void SkipPayload(TMemoryStream& payload, const TBitmapInfoHeader& info) {
    payload.Seek(static_cast<std::int64_t>(cHeaderBytes + info.biSizeImage), TSeekOrigin::Current);
}

// The header and biSizeImage pixel bytes from the stream's position into buffer; nothing is
// allocated for pixel data the stream does not hold.
bool ReadPayload(TStream& payload, std::vector<std::byte>& buffer, const TTileLimit& limit) {
    std::array<std::byte, cHeaderBytes> head{};
    if (payload.Read(head) != head.size())
        return false;
    const std::optional<TBitmapInfoHeader> info = ReadHeader(head, limit);
    if (!info || payload.Size() - payload.Position() < std::int64_t{info->biSizeImage})
        return false;
    buffer.resize(cHeaderBytes + info->biSizeImage);
    std::copy(head.begin(), head.end(), buffer.begin());
    const std::span<std::byte> pixels = std::span(buffer).subspan(cHeaderBytes);
    return payload.Read(pixels) == pixels.size();
}

} // namespace

std::optional<TBitmapInfoHeader> ValidTileHeader(std::span<const std::byte> payload,
                                                 const TTileLimit& limit) {
    return ReadHeader(payload, limit);
}

bool DecodeTile(std::span<const std::byte> payload, TTileImage& tile, const TTileLimit& limit) {
    const std::optional<TBitmapInfoHeader> info = DecodableHeader(payload, limit);
    if (!info) {
        Clear(tile);
        return false;
    }
    DecodePixels(*info, payload.data() + cHeaderBytes, tile);
    return true;
}

TTileSize DecodableSize(std::span<const std::byte> payload, const TTileLimit& limit) {
    const std::optional<TBitmapInfoHeader> info = DecodableHeader(payload, limit);
    return info ? TTileSize{info->biWidth, info->biHeight} : TTileSize{};
}

TTileSize DrawTile(std::span<const std::byte> payload, TBitmap32& bitmap, std::int32_t x,
                   std::int32_t y, const TTileLimit& limit) {
    const std::optional<TBitmapInfoHeader> info = DecodableHeader(payload, limit);
    if (!info)
        return {};
    {
        const auto lock = bitmap.CanvasLock();
        DecodePixelsInto(*info, payload.data() + cHeaderBytes, bitmap, x, y);
    }
    bitmap.MarkModified();
    return {info->biWidth, info->biHeight};
}

const TTileImage* TTileDecoder::TileToBitmap(TStream& payload) {
    if (!ReadPayload(payload, FBuffer, FLimit) || !DecodeTile(FBuffer, FTile, FLimit)) {
        Clear(FTile);
        return nullptr;
    }
    return &FTile;
}

const TTileImage* TTileDecoder::TileToBitmap(TMemoryStream& payload) {
    const std::span<const std::byte> rest = payload.Unread();
    if (!DecodeTile(rest, FTile, FLimit))
        return nullptr;
    SkipPayload(payload, *ValidTileHeader(rest));
    return &FTile;
}

TTileSize TTileDecoder::Measure(const TMemoryStream& payload) const {
    return DecodableSize(payload.Unread(), FLimit);
}

TTileSize TTileDecoder::DrawTile(TMemoryStream& payload, TBitmap32& bitmap, std::int32_t x,
                                 std::int32_t y) {
    const std::span<const std::byte> rest = payload.Unread();
    const TTileSize size = vsr::DrawTile(rest, bitmap, x, y, FLimit);
    if (size.Width > 0)
        SkipPayload(payload, *ValidTileHeader(rest));
    return size;
}

std::optional<TTileImage> TileToBitmap(TStream& payload) {
    std::vector<std::byte> buffer;
    TTileImage tile;
    if (!ReadPayload(payload, buffer, AnyTile) || !DecodeTile(buffer, tile))
        return std::nullopt;
    return tile;
}

} // namespace vsr
