// The `vsr` tool run as a process: the contract other programs rely on.

#include "app/About.h"
#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "render/CursorPicture.h"
#include "shell/Format.h"
#include "support/Files.h"
#include "support/Pump.h"
#include "support/Recordings.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "support/Voice.h"

#include <gtest/gtest.h>
#include <png.h>

#include <charconv>
#include <filesystem>
#include <regex>
#include <sstream>

namespace vsr::test {
namespace {

namespace fs = std::filesystem;

TProcessResult Vsr(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    return RunProcess(VSR_TOOL_PATH, args, env);
}

// The file is an 8-bit RGB PNG file of picture.
::testing::AssertionResult PngShows(const std::string& file, const TScreenPicture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<TPixel32> pixels(picture.Pixels.size());
    const bool rgb = png_image_begin_read_from_file(&image, file.c_str()) &&
                     image.format == PNG_FORMAT_RGB && image.width == png_uint_32(picture.Width) &&
                     image.height == png_uint_32(picture.Height);
    image.format = PNG_FORMAT_BGRA; // on a little-endian machine, 0xAARRGGBB
    if (rgb && png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return SamePicture(PackedPixels(picture.Width, picture.Height, pixels), picture);
    png_image_free(&image);
    return ::testing::AssertionFailure() << file << " is no RGB PNG file of the picture's size";
}

// 300 x 70 at 16 bits in 256 x 32 tiles (cut at the right and bottom edges), 2 s: pictures at
// 0, 500, 900, 1500 and 1800 ms with a key frame every second, the first index entry holding
// StartTickCount, and a record cut short at 1700 (shorter than a tile header); a pointer track out
// of time order with two entries at its last time; a voice of 0.5 s of 440 Hz, a 1 s pause, 0.5 s
// of 1000 Hz, a 0.3 s pause and 0.4 s of 700 Hz; a header picture shown 5 s before and 3 s after,
// and a link. Beside it a 16 x 16 black recording whose voice track is no SPX stream and whose
// pointer track has an entry at time 0 only.
class VsrTool : public ::testing::Test {
protected:
    TTempDir FDir;
    std::string FRecording = FDir.File("with \"quotes\".vsr"), FSilent = FDir.File("silent.vsr");
    std::string FOut = FDir.File("out"), FPlayer = FDir.File("player");
    std::vector<std::int16_t> FVoice =
        Joined({Tone(500, 440), Silence(1000), Tone(500, 1000), Silence(300), Tone(400, 700)});
    std::vector<TTimedPicture> FPictures;
    TRecordingLayout FLayout;

    void SetUp() override {
        SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); // the voice is encoded in this process
        WriteFileBytes(FPlayer, Bytes(3000, 0x7F));
        WriteRecordingFile(FSilent, {16, 16, {{0, {16, 16}}}, {{0, 5, 5}}, Bytes("no voice"), {}});
        const TScreenPicture a = PatternPicture(300, 70, 1), c = PatternPicture(300, 70, 5);
        const TScreenPicture b = WithRect(a, 10, 10, 20, 5, 0xFF0000);
        const TScreenPicture d = WithRect(b, 260, 40, 30, 20, 0xFF00);
        FPictures = {{0, a}, {500, b}, {900, d}, {1500, c}, {1800, WithRect(c, 0, 0, 8, 8, 0)}};
        TRecordingOptions options;
        options.KeyFrameInterval = 1000;
        options.Duration = 2000;
        options.FirstEntryTime = TFirstEntryTime::StartTickCount;
        TFileStream file(FRecording, TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 300, 70, options);
        for (const auto& [time, picture] : std::span(FPictures).first(4))
            writer.AddPicture(time, picture);
        writer.AddRecord({1700, 0, 0, 30}, Bytes(30, 1));
        writer.AddPicture(1800, FPictures[4].Picture);
        for (const TCursorEntry& entry : std::vector<TCursorEntry>{
                 {0, 12, 34}, {700, 56, 7}, {650, 100, 50}, {1600, 290, 60}, {1600, 5, 5}})
            writer.AddCursor(entry);
        const TRecordingOverlay overlay{
            {TOverlayPictureType::Bitmap, Bytes("BM")}, {}, 5, 3, "http://example.com/a?b=\"c\""};
        FLayout = writer.Finish(TSpxWriter::Encode(FVoice), overlay);
    }
};

// A key frame's time is the one stored in its entry. The silences are the stored records: the
// 1 s pause is 50 left-out frames of 29 bytes after 25 coded ones, the 0.3 s pause 15 after
// 50; the intervals are in decoded bytes. Frames lists segment, time, x, y, width, height,
// bits and payload bytes of every record in file order (0 0 0 for the record cut short):
// 2 x 3 tiles of a key frame, a changed tile at 500 and at 900, the next key frame, and so on.
TEST_F(VsrTool, InfoAndFramesDescribeTheLayoutTheVoiceTrackAndEveryRecord) {
    char stop[32];
    const TRecordingLayout& l = FLayout;
    EXPECT_EQ(
        Vsr({"info", FRecording, "--json"}).Out,
        Format(R"({"file": "%s", "size": %d, "magic": "VSR2.1", "width": 300, "height": 70, )"
               R"("start_date_time": 45000.5, "stop_date_time": %s, "start_tick": 1000, )"
               R"("stop_tick": 3000, "duration_ms": 2000, "audio_offset": %d, )"
               R"("key_frame_index_offset": %d, "cursor_track_offset": %d, "key_frames": )"
               R"([{"offset": 72, "size": %d, "time": 1000}, {"offset": %d, "size": %d, "time": )"
               R"(1500}], "cursors": {"count": 5, "first": [0, 12, 34]}, "sound_track": )"
               R"({"offset": %d, "end": %d, "bytes": %d}, "overlay": {"offset": %d, )"
               R"("header_picture_type": 1, "trailer_picture_type": 1, "trailer_is_header": )"
               R"(true, "header_delay": 5, "trailer_delay": 3, "link": )"
               R"("http://example.com/a?b=\"c\""}, "audio": {"magic": true, "channels": 1, )"
               R"("rate": 8000, "quality": 6, "complexity": 10, "encoded_frame_bytes": 29, )"
               R"("comp_block": 290, "pcm_block": 3200, "total_silence": 1885, "size": 43200, )"
               R"("duration": 2, "silences": [[725, 1450], [1450, 435]], "intervals": [[0, )"
               R"(8000], [24000, 32000], [36800, 43200]]}})"
               "\n",
               FDir.File(R"(with \"quotes\".vsr)"), l.Size,
               std::string(stop, std::to_chars(stop, stop + 32, l.Header.StopDateTime).ptr),
               l.AudioOffset, l.KeyFrameIndexOffset, l.CursorTrackOffset, l.KeyFrames[0].Size,
               l.KeyFrames.at(1).Offset, l.KeyFrames.at(1).Size, l.AudioOffset, l.OverlayOffset,
               l.OverlayOffset - l.AudioOffset, l.OverlayOffset));
    EXPECT_TRUE(Vsr({"info", FSilent, "--json"})
                    .Out.ends_with(R"("overlay": null, "audio": {"error": "Invalid SPX file"}})"
                                   "\n"));
    EXPECT_NE(Vsr({"info", FRecording}).Out.find("Screen area:    300 x 70\n"), std::string::npos);
    EXPECT_EQ(Vsr({"frames", FRecording}).Out,
              "0 0 0 0 256 32 16 16424\n0 0 256 0 44 32 16 2856\n0 0 0 32 256 32 16 16424\n"
              "0 0 256 32 44 32 16 2856\n0 0 0 64 256 6 16 3112\n0 0 256 64 44 6 16 568\n"
              "0 500 0 0 256 32 16 16424\n0 900 256 32 44 32 16 2856\n1 1500 0 0 256 32 16 16424\n"
              "1 1500 256 0 44 32 16 2856\n1 1500 0 32 256 32 16 16424\n1 1500 256 32 44 32 16 "
              "2856\n1 1500 0 64 256 6 16 3112\n1 1500 256 64 44 6 16 568\n1 1700 0 0 0 0 0 30\n"
              "1 1800 0 0 256 32 16 16424\n");
}

// The decoded voice with the left-out pauses as exact zeros; with --raw the same samples
// without the 44-byte header.
TEST_F(VsrTool, AudioGivesTheVoiceBackWithZerosWhereThePausesWere) {
    ASSERT_EQ(Vsr({"audio", FRecording, "-o", FOut}).ExitCode, 0);
    ASSERT_EQ(Vsr({"audio", FRecording, "-o", FDir.File("raw"), "--raw"}).ExitCode, 0);
    const auto wav = ReadFileBytes(FOut);
    ASSERT_EQ(wav.size(), 44 + FVoice.size() * 2);
    EXPECT_EQ(Get<std::int32_t>(wav, 40), static_cast<std::int32_t>(FVoice.size() * 2));
    EXPECT_EQ(ReadFileBytes(FDir.File("raw")), std::vector(wav.begin() + 44, wav.end()));
    const auto pause = std::span(wav).subspan(44 + 4160 * 2, 7680 * 2); // in the 1 s pause
    EXPECT_EQ(std::ranges::count(pause, std::byte{0}), 7680 * 2);
}

// From the last key frame not after the time (the first counting as 0), every record up to it;
// the record cut short is skipped and the next one drawn. The pointer at natural size, its
// top-left corner (the tip 9, 3 further) at the first track entry later than the time, in
// track order; past the track, at the first entry with the last time, cut at the edges; at
// (0, 0) when no entry lies after time 0.
TEST_F(VsrTool, SnapshotWritesThePictureHeldAtTheTimeWithOrWithoutThePointer) {
    // File (0 the sample, 1 the black one), time, picture, with the pointer, its position.
    const std::int32_t cases[][6] = {{0, 499, 0, 0, 0, 0},  {0, 900, 2, 0, 0, 0},
                                     {0, 1799, 3, 0, 0, 0}, {0, 60000, 4, 0, 0, 0},
                                     {0, 600, 1, 1, 56, 7}, {0, 5000, 4, 1, 290, 60},
                                     {1, 0, 5, 1, 0, 0}};
    const TCursorPicture& arrow = TCursorPicture::Instance();
    for (const auto& [index, time, picture, cursor, x, y] : cases) {
        TScreenPicture expected =
            picture < 5 ? Expanded555(FPictures[picture].Picture) : TScreenPicture(16, 16);
        for (std::int32_t r = 0; cursor && r < 32 && y + r < expected.Height; ++r)
            for (std::int32_t c = 0; c < 32 && x + c < expected.Width; ++c)
                if (!arrow.Transparent(c, r))
                    expected.At(x + c, y + r) = arrow.View().At(c, r) & 0xFFFFFF;
        const std::string at = std::to_string(time), file = index ? FSilent : FRecording;
        const std::vector<std::string> args{"snapshot", file, "--at", at, "-o", FOut, "--cursor"};
        ASSERT_EQ(Vsr({args.begin(), args.end() - !cursor}).ExitCode, 0);
        EXPECT_TRUE(PngShows(FOut, expected)) << file << " at " << time;
        EXPECT_TRUE(!cursor || expected.At(x + 9, y + 3) == 0) << "the tip is black";
    }
}

TEST_F(VsrTool, PackWritesThePlayerTheRecordingAndItsLengthAsAnExecutable) {
    ASSERT_EQ(Vsr({"pack", FRecording, "-o", FOut, "--player", FPlayer}).ExitCode, 0);
    const auto recording = ReadFileBytes(FRecording);
    auto expected = ReadFileBytes(FPlayer);
    expected.insert(expected.end(), recording.begin(), recording.end());
    Put(expected, static_cast<std::uint32_t>(recording.size()));
    EXPECT_EQ(ReadFileBytes(FOut), expected);
    EXPECT_EQ(fs::status(FOut).permissions(), fs::perms(0755));
}

// Errors exit with 1 and print the message, a wrong command line exits with 2 and the usage;
// nothing is left where a command fails, not even a half-written file: the `pack` under
// /bin/sh copies a 16 MiB player and fails at the file-size limit of 4 MiB (8 with 1 KiB
// blocks). Without --player, the player is the vsrplayer beside the tool.
TEST_F(VsrTool, FailuresExitWithOneWrongCommandLinesWithTwo) {
    const std::string bad = FDir.File("bad.vsr"), huge = FDir.File("huge.vsr");
    WriteFileBytes(bad, Bytes("VSR2.0 not quite"));
    WriteFileBytes(huge, Bytes("VSR2.1"));
    fs::resize_file(huge, 0x100000000ULL); // sparse: takes no room
    fs::resize_file(FPlayer, 16 << 20);
    const std::string copy = FDir.File("vsr");
    fs::copy_file(VSR_TOOL_PATH, copy);
    const auto before = ReadFileBytes(FRecording);
    const std::string &in = FRecording, &out = FOut, &p = FPlayer, tool = VSR_TOOL_PATH;
    const std::string limited = "trap '' XFSZ; ulimit -f 8192; exec \"$0\" \"$@\"";
    const std::tuple<std::string, std::vector<std::string>, int, std::string> cases[] = {
        {tool, {"info", bad, "--json"}, 1, "Invalid Screen Recorder File\n"},
        {tool, {"frames", FDir.File("no.vsr")}, 1, "no.vsr"},
        {tool, {"audio", FSilent, "-o", out}, 1, "Invalid SPX file\n"},
        {tool, {"pack", bad, "-o", out, "--player", p}, 1, "Invalid Screen Recorder File\n"},
        {tool, {"pack", in, "-o", in, "--player", p}, 1, "would overwrite"},
        {tool, {"pack", huge, "-o", out, "--player", p}, 1, "below 4 GiB\n"},
        {"/bin/sh", {"-c", limited, tool, "pack", in, "-o", out, "--player", p}, 1, ""},
        {copy, {"pack", in, "-o", out}, 1, "Player not found: " + FDir.File("vsrplayer")},
        {tool, {}, 2, "usage:\n"},
        {tool, {"nonsense"}, 2, "unknown command nonsense\nusage:\n"},
        {tool, {"snapshot", in, "--at", "4294967296", "-o", out}, 2, "milliseconds"},
        {tool, {"pack", "-o", out}, 2, "a file name is missing"},
        {tool, {"export", in, "-o", FDir.File("a.avi")}, 1, "must end in .mp4, .webm, .gif or"},
        {tool, {"export", in, "-o", FDir.File("a.mp4"), "--fps", "ten"}, 2, "whole number"},
        {tool, {"export", in, "-o", FDir.File("a.mp4"), "--from", "1:75"}, 2, "--from: "},
        {tool, {"export", in}, 2, "export needs -o"}};
    for (const auto& [program, args, code, message] : cases) {
        const auto result = RunProcess(program, args);
        EXPECT_EQ(result.ExitCode, code) << testing::PrintToString(args);
        EXPECT_NE(result.Err.find(message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
        EXPECT_FALSE(fs::exists(FOut)) << testing::PrintToString(args);
    }
    EXPECT_EQ(ReadFileBytes(FRecording), before);
    // A failed write keeps what was at the output's name and leaves nothing beside it; a
    // target that is no regular file is refused before anything is written.
    WriteFileBytes(FOut, Bytes("kept"));
    const auto names = FDir.Names();
    EXPECT_EQ(
        RunProcess("/bin/sh", {"-c", limited, tool, "pack", in, "-o", out, "--player", p}).ExitCode,
        1);
    EXPECT_EQ(ReadFileBytes(FOut), Bytes("kept"));
    EXPECT_EQ(FDir.Names(), names);
    fs::create_directory(FDir.File("folder"));
    EXPECT_NE(Vsr({"audio", FRecording, "-o", FDir.File("folder")}).Err.find("not a regular file"),
              std::string::npos);
}

// Help and version go to standard output, end with 0 and do nothing else, wherever --help
// stands; every command the overview lists has a page that explains each option of its
// synopsis.
TEST_F(VsrTool, HelpAndVersionPrintAndDoNothingElse) {
    const std::string version = "vsr " + std::string(ProgramVersion()) + " (VSR Player)\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, "vsr: the tool for VSR screen recordings (.vsr)\n\nusage:\n  vsr info FILE"},
        {{"-h", "info"}, "vsr: the tool"},
        {{"--version"}, version},
        {{"--version", "--help"}, version},
        {{"demo", "-o", FOut, "--help"}, "usage:\n  vsr demo -o OUT.vsr\n\nWrites"},
        {{"info", FRecording, "-h"}, "usage:\n  vsr info FILE [--json]\n"}};
    for (const auto& [args, start] : cases) {
        const auto result = Vsr(args);
        EXPECT_EQ(result.ExitCode, 0) << testing::PrintToString(args);
        EXPECT_EQ(result.Out.substr(0, start.size()), start) << result.Out;
        EXPECT_EQ(result.Err, "");
    }
    EXPECT_FALSE(fs::exists(FOut));
    EXPECT_NE(Vsr({"--version"}).Out.find("Libraries: zlib "), std::string::npos);
    const std::string overview = Vsr({"--help"}).Out;
    std::istringstream lines(overview.substr(overview.find("commands:\n") + 10));
    int commands = 0;
    for (std::string line, name; std::getline(lines, line) && !line.empty(); ++commands) {
        name = line.substr(2, line.find(' ', 2) - 2);
        const std::string page = Vsr({name, "--help"}).Out;
        const std::string synopsis = page.substr(0, page.find("\n\n"));
        std::istringstream words(synopsis);
        for (std::string word; words >> word;)
            if (const auto option = word.substr(word.starts_with('[')); option.starts_with('-')) {
                EXPECT_NE(page.find("\n  " + option.substr(0, option.find(']')) + " "),
                          std::string::npos)
                    << name << ": " << option;
            }
    }
    EXPECT_EQ(commands, 9);
    EXPECT_EQ(Vsr({"nonsense", "--help"}).ExitCode, 2);
}

// No progress line on a pipe; an interrupted export ends with 130 and leaves no file.
TEST_F(VsrTool, ExportWritesQuietlyOnAPipeAndAnInterruptLeavesNothing) {
    const auto ok = Vsr({"export", FRecording, "-o", FDir.File("a.gif")});
    EXPECT_TRUE(ok.ExitCode == 0 && ok.Err.empty() && fs::file_size(FDir.File("a.gif")) > 0);
    TRecordingOptions tenMinutes;
    tenMinutes.Duration = 600000;
    WriteRecordingFile(FOut,
                       {640, 480, {{0, NoisePicture(640, 480, 1)}}, {}, VoiceTrack(Tone(100)), {}},
                       tenMinutes);
    const auto names = FDir.Names();
    TChildProcess slow(VSR_TOOL_PATH, {"export", FOut, "-o", FDir.File("long.mp4")});
    ASSERT_TRUE(PumpUntil([&] { return FDir.Names().size() > names.size(); })); // started
    slow.Signal(SIGINT);
    const auto stopped = slow.Wait();
    EXPECT_EQ(std::tuple(stopped.ExitCode, stopped.Err, FDir.Names()),
              std::tuple(130, std::string("Export interrupted; nothing was written\n"), names));
}

// An AudioOffset far outside the file: no byte count from an overflow, but the damage named.
TEST_F(VsrTool, InfoNamesAVoiceTrackOffsetOutsideTheFile) {
    PatchValue(FRecording, offsetof(TVSRHeader, AudioOffset), INT64_MIN + 5);
    const std::string json = Vsr({"info", FRecording, "--json"}).Out;
    EXPECT_NE(json.find(R"("bytes": 0, "damage": "the voice track's offset lies outside the )"
                        R"(recording"}, "overlay": null)"),
              std::string::npos)
        << json;
    EXPECT_NE(Vsr({"info", FRecording}).Out.find("Sound track:    damaged: the voice track's"),
              std::string::npos);
}

// A 30 s desktop of 1024 x 768, a title picture before and after, the link, and a voice
// (espeak-ng's, or a tune without it): about 30 s of sound with silences between at least five
// sentences. It plays: the last picture composes and the voice decodes.
TEST_F(VsrTool, DemoWritesAPlayableThirtySecondSession) {
    ASSERT_EQ(Vsr({"demo", "-o", FOut}).ExitCode, 0);
    const std::string json = Vsr({"info", FOut, "--json"}).Out;
    std::smatch size;
    const std::regex expected(
        R"("width": 1024, "height": 768, .*"duration_ms": 30000, .*"trailer_is_header": true, )"
        R"("header_delay": 3, "trailer_delay": 3, "link": "https://example.com/vsr-player".*)"
        R"("total_silence": [1-9]\d*, "size": (4(7[2-9]|8[0-8])\d{3}), .*"intervals": \[)"
        R"((\[\d+, \d+\], ){4})");
    ASSERT_TRUE(std::regex_search(json, size, expected)) << json;
    EXPECT_EQ(Vsr({"snapshot", FOut, "--at", "29999", "-o", FDir.File("end.png")}).ExitCode, 0);
    EXPECT_EQ(Vsr({"audio", FOut, "-o", FDir.File("voice.wav")}).ExitCode, 0);
    EXPECT_EQ(fs::file_size(FDir.File("voice.wav")), 44 + std::stoul(size[1]));
}

} // namespace
} // namespace vsr::test
