#pragma once
// The fixed-size records of a VSR recording, laid out byte for byte as they are stored.
// All integers are little-endian; records are read and written with a plain byte copy, which
// is why the host must be little-endian too.

#include "platform/Stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

namespace vsr {

static_assert(std::endian::native == std::endian::little,
              "records are copied byte for byte; a big-endian host needs byte swapping");

inline constexpr std::string_view VSRHeaderMagic = "VSR2.1";         // first 6 of 8 bytes
inline constexpr std::string_view OverlayHeaderMagic = "FOVL1.0";    // first 7 of 8 bytes
inline constexpr std::string_view OverlayTrailerMagic = "VSROVL1.0"; // first 9 of 16 bytes

// Format of a header or trailer picture in the overlay block.
enum class TOverlayPictureType : std::uint8_t { None = 0, Bitmap = 1, Jpeg = 2, Gif = 3 };

struct TVSRHeader {
    std::array<char, 8> Magic;
    double StartDateTime; // days since 1899-12-30, time of day as the fraction
    double StopDateTime;
    std::uint32_t StartTickCount;
    std::uint32_t StopTickCount; // also the play time that lies past the end
    std::int64_t AudioOffset;
    std::array<std::byte, 8> Reserved;
    std::int32_t Width;
    std::int32_t Height;
    std::int64_t KeyFrameIndexOffset;
    std::int64_t CursorTrackOffset;
};

// The head of a frame record; Size payload bytes follow it.
struct TFrameRecord {
    std::uint32_t Time;
    std::int32_t X;
    std::int32_t Y;
    std::int32_t Size;
};

struct TKeyFrameEntry {
    std::int64_t Offset; // of the segment's zlib stream
    std::int64_t Size;   // decompressed bytes; 0 marks an entry without data
    double DateTime;
    std::uint32_t Time; // entry 0 counts as 0 whatever it holds
    std::uint32_t Padding;
};

struct TCursorEntry {
    std::uint32_t Time;
    std::uint16_t X;
    std::uint16_t Y;
};

// Positions in the overlay header count from the overlay block's first byte.
struct TOverlayHeader {
    std::array<char, 8> Magic;
    std::int64_t HeaderPictureStart;
    std::int64_t HeaderPictureEnd;
    std::int64_t TrailerPictureStart; // equal to HeaderPictureStart: same picture
    std::int64_t TrailerPictureEnd;
    std::int64_t LinkStart;
    std::int64_t LinkEnd;
    std::int32_t HeaderDelay;  // seconds
    std::int32_t TrailerDelay; // seconds
    std::uint8_t HeaderPictureType;
    std::uint8_t TrailerPictureType;
    std::array<std::byte, 6> Padding;
};

struct TOverlayTrailer {
    std::array<char, 16> Magic;
    std::int64_t OverlayOffset;
    std::int64_t OverlayEnd;
};

static_assert(sizeof(TVSRHeader) == 72 && offsetof(TVSRHeader, StartTickCount) == 24 &&
              offsetof(TVSRHeader, Width) == 48 && offsetof(TVSRHeader, CursorTrackOffset) == 64);
static_assert(sizeof(TFrameRecord) == 16 && offsetof(TFrameRecord, Size) == 12);
static_assert(sizeof(TKeyFrameEntry) == 32 && offsetof(TKeyFrameEntry, Time) == 24);
static_assert(sizeof(TCursorEntry) == 8 && offsetof(TCursorEntry, Y) == 6);
static_assert(sizeof(TOverlayHeader) == 72 && offsetof(TOverlayHeader, HeaderDelay) == 56 &&
              offsetof(TOverlayHeader, HeaderPictureType) == 64);
static_assert(sizeof(TOverlayTrailer) == 32 && offsetof(TOverlayTrailer, OverlayOffset) == 16);

// Magic fields compare only their leading characters; the rest is not read.
template <std::size_t N> bool HasMagic(const std::array<char, N>& field, std::string_view magic) {
    return magic.size() <= N && std::string_view(field.data(), magic.size()) == magic;
}

// The field as a writer stores it: the magic, then zero bytes.
template <std::size_t N> std::array<char, N> MagicField(std::string_view magic) {
    std::array<char, N> field{};
    std::copy_n(magic.begin(), std::min(magic.size(), N), field.begin());
    return field;
}

inline bool HasVSRMagic(const TVSRHeader& header) {
    return HasMagic(header.Magic, VSRHeaderMagic);
}
// The screens a recording may have: up to 16384 pixels a side and 2^25 pixels in all (8K UHD).
// A header beyond that is damage; the off-screen picture is allocated by its size.
inline constexpr std::int32_t MaxScreenSide = 16384;
inline constexpr std::int64_t MaxScreenPixels = std::int64_t{1} << 25;
inline bool HasValidScreenSize(const TVSRHeader& header) {
    return header.Width > 0 && header.Height > 0 && header.Width <= MaxScreenSide &&
           header.Height <= MaxScreenSide &&
           std::int64_t{header.Width} * header.Height <= MaxScreenPixels;
}
inline bool HasOverlayMagic(const TOverlayHeader& header) {
    return HasMagic(header.Magic, OverlayHeaderMagic);
}
inline bool HasOverlayTrailerMagic(const TOverlayTrailer& trailer) {
    return HasMagic(trailer.Magic, OverlayTrailerMagic);
}

template <typename TRecord>
concept Record = std::is_trivially_copyable_v<TRecord> && std::is_standard_layout_v<TRecord>;

// Reads one record from the stream's position; false when fewer bytes than the record arrived.
template <Record TRecord> bool ReadRecord(TStream& stream, TRecord& record) {
    std::array<std::byte, sizeof(TRecord)> bytes{};
    if (stream.Read(bytes) != bytes.size())
        return false;
    std::memcpy(&record, bytes.data(), sizeof(TRecord));
    return true;
}

template <Record TRecord> void WriteRecord(TStream& stream, const TRecord& record) {
    stream.WriteBuffer(std::as_bytes(std::span(&record, 1)));
}

} // namespace vsr
