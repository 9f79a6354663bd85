// Writes the seed corpora of the fuzz targets with the project's own writers: recordings, tile
// payloads, voice tracks, overlay blocks, picture files, player files, language files and the
// download script's answers. Usage: vsr_fuzz_seeds CORPUS_FOLDER
#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace vsr;
using test::Bytes;
namespace fs = std::filesystem;

fs::path Root;

void Seed(const std::string& target, const std::string& name, std::span<const std::byte> bytes) {
    fs::create_directories(Root / target);
    test::WriteFileBytes((Root / target / name).string(), bytes);
}

std::vector<std::byte> Voice(bool withSilences) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 8000; ++i) // a second of tone, then silence, then tone
        samples.push_back(static_cast<std::int16_t>(6000 * std::sin(i * 0.35)));
    samples.resize(samples.size() + 6000, 0);
    samples.insert(samples.end(), samples.begin(), samples.begin() + 4000);
    TSpxWriterSettings settings;
    if (!withSilences)
        settings.Silences = TSpxSilenceHandling::Code;
    return TSpxWriter::Encode(samples, settings);
}

std::vector<std::byte> Recording(TTileBitDepth depth,
                                 const std::optional<TRecordingOverlay>& overlay,
                                 TRecordingLayout* layout = nullptr) {
    TMemoryStream out;
    TRecordingOptions options;
    options.BitDepth = depth;
    options.TileWidth = 16;
    options.TileHeight = 8;
    options.KeyFrameInterval = 2000;
    TScreenRecorderFileWriter writer(out, 40, 24, options);
    for (std::uint32_t t = 0; t < 5000; t += 700)
        writer.AddPicture(t, test::WithRect(test::PatternPicture(40, 24, 1), t % 30, 3, 6, 5, t));
    writer.AddCursor({0, 3, 4});
    writer.AddCursor({900, 30, 20});
    const TRecordingLayout written = writer.Finish(Voice(true), overlay);
    if (layout)
        *layout = written;
    const auto memory = out.Memory();
    return {memory.begin(), memory.end()};
}

std::vector<std::byte> GifBytes(bool interlaced) {
    test::TGifFileSpec spec{6, 4, 0, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, {}};
    test::TGifImageSpec image{1, 0, 4, 4, interlaced, interlaced ? 2 : -1, {}, {}};
    for (int i = 0; i < 16; ++i)
        image.Indices.push_back(static_cast<std::uint8_t>(i % 4));
    spec.Images.push_back(image);
    return test::GifFile(spec);
}

void Pictures() {
    const TScreenPicture picture = test::PatternPicture(9, 5, 2);
    Seed("bitmap", "24bit.bmp", test::BitmapFileOf(picture));
    test::TBitmapFileSpec palette{
        3, 2, false, 8, 0, 40, 0, {0x102030, 0xFFFFFF}, {}, {0, 1, 1, 0, 1, 0}};
    Seed("bitmap", "8bit.bmp", test::BitmapFile(palette));
    palette.BitCount = 4;
    palette.TopDown = true;
    Seed("bitmap", "4bit-topdown.bmp", test::BitmapFile(palette));
    test::TBitmapFileSpec rle{4, 2, false, 8, 1, 40, 0, {0x000000, 0xABCDEF}, {}, {}};
    rle.Encoded = {std::byte{4}, std::byte{1}, std::byte{0}, std::byte{0},
                   std::byte{2}, std::byte{0}, std::byte{0}, std::byte{1}};
    Seed("bitmap", "rle8.bmp", test::BitmapFile(rle));
    test::TBitmapFileSpec masks{2,
                                2,
                                false,
                                32,
                                3,
                                40,
                                0,
                                {},
                                {0xFF0000, 0xFF00, 0xFF},
                                {0x112233, 0x445566, 0x778899, 0xAABBCC}};
    Seed("bitmap", "bitfields.bmp", test::BitmapFile(masks));
    Seed("jpeg", "colour.jpg", test::JpegFileOf(test::SmoothPicture(17, 9)));
    Seed("jpeg", "grey.jpg",
         test::JpegFileOf(test::SmoothPicture(8, 8), 80, test::TJpegColour::Greyscale));
    Seed("gif", "plain.gif", GifBytes(false));
    Seed("gif", "interlaced.gif", GifBytes(true));
}

void Recordings() {
    const std::vector<std::byte> bmp = test::BitmapFileOf(test::PatternPicture(5, 3, 9));
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, bmp};
    overlay.TrailerPicture = TOverlayPicture{TOverlayPictureType::Gif, GifBytes(false)};
    overlay.HeaderDelaySeconds = 2;
    overlay.TrailerDelaySeconds = 3;
    overlay.Link = "https://example.com/";
    Seed("recording", "16bit.vsr", Recording(TTileBitDepth::Bits16, std::nullopt));
    Seed("recording", "24bit.vsr", Recording(TTileBitDepth::Bits24, std::nullopt));
    TRecordingLayout layout;
    const std::vector<std::byte> withOverlay = Recording(TTileBitDepth::Bits32, overlay, &layout);
    Seed("recording", "32bit-overlay.vsr", withOverlay);
    Seed("overlay", "bitmap-gif.ovl",
         std::span(withOverlay).subspan(static_cast<std::size_t>(layout.OverlayOffset)));
    overlay.HeaderPicture = {TOverlayPictureType::Jpeg,
                             test::JpegFileOf(test::SmoothPicture(6, 6))};
    overlay.TrailerPicture.reset();
    const std::vector<std::byte> jpeg = Recording(TTileBitDepth::Bits16, overlay, &layout);
    Seed("overlay", "jpeg-shared.ovl",
         std::span(jpeg).subspan(static_cast<std::size_t>(layout.OverlayOffset)));
    std::vector<std::byte> player = Bytes(300, 0x90);
    player.insert(player.end(), withOverlay.begin(), withOverlay.end());
    test::Put(player, static_cast<std::uint32_t>(withOverlay.size()));
    Seed("appended", "player", player);
    for (const TTileBitDepth depth :
         {TTileBitDepth::Bits16, TTileBitDepth::Bits24, TTileBitDepth::Bits32}) {
        std::vector<std::byte> tile = Bytes(4, 0); // the place: (0, 0)
        const auto dib = EncodeTileDib(test::PatternPicture(12, 7, 4), {0, 0, 12, 7}, depth);
        tile.insert(tile.end(), dib.begin(), dib.end());
        Seed("tile", std::to_string(static_cast<int>(depth)) + "bit", tile);
    }
}

void Texts() {
    Seed("voice", "silences.spx", Voice(true));
    Seed("voice", "coded.spx", Voice(false));
    const std::vector<std::byte> coded = Voice(false);
    Seed("voice", "no-magic.spx", std::span(coded).subspan(6));
    Seed("language", "window.lng",
         Bytes("\xEF\xBB\xBF; comment\n[TSRPlaybackDlg]\nPlayButtonHint='Play it'\n"
               "Caption = \"A `title\"\nplaybuttonhint=second\n# also\n[Other]\nx=y\n"));
    Seed("answers", "information", Bytes(std::string("\x01\x00", 2) + "OK|123456|987654|x"));
    Seed("answers", "not-found", Bytes(std::string("\x02\x00", 2) + "22"));
    Seed("answers", "block",
         Bytes(std::string("\x03\x01", 2) + "OK|VSR2.1" + std::string(66, 'x')));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vsr_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    Root = argv[1];
    SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
    Pictures();
    Recordings();
    Texts();
    FinishSndKitLibrary();
    return 0;
}
