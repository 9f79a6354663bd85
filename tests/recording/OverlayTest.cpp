// The overlay block: its pictures (Windows bitmaps in their variants, JPEG and GIF files, and
// damaged bytes, which every picture class decodes or refuses with EPicture), the block read
// into its object, the split of an opened recording into sound file and overlay, and the
// recording appended to the player file.
#include "recording/AppendedRecording.h"
#include "recording/BitmapPicture.h"
#include "recording/ErrorOf.h"
#include "recording/OverlayBlock.h"
#include "recording/PictureFactory.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundAndOverlaySplit.h"
#include "recording/SoundTrackRange.h"
#include "shell/Messages.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <set>

// Picture specifications name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vsr::test {
namespace {

namespace fs = std::filesystem;
using enum TOverlayPictureType;

TScreenPicture Decode(TOverlayPictureType type, std::span<const std::byte> bytes) {
    auto picture = CreatePicture(static_cast<std::uint8_t>(type));
    picture->LoadFromBytes(bytes);
    return picture->Image();
}

std::vector<std::uint32_t> Palette(std::uint32_t count) {
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < count; ++i)
        palette.push_back((i * 0x1F3A57 + 0x102030) & 0xFFFFFF);
    return palette;
}

// Values on a grid, each from its position, within [0, limit).
std::vector<std::uint32_t> Grid(std::int32_t width, std::int32_t height, std::uint32_t limit) {
    std::vector<std::uint32_t> values;
    for (std::int32_t i = 0; i < width * height; ++i)
        values.push_back(static_cast<std::uint32_t>(i % width * (5 + i / width) + i / width * 3) %
                         limit);
    return values;
}

// The bitmap of values (the pixels, rows top-down: colours or colour-table indices; for
// run-length data, which the file holds instead, what it must decode to) shows colourOf them.
void ExpectDecodes(TBitmapFileSpec spec, std::vector<std::uint32_t> values,
                   const std::function<std::uint32_t(std::uint32_t)>& colourOf) {
    spec.Values = values;
    TScreenPicture expected(spec.Width, spec.Height);
    std::ranges::transform(values, expected.Pixels.begin(), colourOf);
    EXPECT_EQ(Decode(Bitmap, BitmapFile(spec)), expected)
        << spec.BitCount << " bits, " << spec.Compression;
}

std::vector<std::byte> Data(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (const int value : values)
        bytes.push_back(static_cast<std::byte>(value));
    return bytes;
}

