#include "recording/AppendedRecording.h"
#include "support/Recordings.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vsr {
namespace {

namespace fs = std::filesystem;
using test::RunProcess;

std::vector<std::byte> Bytes(const std::string& text) {
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    return {bytes.begin(), bytes.end()};
}

class Pack : public ::testing::Test {
protected:
    test::TTempDir FDir;
    std::string FPlayer = FDir.File("fake-player");
    std::string FRecording = FDir.File("r.vsr");
    std::string FOut = FDir.File("packed");

    void SetUp() override {
        test::WriteFileBytes(FPlayer, Bytes(std::string("\x7F"
                                                        "ELF pretend program ") +
                                            std::string(3000, 'p')));
        TRecordingContent content;
        content.Width = 32;
        content.Height = 16;
        content.Pictures = {{0, test::PatternPicture(32, 16, 5)}};
        content.SoundTrack = Bytes("sound");
        WriteRecordingFile(FRecording, content);
    }
};

TEST_F(Pack, WritesPlayerRecordingAndLengthAsAnExecutable) {
    const auto result =
        RunProcess(VSR_TOOL_PATH, {"pack", FRecording, "-o", FOut, "--player", FPlayer});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto player = test::ReadFileBytes(FPlayer);
    const auto recording = test::ReadFileBytes(FRecording);
    const auto packed = test::ReadFileBytes(FOut);
    ASSERT_EQ(packed.size(), player.size() + recording.size() + 4);
    EXPECT_TRUE(std::equal(player.begin(), player.end(), packed.begin()));
    EXPECT_TRUE(std::equal(recording.begin(), recording.end(), packed.begin() + player.size()));
    const auto n = recording.size();
    EXPECT_EQ(std::vector(packed.end() - 4, packed.end()),
              (std::vector{std::byte(n & 0xFF), std::byte((n >> 8) & 0xFF),
                           std::byte((n >> 16) & 0xFF), std::byte(n >> 24)}));
    EXPECT_EQ(fs::status(FOut).permissions() & fs::perms::all,
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                  fs::perms::others_read | fs::perms::others_exec);
    // The player finds it again.
    TRandomNames random;
    const auto copy = ExtractAppendedRecording(FOut, random, FDir.Path().string());
    ASSERT_TRUE(copy);
    EXPECT_EQ(test::ReadFileBytes(copy->FileName()), recording);
}

TEST_F(Pack, RefusesWhatItCannotPack) {
    test::WriteFileBytes(FDir.File("text.vsr"), Bytes("VSR2.0 not quite"));
    auto result =
        RunProcess(VSR_TOOL_PATH, {"pack", FDir.File("text.vsr"), "-o", FOut, "--player", FPlayer});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("Invalid Screen Recorder File"), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(FOut));

    const auto before = test::ReadFileBytes(FRecording);
    result = RunProcess(VSR_TOOL_PATH, {"pack", FRecording, "-o", FRecording, "--player", FPlayer});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(test::ReadFileBytes(FRecording), before);
    EXPECT_NE(result.Err.find("overwrite"), std::string::npos) << result.Err;

    EXPECT_EQ(RunProcess(VSR_TOOL_PATH, {"pack", FRecording, "--player", FPlayer}).ExitCode, 2);
    EXPECT_EQ(RunProcess(VSR_TOOL_PATH, {"pack", "-o", FOut}).ExitCode, 2);
}

TEST_F(Pack, RefusesARecordingOfFourGibibytes) {
    const std::string huge = FDir.File("huge.vsr");
    { std::ofstream(huge) << "VSR2.1"; }
    fs::resize_file(huge, 0x100000000ULL); // sparse: takes no room
    const auto result = RunProcess(VSR_TOOL_PATH, {"pack", huge, "-o", FOut, "--player", FPlayer});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("4 GiB"), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(FOut));
}

TEST_F(Pack, TheDefaultPlayerLiesBesideTheTool) {
    const std::string tool = FDir.File("vsr");
    fs::copy_file(VSR_TOOL_PATH, tool);
    auto result = RunProcess(tool, {"pack", FRecording, "-o", FOut});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("Player not found: " + FDir.File("vsrplayer")), std::string::npos)
        << result.Err;
    fs::copy_file(FPlayer, FDir.File("vsrplayer"));
    result = RunProcess(tool, {"pack", FRecording, "-o", FOut});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(fs::file_size(FOut), fs::file_size(FPlayer) + fs::file_size(FRecording) + 4);
}

} // namespace
} // namespace vsr
