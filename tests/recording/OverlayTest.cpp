// The overlay block: its pictures (Windows bitmaps in their variants, JPEG and GIF files, and
// damaged bytes, which every picture class decodes or refuses with EPicture), the block read
// into its object, the split of an opened recording into sound file and overlay, and the
// recording appended to the player file.
#include "recording/AppendedRecording.h"
#include "recording/PictureFactory.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundAndOverlaySplit.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

#include <random>
#include <regex>

// Picture descriptions name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vsr::test {
namespace {

using enum TOverlayPictureType;
using namespace std::string_literals; // "..."s keeps 0 bytes

TScreenPicture Decode(TOverlayPictureType type, std::span<const std::byte> bytes) {
    auto picture = CreatePicture(static_cast<std::uint8_t>(type));
    picture->LoadFromBytes(bytes);
    return picture->Image();
}

// Pseudo-random values below limit, rows top-down.
std::vector<std::uint32_t> Noise(std::int32_t width, std::int32_t height, std::uint32_t limit) {
    auto values = NoisePicture(width, height, limit).Pixels;
    std::ranges::for_each(values, [limit](std::uint32_t& value) { value %= limit; });
    return values;
}

const auto Palette = [](std::uint32_t count) { return Noise(static_cast<int>(count), 1, 1 << 24); };

// The bitmap of values (the pixels, rows top-down: colours or colour-table indices; for
// run-length data, which the file holds instead, what it must decode to) shows colourOf them.
void ExpectDecodes(TBitmapFileSpec spec, std::vector<std::uint32_t> values,
                   const std::function<std::uint32_t(std::uint32_t)>& colourOf) {
    spec.Values = values;
    TScreenPicture expected(spec.Width, spec.Height);
    std::ranges::transform(values, expected.Pixels.begin(), colourOf);
    EXPECT_EQ(Decode(Bitmap, BitmapFile(spec)), expected) << spec.BitCount << " bits";
}

const auto Colours = Palette(8);

// Indices that differ from row to row, so that a misplaced row shows.
TGifImageSpec GifImage(std::int32_t width, std::int32_t height, bool interlaced = false) {
    const auto indices = Noise(width, height, 8);
    return {0, 0, width, height, interlaced, -1, {}, {indices.begin(), indices.end()}};
}

// Odd bitmap widths make every row need padding, which exposes a wrong row length.
TEST(OverlayPicture, DecodesEveryBitmapVariantAndGifAndJpegFiles) {
    for (const bool topDown : {false, true})
        for (const std::uint16_t bits : {24, 32}) // the 4th byte of 32 bits is no colour
            ExpectDecodes({7, 5, topDown, bits, 0, 40, 0, {}, {}, {}, {}, 0xAB},
                          Noise(7, 5, 1 << 24), [](auto v) { return v; });
    ExpectDecodes({5, 3, false, 16}, Noise(5, 3, 0x10000), // 5-5-5
                  [](auto v) { return (v & 0x7C00) << 9 | (v & 0x3E0) << 6 | (v & 0x1F) << 3; });
    for (const std::uint32_t infoSize : {40u, 124u}) // masks after the header or inside it
        ExpectDecodes(
            {5, 3, false, 16, 3, infoSize, 0, {}, {0xF800, 0x07E0, 0x001F}}, Noise(5, 3, 0x10000),
            [](auto v) { return (v & 0xF800) << 8 | (v & 0x7E0) << 5 | (v & 0x1F) << 3; });
    // Palette(n) is the first n colours of Palette(256); indices past a table are black.
    const auto palette = Palette(256);
    const auto colours = [&](std::uint32_t limit) {
        return [&, limit](std::uint32_t v) { return v < limit ? palette[v] : 0u; };
    };
    for (const std::uint16_t bits : {1, 4, 8})
        ExpectDecodes({11, 6, bits == 4, bits, 0, 40, 0, Palette(1u << bits)},
                      Noise(11, 6, 1u << bits), colours(256));
    // A short colour table moves the pixel data up.
    ExpectDecodes({5, 2, false, 8, 0, 124, 3, Palette(3)}, {0, 1, 2, 7, 2, 1, 0, 200, 1, 1},
                  colours(3));
    TBitmapFileSpec eight{6, 3, false, 8, 1, 40, 16, Palette(16)};
    eight.Encoded = Bytes("\3\1\0\3\4\5\6\0" // bottom row: three 1s, absolute 4 5 6, padded
                          "\0\0\0\2\2\1"     // end of line; delta two right, one up
                          "\2\7\0\1"s);      // top row from x = 2: two 7s; end of bitmap
    ExpectDecodes(eight, {16, 16, 7, 7, 16, 16, 16, 16, 16, 16, 16, 16, 1, 1, 1, 4, 5, 6},
                  colours(16)); // 16: skipped
    TBitmapFileSpec four{7, 2, false, 4, 2, 40, 0, Palette(16)};
    four.Encoded = Bytes("\5\x12\0\0"         // bottom row 1 2 1 2 1, end of line
                         "\0\5\x34\x56\x70\0" // absolute 3 4 5 6 7, padded to four bytes
                         "\2\x9A\0\1"s);      // 9 A, end of bitmap
    ExpectDecodes(four, {3, 4, 5, 6, 7, 9, 10, 1, 2, 1, 2, 1, 16, 16}, colours(16));
    // Only the first image counts; transparent pixels and the screen around the image are white,
    // not the red background; the rows of an interlaced image land in their places.
    for (const bool interlaced : {false, true}) { // 19 rows: every pass has rows
        TGifImageSpec image = GifImage(5, 19, interlaced);
        std::tie(image.Left, image.Top, image.TransparentIndex) = std::tuple(4, 1, 3);
        TScreenPicture expected(9, 20, 0xFFFFFF);
        for (std::size_t i = 0; i < image.Indices.size(); ++i)
            expected.At(4 + i % 5, 1 + i / 5) =
                image.Indices[i] == 3 ? 0xFFFFFF : Colours[image.Indices[i]];
        EXPECT_EQ(Decode(Gif, GifFile({9, 5, 1, Colours, {image, GifImage(9, 5)}})), expected);
    }
    const auto smooth = SmoothPicture(37, 21); // the last JPEG block row and column are partial
    EXPECT_LE(MaxChannelDifference(Decode(Jpeg, JpegFileOf(smooth)), smooth), 12);
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
    const std::size_t sof = std::ranges::search(jpeg, Bytes("\xFF\xC0")).begin() - jpeg.begin();
    const std::string bmpError = "Invalid bitmap picture: ", huge = "too large (30000 x 30000)";
    const std::tuple<TOverlayPictureType, std::vector<std::byte>, std::string> cases[] = {
        {Bitmap, {}, bmpError + "no bitmap file header"},
        {Bitmap, Patched(bmp, 0, 'X'), bmpError + "no bitmap file header"},
        {Bitmap, {bmp.begin(), bmp.end() - 12}, bmpError + "truncated pixel data"},
        {Bitmap, {bmp.begin(), bmp.end() - 1}, "no error"}, // only the last row's padding missing
        {Bitmap, Patched(bmp, 28, std::uint16_t{2}), bmpError + "unsupported bit count 2"},
        {Bitmap, Patched(bmp, 30, 4), bmpError + "unsupported compression 4"}, // JPEG inside
        {Bitmap, Patched(bmp, 10, std::uint16_t{0xFFFF}), bmpError + "pixel data outside the file"},
        {Bitmap, Patched(Patched(bmp, 18, 30000), 22, 30000), huge},
        {Bitmap, Patched(Patched(bmp, 18, 4000), 22, 4000), bmpError + "truncated pixel data"},
        {Bitmap, Patched(bmp, 18, 0), "empty picture"},
        {Bitmap, Patched(bmp, 22, INT32_MIN), "too large"},
        {Gif, GifFile({4, 4, 0, Colours, {}}), "Invalid GIF picture: no image"},
        {Gif, noColours, "Invalid GIF picture: no colour table"},
        {Gif, {gif.begin(), gif.begin() + 200}, "Invalid GIF picture: "}, // in the data
        {Gif, GifFile({30000, 30000, 0, Colours, {GifImage(2, 2)}}), huge},
        {Jpeg, {}, "Invalid JPEG picture: no data"},
        {Jpeg, Bytes(100, 0x42), "Invalid JPEG picture: Not a JPEG file"},
        {Jpeg, Patched(jpeg, sof + 5, std::uint32_t{0x30753075}), huge}};
    for (const auto& [type, bytes, expected] : cases)
        EXPECT_NE(ErrorOf<EPicture>([&] { Decode(type, bytes); }).find(expected), std::string::npos)
            << expected;
    TBitmapFileSpec rle{9, 5, false, 8, 1, 40, 16, Palette(16)};
    rle.Encoded = Bytes("\4\3\0\3\1\2\3\0\0\0\0\2\1\1\0\1"s);
    std::mt19937 random(20240601);
    int outcomes[2] = {}; // refused, decoded
    for (const auto& [type, bytes] :
         {std::pair{Bitmap, bmp}, {Bitmap, BitmapFile(rle)}, {Gif, gif}, {Jpeg, jpeg}})
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            auto damaged = bytes;
            for (std::size_t i = 0; i <= length % 4; ++i)
                damaged[random() % damaged.size()] = static_cast<std::byte>(random());
            for (const auto input :
                 {std::span(bytes).first(length), std::as_bytes(std::span(damaged))})
                ++outcomes[ErrorOf<EPicture>([&] { Decode(type, input); }) == "no error"];
        }
    EXPECT_TRUE(outcomes[0] > 0 && outcomes[1] > 0);
}