// Odd widths make every row need padding, which exposes a wrong row length.
TEST(BitmapPicture, DecodesEveryDepthRowOrderMaskAndRunLengthVariant) {
    for (const bool topDown : {false, true})
        for (const std::uint16_t bits : {24, 32}) // the 4th byte of 32 bits is no colour
            ExpectDecodes({7, 5, topDown, bits, 0, 40, 0, {}, {}, {}, {}, 0xAB},
                          PatternPicture(7, 5, 3).Pixels, [](std::uint32_t v) { return v; });
    const auto rgb555 = [](std::uint32_t v) {
        return (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
    };
    ExpectDecodes({5, 3, false, 16}, Grid(5, 3, 0x10000), rgb555);
    const auto rgb565 = [](std::uint32_t v) {
        return (v >> 11 & 31) << 19 | (v >> 5 & 63) << 10 | (v & 31) << 3;
    };
    for (const std::uint32_t infoSize : {40u, 124u}) // masks after the header or inside it
        ExpectDecodes({5, 3, false, 16, 3, infoSize, 0, {}, {0xF800, 0x07E0, 0x001F}},
                      Grid(5, 3, 0x10000), rgb565);
    ExpectDecodes({4, 2, false, 32, 3, 40, 0, {}, {0xFF, 0xFF00, 0xFF0000}},
                  PatternPicture(4, 2, 9).Pixels,
                  [](std::uint32_t v) { return (v & 0xFF) << 16 | (v & 0xFF00) | v >> 16; });
    for (const std::uint16_t bits : {1, 4, 8}) {
        const auto palette = Palette(1u << bits);
        ExpectDecodes({11, 6, bits == 4, bits, 0, 40, 0, palette}, Grid(11, 6, 1u << bits),
                      [&](std::uint32_t v) { return palette[v]; });
    }
    // A short colour table moves the pixel data up; indices past it, and 16 below, are black.
    const auto palette = Palette(16);
    const auto black = [&](std::uint32_t limit) {
        return [&, limit](std::uint32_t v) { return v < limit ? palette[v] : 0u; };
    };
    for (const std::uint32_t infoSize : {40u, 124u})
        ExpectDecodes({5, 2, false, 8, 0, infoSize, 3, Palette(3)},
                      {0, 1, 2, 7, 2, 1, 0, 200, 1, 1}, black(3));
    TBitmapFileSpec eight{6, 3, false, 8, 1, 40, 16, palette};
    eight.Encoded = Data({3, 1, 0, 3, 4, 5, 6, 0, // bottom row: three 1s, absolute 4 5 6, padded
                          0, 0, 0, 2, 2, 1,       // end of line; delta two right, one up
                          2, 7, 0, 1});           // top row from x = 2: two 7s; end of bitmap
    ExpectDecodes(eight, {16, 16, 7, 7, 16, 16, 16, 16, 16, 16, 16, 16, 1, 1, 1, 4, 5, 6},
                  black(16));
    TBitmapFileSpec four{7, 2, false, 4, 2, 40, 0, palette};
    four.Encoded = Data({5, 0x12, 0, 0,             // bottom row 1 2 1 2 1, end of line
                         0, 5, 0x34, 0x56, 0x70, 0, // absolute 3 4 5 6 7, padded to four bytes
                         2, 0x9A, 0, 1});           // 9 A, end of bitmap
    ExpectDecodes(four, {3, 4, 5, 6, 7, 9, 10, 1, 2, 1, 2, 1, 16, 16}, black(16));
}

const auto Colours = Palette(8);

// Indices that differ from row to row, so that a misplaced row shows.
TGifImageSpec GifImage(std::int32_t width, std::int32_t height, bool interlaced = false) {
    TGifImageSpec image{0, 0, width, height, interlaced, -1, {}, {}};
    for (std::int32_t i = 0; i < width * height; ++i)
        image.Indices.push_back(static_cast<std::uint8_t>((i % width + 3 * (i / width)) % 8));
    return image;
}

// Only the first image counts; transparent pixels and the screen around the image are white,
// not the red background; the rows of an interlaced image land in their places.
TEST(GifPicture, FirstImagePlainOrInterlacedWithTransparencyOnWhite) {
    for (const bool interlaced : {false, true}) { // 19 rows: every pass has rows
        TGifImageSpec image = GifImage(5, 19, interlaced);
        image.Left = 4;
        image.Top = 1;
        image.TransparentIndex = 3;
        TScreenPicture expected(9, 20, 0xFFFFFF);
        for (std::size_t i = 0; i < image.Indices.size(); ++i)
            expected.At(4 + i % 5, 1 + i / 5) =
                image.Indices[i] == 3 ? 0xFFFFFF : Colours[image.Indices[i]];
        EXPECT_EQ(Decode(Gif, GifFile({9, 5, 1, Colours, {image, GifImage(9, 5)}})), expected);
    }
    const auto smooth = SmoothPicture(37, 21); // the last JPEG block row and column are partial
    EXPECT_LE(MaxChannelDifference(Decode(Jpeg, JpegFileOf(smooth)), smooth), 12);
}

template <typename TValue>
std::vector<std::byte> Patched(std::vector<std::byte> bytes, std::size_t at, const TValue& value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}

// Sizes in a header must not make a decoder take memory that the file cannot fill. Every
// truncation and random damage of good files decodes or raises EPicture (under the
// sanitizers: without reading or writing outside the buffers).
TEST(OverlayPicture, DamagedBytesRaiseWithTheReasonOrDecode) {
    const auto bmp = BitmapFileOf(PatternPicture(9, 4, 1));
    auto noColours = GifFile({4, 4, 0, Colours, {GifImage(4, 4)}}); // its colour table taken out
    noColours[10] &= std::byte{0x7F};
    noColours.erase(noColours.begin() + 13, noColours.begin() + 13 + 3 * 8);
    const auto gif = GifFile({40, 40, 0, Colours, {GifImage(40, 40, true)}});
    const auto jpeg = JpegFileOf(SmoothPicture(24, 16));
    // FF C0, length, precision, then height and width big-endian: 0x7530 is 30000
    const auto sof = static_cast<std::size_t>(
        std::ranges::search(jpeg, Data({0xFF, 0xC0})).begin() - jpeg.begin());
    const std::string bmpError = "Invalid bitmap picture: ", huge = "too large (30000 x 30000)";
    const std::tuple<TOverlayPictureType, std::vector<std::byte>, std::string> cases[] = {
        {Bitmap, {}, bmpError + "no bitmap file header"},
        {Bitmap, Patched(bmp, 0, 'X'), bmpError + "no bitmap file header"},
        {Bitmap, {bmp.begin(), bmp.end() - 12}, bmpError + "truncated pixel data"},
        {Bitmap, {bmp.begin(), bmp.end() - 1}, "no error"}, // only the last row's padding missing
        {Bitmap, BitmapFile({2, 1, false, 2, 0, 40, 0, {}, {}, {0, 1}}),
         bmpError + "unsupported bit count 2"},
        {Bitmap, Patched(bmp, 30, 4), bmpError + "unsupported compression 4"}, // JPEG inside
        {Bitmap, Patched(bmp, 10, std::uint16_t{0xFFFF}), bmpError + "pixel data outside the file"},
        {Bitmap, Patched(Patched(bmp, 18, 30000), 22, 30000), huge},
        {Bitmap, Patched(Patched(bmp, 18, 5000), 22, 5000), bmpError + "truncated pixel data"},
        {Bitmap, Patched(bmp, 18, 0), "empty picture"},
        {Bitmap, Patched(bmp, 22, INT_MIN), "too large"},
        {Gif, GifFile({4, 4, 0, Colours, {}}), "Invalid GIF picture: no image"},
        {Gif, noColours, "Invalid GIF picture: no colour table"},
        {Gif,
         {gif.begin(), gif.begin() + std::ssize(gif) / 2},
         "Invalid GIF picture: "}, // in the data
        {Gif, GifFile({30000, 30000, 0, Colours, {GifImage(2, 2)}}), huge},
        {Jpeg, {}, "Invalid JPEG picture: no data"},
        {Jpeg, Bytes(100, 0x42), "Invalid JPEG picture: Not a JPEG file"},
        {Jpeg, Patched(jpeg, sof + 5, std::uint32_t{0x30753075}), huge}};
    for (const auto& [type, bytes, expected] : cases)
        EXPECT_NE(ErrorOf<EPicture>([&] { Decode(type, bytes); }).find(expected), std::string::npos)
            << expected;
    TBitmapFileSpec rle{9, 5, false, 8, 1, 40, 16, Palette(16)};
    rle.Encoded = Data({4, 3, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 0, 1});
    std::mt19937 random(20240601);
    int decoded = 0, refused = 0;
    const auto tally = [&](TOverlayPictureType type, std::span<const std::byte> input) {
        ++(ErrorOf<EPicture>([&] { Decode(type, input); }) == "no error" ? decoded : refused);
    };
    for (const auto& [type, bytes] :
         {std::pair{Bitmap, bmp}, {Bitmap, BitmapFile(rle)}, {Gif, gif}, {Jpeg, jpeg}})
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            auto damaged = bytes;
            for (std::size_t i = 0; i <= length % 4; ++i)
                damaged[random() % damaged.size()] = static_cast<std::byte>(random());
            tally(type, std::span(bytes).first(length));
            tally(type, damaged);
        }
    EXPECT_TRUE(decoded > 0 && refused > 0);
}

