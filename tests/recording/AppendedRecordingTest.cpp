#include "recording/AppendedRecording.h"
#include "support/Recordings.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>

namespace vsr {
namespace {

namespace fs = std::filesystem;

std::vector<std::byte> RandomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::vector<std::byte> bytes(count);
    for (std::byte& b : bytes)
        b = static_cast<std::byte>(engine());
    return bytes;
}

void AppendLength(std::vector<std::byte>& bytes, std::uint32_t length) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::byte>(length >> (8 * i)));
}

// A stand-in program file with a written recording and its length behind it.
class AppendedRecording : public ::testing::Test {
protected:
    test::TTempDir FDir;
    std::string FPlayer = FDir.File("vsrplayer");
    fs::path FTemp = FDir.Path() / "tmp";
    std::vector<std::byte> FProgram = RandomBytes(70001, 7);
    std::vector<std::byte> FRecording;
    TRandomNames FRandom;

    void SetUp() override {
        fs::create_directory(FTemp);
        TRecordingContent content;
        content.Width = 64;
        content.Height = 48;
        content.Pictures = {{0, test::PatternPicture(64, 48, 3)}};
        content.SoundTrack = RandomBytes(100, 9);
        WriteRecordingFile(FDir.File("r.vsr"), content);
        FRecording = test::ReadFileBytes(FDir.File("r.vsr"));
    }
    void WritePlayer(std::span<const std::byte> recording, std::uint32_t length) {
        std::vector<std::byte> bytes = FProgram;
        bytes.insert(bytes.end(), recording.begin(), recording.end());
        AppendLength(bytes, length);
        test::WriteFileBytes(FPlayer, bytes);
    }
    std::unique_ptr<TTempFile> Extract() {
        return ExtractAppendedRecording(FPlayer, FRandom, FTemp.string());
    }
    bool TempEmpty() const { return fs::is_empty(FTemp); }
};

TEST_F(AppendedRecording, TheCopyHoldsExactlyTheRecordingAndGoesWithItsOwner) {
    WritePlayer(FRecording, static_cast<std::uint32_t>(FRecording.size()));
    std::string name;
    {
        const auto copy = Extract();
        ASSERT_TRUE(copy);
        name = copy->FileName();
        EXPECT_TRUE(
            std::regex_match(name, std::regex(FTemp.string() + "/vsrplayer_[0-9A-F]+_\\.vsr")))
            << name;
        EXPECT_EQ(test::ReadFileBytes(name), FRecording);
        TScreenRecorderPlaybackFile reader(name);
        EXPECT_EQ(reader.Header().Width, 64);
    }
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(AppendedRecording, FindNamesTheRangeBeforeTheLength) {
    WritePlayer(FRecording, static_cast<std::uint32_t>(FRecording.size()));
    TFileStream player(FPlayer, TFileMode::OpenRead);
    const auto range = FindAppendedRecording(player);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->Offset, static_cast<std::int64_t>(FProgram.size()));
    EXPECT_EQ(range->Size, FRecording.size());
}

TEST_F(AppendedRecording, AProgramWithoutARecordingYieldsNoneAndWritesNothing) {
    WritePlayer({}, 0);
    EXPECT_FALSE(Extract());
    WritePlayer({}, static_cast<std::uint32_t>(FProgram.size() + 1)); // beyond the file's start
    EXPECT_FALSE(Extract());
    WritePlayer({}, 0xFFFFFFFFu);
    EXPECT_FALSE(Extract());
    WritePlayer({}, 5000); // inside the program, no recording there
    EXPECT_FALSE(Extract());
    WritePlayer(std::span(FRecording).first(4), 4); // too short to begin as a recording
    EXPECT_FALSE(Extract());
    test::WriteFileBytes(FPlayer, RandomBytes(3, 1));
    EXPECT_FALSE(Extract());
    EXPECT_TRUE(TempEmpty());
}

TEST_F(AppendedRecording, TheWholeProgramAsRecordingIsFound) {
    // N = file size - 4: the recording starts at the first byte.
    FProgram.clear();
    WritePlayer(FRecording, static_cast<std::uint32_t>(FRecording.size()));
    const auto copy = Extract();
    ASSERT_TRUE(copy);
    EXPECT_EQ(test::ReadFileBytes(copy->FileName()), FRecording);
}

TEST_F(AppendedRecording, ADamagedRecordingIsStillCopied) {
    std::vector<std::byte> damaged(FRecording.begin(), FRecording.begin() + 40);
    WritePlayer(damaged, 40);
    const auto copy = Extract();
    ASSERT_TRUE(copy);
    EXPECT_EQ(test::ReadFileBytes(copy->FileName()), damaged);
    EXPECT_THROW(TScreenRecorderPlaybackFile{copy->FileName()}, Exception);
}

TEST_F(AppendedRecording, FailuresRaiseAndLeaveNoCopy) {
    EXPECT_THROW(Extract(), EFOpenError); // no program file
    WritePlayer(FRecording, static_cast<std::uint32_t>(FRecording.size()));
    EXPECT_THROW(ExtractAppendedRecording(FPlayer, FRandom, FDir.File("missing")), EFOpenError);
    EXPECT_TRUE(TempEmpty());
}

TEST(AppendedRecordingName, RandomPartIsUpperCaseHexWithoutLeadingZeros) {
    EXPECT_EQ(ExtractedFileName("/opt/vsr/vsrplayer", 0x00AB12Fu, "/tmp"),
              "/tmp/vsrplayer_AB12F_.vsr");
    EXPECT_EQ(ExtractedFileName("/opt/demo.bin", 0, "/t"), "/t/demo.bin_0_.vsr");
    TRandomNames a;
    std::set<std::uint32_t> seen;
    for (int i = 0; i < 10; ++i)
        seen.insert(a.Next());
    EXPECT_GT(seen.size(), 1u);
}

} // namespace
} // namespace vsr