const auto HeaderImage = PatternPicture(13, 7, 4);
const TOverlayPicture HeaderBitmap{Bitmap, BitmapFileOf(HeaderImage)};

// Offset in the block, value, and how many of its little-endian bytes replace the block's
// there; 0 bytes: the stream ends at the offset.
using TPatch = std::tuple<std::int64_t, std::int64_t, std::size_t>;

// Loads into overlay the block of written, written by the project's writer after other data
// and patched; the error, or "no error".
std::string LoadBlock(TScreenRecorderOverlayFile& overlay, const TRecordingOverlay& written,
                      const std::vector<TPatch>& patches) {
    TMemoryStream stream;
    stream.WriteBuffer(Bytes(1000, 0x5A));
    const std::int64_t base =
        1000 + TScreenRecorderFileWriter(stream, 16, 8).Finish({}, written).OverlayOffset;
    for (const auto& [offset, value, bytes] : patches) {
        stream.SetPosition(base + offset);
        stream.WriteBuffer(std::as_bytes(std::span(&value, 1)).first(bytes));
        if (bytes == 0)
            stream.SetSize(base + offset);
    }
    stream.SetPosition(base);
    return ErrorOf<Exception>([&] { overlay.LoadFromStream(stream); });
}

// A damaged block raises and leaves the overlay object as it was.
TEST(OverlayFile, PicturesDelaysAndLinkAsTheBlockDescribesThemOrDamageKeepsTheOldContent) {
    constexpr std::int64_t headerType = offsetof(TOverlayHeader, HeaderPictureType),
                           trailerType = headerType + 1, link = sizeof(TOverlayHeader);
    const TOverlayPicture none{None, Bytes(40, 1)}, noBytes{Bitmap, {}};
    const TRecordingOverlay both{HeaderBitmap, HeaderBitmap, 0, 7, "http://example.org/"};
    const std::string invalid(sInvalidSRFile);
    // The block, its patches (type codes: 2 is JPEG; 4 and up are none), and which pictures
    // there are: H header, T trailer, = the trailer is (a copy of) the header, whatever its type
    // says; or the error up to its first ": ".
    std::vector<std::tuple<TRecordingOverlay, std::vector<TPatch>, std::string>> cases = {
        {{HeaderBitmap, {}, 5, 7, "http://example.org/after"}, {}, "HT="},
        {{HeaderBitmap, {}, 0, 7}, {{trailerType, 2, 1}}, "HT="},
        {{none, none, 0, 7, "vsrfile://host/next.vsr"}, {}, "--."},
        {both, {{headerType, 4, 1}, {trailerType, 255, 1}}, "--."},
        {{noBytes, {}, 0, 7}, {}, "--="},
        {{HeaderBitmap, noBytes, 0, 7, "http://a/"}, {{7, 'Z', 1}}, "H-."},   // 7 magic bytes count
        {both, {{6, '1', 1}}, invalid},                                       // FOVL1.1
        {both, {{7, 0, 0}}, invalid},                                         // only the magic
        {{{}, {}, 0, 7, "http://a/"}, {{link, 500, 2}}, "Stream read error"}, // beyond the data
        {{{Jpeg, Bytes(50, 7)}, {}, 0, 7}, {}, "Invalid JPEG picture"}};
    const std::pair<std::int64_t, std::int64_t> ranges[] = {
        {16, INT64_MAX}, {8, -72}, {16, 10}, {32, 1'000'000}, {40, -5}, {40, 1'000'000}};
    for (const auto& [field, value] : ranges) // outside the stream, or ending before they start
        cases.push_back({both, {{field, value, 8}}, invalid});
    TScreenRecorderOverlayFile overlay;
    std::tuple<std::string, std::string, std::int32_t, std::int32_t> before;
    for (const auto& [written, patches, outcome] : cases) {
        const std::string error = LoadBlock(overlay, written, patches);
        const TPicture *header = overlay.HeaderPicture(), *trailer = overlay.TrailerPicture();
        const std::string pictures{header ? 'H' : '-', trailer ? 'T' : '-',
                                   overlay.TrailerIsHeader() ? '=' : '.'};
        const bool loaded = error == "no error";
        EXPECT_EQ(loaded ? pictures : error.substr(0, error.find(": ")), outcome) << outcome;
        if (loaded) // else the content stays as it was
            before = std::tuple(pictures, written.Link, written.HeaderDelaySeconds, 7);
        EXPECT_EQ(
            std::tuple(pictures, overlay.Link(), overlay.HeaderDelay(), overlay.TrailerDelay()),
            before);
        for (const TPicture* picture : {header, trailer})
            EXPECT_TRUE(!picture || picture->Image() == HeaderImage);
    }
}