const auto HeaderImage = PatternPicture(13, 7, 4);
const TOverlayPicture HeaderBitmap{Bitmap, BitmapFileOf(HeaderImage)};

TRecordingOverlay Overlay(TOverlayPicture header, std::optional<TOverlayPicture> trailer = {},
                          std::string link = {}, std::int32_t headerDelay = 0) {
    return {std::move(header), std::move(trailer), headerDelay, 7, std::move(link)};
}

// A recording's overlay block, written by the project's writer after other data, so that
// positions count from the block's start, and patched at offsets from there.
struct TOverlayBlock {
    TMemoryStream Stream;
    TRecordingLayout Layout;

    explicit TOverlayBlock(const TRecordingOverlay& overlay) {
        Stream.WriteBuffer(Bytes(1000, 0x5A));
        Layout = TScreenRecorderFileWriter(Stream, 16, 8).Finish({}, overlay);
    }
    template <typename TValue> TOverlayBlock& Patch(std::int64_t offset, TValue value) {
        Stream.SetPosition(1000 + Layout.OverlayOffset + offset);
        WriteRecord(Stream, value);
        return *this;
    }
    // Loads the block into overlay; the error, or "no error".
    std::string Load(TScreenRecorderOverlayFile& overlay) {
        Stream.SetPosition(1000 + Layout.OverlayOffset);
        return ErrorOf<Exception>([&] { overlay.LoadFromStream(Stream); });
    }
};

