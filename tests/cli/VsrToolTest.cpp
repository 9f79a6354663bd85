#include "support/Recordings.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace vsr {
namespace {

using test::RunProcess;

std::vector<std::byte> Text(const std::string& text) {
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    return {bytes.begin(), bytes.end()};
}

class VsrTool : public ::testing::Test {
protected:
    test::TTempDir FDir;

    // 300 x 70 pictures at 0, 500 and 1500 ms with a key frame every second.
    TRecordingLayout Write(const std::string& name, std::optional<TRecordingOverlay> overlay) {
        const TScreenPicture first = test::PatternPicture(300, 70, 1);
        TRecordingOptions options;
        options.KeyFrameInterval = 1000;
        options.Duration = 2000;
        return WriteRecordingFile(FDir.File(name),
                                  {300,
                                   70,
                                   {{0, first},
                                    {500, test::WithRect(first, 10, 10, 20, 5, 0xFF0000)},
                                    {1500, test::WithRect(first, 260, 40, 30, 20, 0x00FF00)}},
                                   {{0, 12, 34}, {700, 56, 7}},
                                   Text("not really a voice track"),
                                   std::move(overlay)},
                                  options);
    }
};

TEST_F(VsrTool, InfoJsonDescribesTheWholeLayout) {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, Text("BM fake picture")};
    overlay.HeaderDelaySeconds = 5;
    overlay.TrailerDelaySeconds = 3;
    overlay.Link = "http://example.com/a?b=\"c\"";
    const std::string name = "with \"quotes\".vsr";
    const TRecordingLayout layout = Write(name, overlay);
    ASSERT_EQ(layout.KeyFrames.size(), 2u);

    const auto result = RunProcess(VSR_TOOL_PATH, {"info", FDir.File(name), "--json"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    char stop[64];
    const auto stopEnd = std::to_chars(stop, stop + sizeof stop, layout.Header.StopDateTime).ptr;
    std::ostringstream expected;
    expected
        << "{\"file\": \"" << FDir.File("with \\\"quotes\\\".vsr")
        << "\", \"size\": " << layout.Size
        << ", \"magic\": \"VSR2.1\", \"width\": 300, \"height\": 70"
        << ", \"start_date_time\": 45000.5, \"stop_date_time\": " << std::string(stop, stopEnd)
        << ", \"start_tick\": 1000, \"stop_tick\": 3000, \"duration_ms\": 2000, \"audio_offset\": "
        << layout.AudioOffset << ", \"key_frame_index_offset\": " << layout.KeyFrameIndexOffset
        << ", \"cursor_track_offset\": " << layout.CursorTrackOffset
        << ", \"key_frames\": [{\"offset\": 72, \"size\": " << layout.KeyFrames[0].Size
        << ", \"time\": 0}, {\"offset\": " << layout.KeyFrames[1].Offset
        << ", \"size\": " << layout.KeyFrames[1].Size << ", \"time\": 1500}]"
        << ", \"cursors\": {\"count\": 2, \"first\": [0, 12, 34]}, \"sound_track\": {\"offset\": "
        << layout.AudioOffset << ", \"end\": " << layout.OverlayOffset << ", \"bytes\": 24}"
        << ", \"overlay\": {\"offset\": " << layout.OverlayOffset
        << ", \"header_picture_type\": 1, \"trailer_picture_type\": 1, \"trailer_is_header\": true"
        << ", \"header_delay\": 5, \"trailer_delay\": 3, \"link\": "
           "\"http://example.com/a?b=\\\"c\\\"\"}, \"audio\": {\"error\": \"Invalid SPX file\"}}\n";
    EXPECT_EQ(result.Out, expected.str());
}

TEST_F(VsrTool, InfoWithoutOverlayAndTheReadableSummary) {
    const TRecordingLayout layout = Write("plain.vsr", std::nullopt);
    const auto json = RunProcess(VSR_TOOL_PATH, {"info", "--json", FDir.File("plain.vsr")});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    EXPECT_NE(json.Out.find("\"sound_track\": {\"offset\": " + std::to_string(layout.AudioOffset) +
                            ", \"end\": " + std::to_string(layout.Size) +
                            ", \"bytes\": 24}, \"overlay\": null,"),
              std::string::npos)
        << json.Out;
    const auto text = RunProcess(VSR_TOOL_PATH, {"info", FDir.File("plain.vsr")});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_NE(text.Out.find("Screen area:    300 x 70"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("Overlay:        none"), std::string::npos) << text.Out;
}

TEST_F(VsrTool, FramesListsEveryRecordInFileOrderTracingAsTheEnvironmentSays) {
    Write("frames.vsr", std::nullopt);
    const std::string log = FDir.File("trace.log");
    const auto result =
        RunProcess(VSR_TOOL_PATH, {"frames", FDir.File("frames.vsr")}, {"VSR_TRACE=" + log});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::istringstream lines(result.Out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    // 2 x 3 tiles for the first key frame, one changed tile, then a full key frame at 1500.
    ASSERT_EQ(all.size(), 6u + 1u + 6u) << result.Out;
    EXPECT_EQ(all[0], "0 0 0 0 256 32 16 16424");
    EXPECT_EQ(all[5], "0 0 256 64 44 6 16 " + std::to_string(40 + 88 * 6));
    EXPECT_EQ(all[6], "0 500 0 0 256 32 16 16424");
    EXPECT_EQ(all[7], "1 1500 0 0 256 32 16 16424");

    std::stringstream content;
    content << std::ifstream(log).rdbuf();
    EXPECT_EQ(content.str(),
              "Next KeyFrame: -1 -> 0\nNext KeyFrame: 0 -> 1\nNext KeyFrame: 1 -> 2\n");
    EXPECT_NE(RunProcess(VSR_TOOL_PATH, {"frames", FDir.File("frames.vsr")}, {"VSR_TRACE=stderr"})
                  .Err.find("Next KeyFrame: 0 -> 1\n"),
              std::string::npos);
    EXPECT_TRUE(
        RunProcess(VSR_TOOL_PATH, {"frames", FDir.File("frames.vsr")}, {"VSR_TRACE="}).Err.empty());
}

TEST_F(VsrTool, ErrorsGoToStandardErrorWithStatusOne) {
    const std::string bad = FDir.File("bad.vsr");
    test::WriteFileBytes(bad, Text(std::string(100, 'x')));
    auto result = RunProcess(VSR_TOOL_PATH, {"info", bad, "--json"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "Invalid Screen Recorder File\n");
    EXPECT_TRUE(result.Out.empty());
    result = RunProcess(VSR_TOOL_PATH, {"frames", FDir.File("missing.vsr")});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("missing.vsr"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info"}, {"nonsense"}, {"info", bad, "--yaml"}})
        EXPECT_EQ(RunProcess(VSR_TOOL_PATH, args).ExitCode, 2) << args.back();
}

} // namespace
} // namespace vsr