// Mended: a negative delay, or one whose milliseconds overflow a timer, kept the picture up for
// good; delays are held to 0 to 3600 s.
TEST(OverlayFile, DelaysAreHeldToAnHour) {
    const TCaptureTracer trace;
    const std::int32_t cases[][4] = {{-5, 3600, 0, 3600}, {2147484, INT32_MIN, 3600, 0}};
    for (const auto& [header, trailer, heldHeader, heldTrailer] : cases) {
        TScreenRecorderOverlayFile overlay;
        ASSERT_EQ(LoadBlock(overlay, {HeaderBitmap, {}, header, trailer}, {}), "no error");
        EXPECT_EQ(std::pair(overlay.HeaderDelay(), overlay.TrailerDelay()),
                  std::pair(heldHeader, heldTrailer));
    }
    EXPECT_TRUE(trace.Contains("Header delay of -5 s taken as 0 s") &&
                trace.Contains("Trailer delay of -2147483648 s taken as 0 s"));
}

// Copies into temporary files: the sound track of an opened recording, which ends where the
// overlay block begins, and the recording appended to the player file. Each holds exactly its
// bytes and goes with its owner; damage leaves no file behind.
TEST(RecordingCopies, TheSoundFileAndTheAppendedRecordingHoldExactlyTheirBytes) {
    TTempDir dir, temp;
    const std::string file = dir.File("r.vsr"), folder = temp.Path(), missing = folder + "/none";
    std::vector<std::byte> sound(100000), none; // more than a copy chunk; a shifted copy shows
    for (std::size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<std::byte>(i * 31 + i / 256);
    const auto layout =
        WriteRecordingFile(file, {40, 20, {}, {}, sound, {{HeaderBitmap, {}, 0, 0, "http://e/"}}});
    const auto bytes = ReadFileBytes(file);
    const std::vector plain(bytes.begin(), bytes.begin() + layout.OverlayOffset); // no overlay
    // The error, the sound file's bytes and whether an overlay came out of a recording split
    // from audioOffset into a folder.
    using TSplit = std::tuple<std::string, std::vector<std::byte>, bool>;
    const auto split = [&](const std::vector<std::byte>& recording, std::int64_t audioOffset) {
        TMemoryStream stream;
        stream.WriteBuffer(recording);
        TSoundAndOverlay result;
        const std::string error =
            ErrorOf<Exception>([&] { result = SplitSoundAndOverlay(stream, audioOffset, folder); });
        const TTempFile made(result.SoundFileName); // removed once looked at
        return TSplit{error,
                      made.FileName().starts_with(folder + "/spx") ? ReadFileBytes(made.FileName())
                                                                   : none,
                      result.Overlay && result.Overlay->TrailerPicture()->Image() == HeaderImage};
    };
    const std::int64_t start = layout.AudioOffset, trailer = layout.Size - 32;
    const std::string invalid(sInvalidSRFile);
    const TSplit whole{"no error", sound, true}, refused{invalid, none, false},
        badTrailer{invalid + ": the overlay trailer points outside the recording", none, false},
        badSound{invalid + ": the voice track's offset lies outside the recording", none, false};
    EXPECT_EQ(split(bytes, start), whole);
    EXPECT_EQ(split(plain, start), TSplit("no error", sound, false));
    EXPECT_EQ(split(plain, std::ssize(plain)), TSplit("no error", none, false)); // no sound
    EXPECT_EQ(split(Patched(bytes, trailer + 9, "qqqqqq"), start), whole); // 9 magic bytes count
    EXPECT_EQ(split(Patched(bytes, layout.OverlayOffset, 'X'), start), refused);
    for (const std::int64_t overlayOffset : {-1L, layout.Size - 31, INT64_MAX})
        EXPECT_EQ(split(Patched(bytes, trailer + 16, overlayOffset), start), badTrailer);
    EXPECT_EQ(split(bytes, layout.OverlayOffset + 1), badSound); // sound past its end
    EXPECT_EQ(split(bytes, INT64_MIN), badSound);
    EXPECT_THROW(
        SplitSoundAndOverlay(TScreenRecorderPlaybackFile(file).GetStream(), start, missing),
        EFOpenError);
    const auto trailerOnly = Bytes("VSROVL1.0" + std::string(23, '\0')); // 32 bytes: no trailer
    EXPECT_EQ(split(trailerOnly, 0), TSplit("no error", trailerOnly, false));
    // A stand-in player file: program bytes, the recording or its start, the length at the end;
    // how many bytes are copied. None: a length of 0, beyond the file's start, far beyond, inside
    // the program, too short to be one. A damaged recording behind a good start is still copied
    // (and stays in the file for the check of a missing folder).
    const std::string player = dir.File("vsrplayer");
    const auto size = static_cast<std::uint32_t>(bytes.size());
    TRandomNames random;
    const std::tuple<std::size_t, std::size_t, std::uint32_t, std::size_t> cases[] = {
        {70001, size, size, size}, {0, size, size, size}, {70001, 0, 0, 0}, {70001, 0, 70002, 0},
        {70001, 0, 0xFFFFFFFF, 0}, {70001, 0, 5000, 0},   {70001, 4, 4, 0}, {70001, 40, 40, 40}};
    for (const auto& [programBytes, recordingBytes, length, copied] : cases) {
        auto program = Bytes(programBytes, 0x90);
        std::ranges::copy(std::span(bytes).first(recordingBytes), std::back_inserter(program));
        Put(program, length);
        WriteFileBytes(player, program);
        const auto copy = ExtractAppendedRecording(player, random, folder);
        EXPECT_EQ(copy ? ReadFileBytes(copy->FileName()) : none,
                  std::vector(bytes.begin(), bytes.begin() + copied))
            << length;
        EXPECT_TRUE(!copy || std::regex_match(copy->FileName(),
                                              std::regex(folder + "/vsrplayer_[0-9A-F]+_\\.vsr")));
        using enum std::filesystem::perms;
        EXPECT_TRUE(!copy || (std::filesystem::status(copy->FileName()).permissions() & all) ==
                                 (owner_read | owner_write))
            << "only for the player's user";
    }
    EXPECT_THROW(ExtractAppendedRecording(player, random, missing), EFOpenError);
    WriteFileBytes(player, Bytes(3, 1));
    EXPECT_FALSE(ExtractAppendedRecording(player, random, folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(ExtractedFileName("/opt/vsr/vsrplayer", 0x00AB12Fu, "/tmp"),
              "/tmp/vsrplayer_AB12F_.vsr");
}

} // namespace
} // namespace vsr::test