TEST(OverlayFile, PicturesDelaysAndLinkAsTheBlockDescribesThem) {
    const std::int64_t headerType = offsetof(TOverlayHeader, HeaderPictureType),
                       trailerType = headerType + 1;
    const TOverlayPicture none{None, Bytes(40, 1)}, noBytes{Bitmap, {}};
    // The block, type codes patched in (2 is JPEG; 4 and up are none), and which pictures there
    // are: H header, T trailer, = the trailer is (a copy of) the header, whatever its type says.
    const std::tuple<TRecordingOverlay, std::vector<std::pair<std::int64_t, int>>, std::string>
        cases[] = {
            {Overlay(HeaderBitmap, {}, "http://example.org/after", 5), {}, "HT="},
            {Overlay(HeaderBitmap), {{trailerType, 2}}, "HT="},
            {Overlay(none, none, "vsrfile://host/next.vsr"), {}, "--."},
            {Overlay(HeaderBitmap, HeaderBitmap), {{headerType, 4}, {trailerType, 255}}, "--."},
            {Overlay(noBytes), {}, "--="},
            {Overlay(HeaderBitmap, noBytes), {}, "H-."}};
    for (const auto& [written, typeCodes, pictures] : cases) {
        TOverlayBlock block(written);
        for (const auto& [field, code] : typeCodes)
            block.Patch(field, static_cast<std::uint8_t>(code));
        TScreenRecorderOverlayFile overlay;
        ASSERT_EQ(block.Load(overlay), "no error");
        const TPicture *header = overlay.HeaderPicture(), *trailer = overlay.TrailerPicture();
        EXPECT_EQ(
            std::tuple(std::string{header ? 'H' : '-', trailer ? 'T' : '-',
                                   overlay.TrailerIsHeader() ? '=' : '.'},
                       overlay.Link(), overlay.HeaderDelay(), overlay.TrailerDelay(),
                       !header || header != trailer),
            std::tuple(pictures, written.Link, written.HeaderDelaySeconds, 7, true)); // a copy
        for (const TPicture* picture : {header, trailer})
            EXPECT_TRUE(!picture || (dynamic_cast<const TBitmapPicture*>(picture) &&
                                     picture->Image() == HeaderImage));
    }
}

// A damaged block raises and leaves the overlay object as it was.
TEST(OverlayFile, DamagedBlocksRaiseAndKeepTheOldContent) {
    const TRecordingOverlay both = Overlay(HeaderBitmap, HeaderBitmap, "http://example.org/");
    TScreenRecorderOverlayFile overlay;
    TOverlayBlock block(Overlay(HeaderBitmap, {}, "http://a/"));
    EXPECT_EQ(block.Patch(7, 'Z').Load(overlay), "no error");     // only 7 bytes of the magic count
    EXPECT_EQ(block.Patch(6, '1').Load(overlay), sInvalidSRFile); // FOVL1.1
    EXPECT_THROW(overlay.LoadFromStream(block.Stream), EScreenRecorderOverlayFile);
    block.Stream.SetSize(1000 + block.Layout.OverlayOffset + 7); // only the magic
    EXPECT_EQ(block.Load(overlay), sInvalidSRFile);
    // Picture and link ranges outside the stream, or ending before they start.
    const std::pair<std::int64_t, std::int64_t> ranges[] = {
        {16, 1L << 60},  {16, INT64_MAX}, {8, -72},       {16, 10},
        {32, 1'000'000}, {40, -5},        {40, 1'000'000}};
    for (const auto& [field, value] : ranges)
        EXPECT_EQ(TOverlayBlock(both).Patch(field, value).Load(overlay), sInvalidSRFile)
            << field << " = " << value;
    TOverlayBlock longLink(Overlay({}, {}, "http://example.org/")); // far more than the data holds
    EXPECT_EQ(
        longLink.Patch(longLink.Layout.OverlayHeader.LinkStart, std::uint16_t{500}).Load(overlay),
        "Stream read error");
    EXPECT_EQ(TOverlayBlock(Overlay({Jpeg, Bytes(50, 7)})).Load(overlay).substr(0, 21),
              "Invalid JPEG picture:");
    EXPECT_EQ(std::tuple(overlay.HeaderPicture()->Image(), overlay.Link()),
              std::tuple(HeaderImage, "http://a/"));
}

TEST(SoundAndOverlaySplit, TheSoundFileEndsWhereTheOverlayBlockBeginsAndDamageLeavesNoFile) {
    TTempDir dir, temp;
    const std::string file = dir.File("r.vsr"), folder = temp.Path(), missing = folder + "/none";
    std::vector<std::byte> sound(100000), none; // more than a copy chunk; a shifted copy shows
    for (std::size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<std::byte>(i * 31 + i / 256);
    const auto plain = WriteRecordingFile(file, {40, 20, {}, {}, sound, {}});
    const auto plainBytes = ReadFileBytes(file);
    const auto layout =
        WriteRecordingFile(file, {40, 20, {}, {}, sound, Overlay(HeaderBitmap, {}, "http://e/")});
    const auto bytes = ReadFileBytes(file);
    TScreenRecorderPlaybackFile reader(file); // the tool's own readers of the range and the block
    EXPECT_EQ(std::tuple(LocateSoundTrack(reader.GetStream(), layout.AudioOffset).End,
                         ReadOverlayBlock(reader.GetStream(), layout.OverlayOffset).Link),
              std::tuple(layout.OverlayOffset, "http://e/"));
    // The error, the sound file's bytes and whether an overlay came out of a recording split
    // from audioOffset into a folder.
    using TSplit = std::tuple<std::string, std::vector<std::byte>, bool>;
    const auto split = [&](const std::vector<std::byte>& recording, std::int64_t audioOffset,
                           const std::string& into = "") {
        TMemoryStream stream;
        stream.WriteBuffer(recording);
        TSoundAndOverlay result;
        const std::string error = ErrorOf<Exception>([&] {
            result = SplitSoundAndOverlay(stream, audioOffset, into.empty() ? folder : into);
        });
        const fs::path made = result.SoundFileName;
        const bool spx =
            made.parent_path() == folder && made.filename().string().starts_with("spx");
        const TSplit outcome{error.substr(0, error.find(": ")), spx ? ReadFileBytes(made) : none,
                             result.Overlay &&
                                 result.Overlay->TrailerPicture()->Image() == HeaderImage};
        fs::remove(made);
        return outcome;
    };
    const std::int64_t start = layout.AudioOffset, trailer = layout.Size - 32;
    const TSplit whole{"no error", sound, true}, refused{std::string(sInvalidSRFile), none, false};
    EXPECT_EQ(split(bytes, start), whole);
    EXPECT_EQ(split(plainBytes, start), TSplit("no error", sound, false));
    EXPECT_EQ(split(plainBytes, plain.Size), TSplit("no error", none, false)); // no sound
    EXPECT_EQ(split(Patched(bytes, trailer + 9, "qqqqqq"), start), whole); // 9 magic bytes count
    EXPECT_EQ(split(Patched(bytes, layout.OverlayOffset, 'X'), start), refused);
    for (const std::int64_t overlayOffset : {-1L, layout.Size - 31, INT64_MAX})
        EXPECT_EQ(split(Patched(bytes, trailer + 16, overlayOffset), start), refused);
    EXPECT_EQ(split(bytes, layout.OverlayOffset + 1), refused); // sound past its end
    EXPECT_EQ(split(bytes, -1), refused);
    EXPECT_EQ(split(bytes, start, missing),
              TSplit("Cannot create a temporary file in " + missing, none, false));
    const auto trailerOnly = Bytes("VSROVL1.0" + std::string(23, '\0')); // 32 bytes: no trailer
    EXPECT_EQ(split(trailerOnly, 0), TSplit("no error", trailerOnly, false));
    EXPECT_TRUE(fs::is_empty(folder));
}

// A stand-in program file: program bytes, a written recording, its length.
TEST(AppendedRecording, TheCopyHoldsExactlyTheRecordingAndGoesWithItsOwner) {
    TTempDir dir;
    const std::string player = dir.File("vsrplayer"), temp = dir.File("tmp");
    fs::create_directory(temp);
    WriteRecordingFile(dir.File("r.vsr"), {64, 48, {{0, PatternPicture(64, 48, 3)}}, {}, {}, {}});
    const auto recording = ReadFileBytes(dir.File("r.vsr"));
    const auto size = static_cast<std::uint32_t>(recording.size());
    TRandomNames random;
    const auto extract = [&](std::size_t programBytes, std::size_t recordingBytes,
                             std::uint32_t length) {
        auto bytes = Bytes(programBytes, 0x90);
        bytes.insert(bytes.end(), recording.begin(),
                     recording.begin() + static_cast<std::ptrdiff_t>(recordingBytes));
        Put(bytes, length);
        WriteFileBytes(player, bytes);
        return ExtractAppendedRecording(player, random, temp);
    };
    EXPECT_THROW(ExtractAppendedRecording(player, random, temp), EFOpenError); // no program file
    for (const std::size_t programBytes : {70001, 0}) { // 0: the recording starts at byte 0
        std::string name;
        if (const auto copy = extract(programBytes, size, size)) {
            name = copy->FileName();
            EXPECT_TRUE(std::regex_match(name, std::regex(temp + "/vsrplayer_[0-9A-F]+_\\.vsr")));
            EXPECT_EQ(
                std::tuple(ReadFileBytes(name), TScreenRecorderPlaybackFile(name).Header().Width),
                std::tuple(recording, 64));
        }
        TFileStream file(player, TFileMode::OpenRead);
        const auto range = FindAppendedRecording(file);
        EXPECT_EQ(std::tuple(range->Offset, range->Size, name.empty(), fs::exists(name)),
                  std::tuple(programBytes, size, false, false));
    }
    // None: 0, beyond the file's start, far beyond, inside the program, too short to be one.
    const std::pair<std::size_t, std::uint32_t> none[] = {
        {0, 0}, {0, 70002}, {0, 0xFFFFFFFF}, {0, 5000}, {4, 4}};
    for (const auto& [recordingBytes, length] : none)
        EXPECT_FALSE(extract(70001, recordingBytes, length)) << length;
    WriteFileBytes(player, Bytes(3, 1));
    EXPECT_FALSE(ExtractAppendedRecording(player, random, temp));
    EXPECT_TRUE(fs::is_empty(temp));
    // A damaged recording behind a good start is still copied; its reader reports the damage.
    const auto damaged = extract(70001, 40, 40);
    ASSERT_TRUE(damaged);
    EXPECT_EQ(fs::file_size(damaged->FileName()), 40u);
    EXPECT_THROW(TScreenRecorderPlaybackFile{damaged->FileName()}, Exception);
    EXPECT_THROW(ExtractAppendedRecording(player, random, dir.File("missing")), EFOpenError);
    EXPECT_EQ(ExtractedFileName("/opt/vsr/vsrplayer", 0x00AB12Fu, "/tmp"),
              "/tmp/vsrplayer_AB12F_.vsr");
}

} // namespace
} // namespace vsr::test
