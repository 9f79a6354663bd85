#include "recording/SoundAndOverlaySplit.h"
#include "PictureFixtures.h"
#include "RecordingTestSupport.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

namespace vsr {
namespace {

namespace fs = std::filesystem;

// A sound track whose every byte depends on its position, so that a shifted copy shows.
std::vector<std::byte> SoundTrack(std::size_t size) {
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::byte>((i * 31 + i / 256) & 0xFF);
    return bytes;
}

TRecordingOverlay LinkOnly() {
    TRecordingOverlay overlay;
    overlay.Link = "http://example.org/";
    return overlay;
}

std::size_t FileCount(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class SoundAndOverlaySplit : public ::testing::Test {
protected:
    test::TTempDir FFolder;  // the recordings
    test::TTempDir FTempDir; // where the sound files go

    TRecordingLayout Write(const std::string& name, const std::vector<std::byte>& sound,
                           const std::optional<TRecordingOverlay>& overlay) {
        TRecordingContent content;
        content.Width = 40;
        content.Height = 20;
        content.Pictures = {{0, test::PatternPicture(40, 20, 1)},
                            {700, test::PatternPicture(40, 20, 2)}};
        content.Cursors = {{0, 1, 2}, {500, 3, 4}};
        content.SoundTrack = sound;
        content.Overlay = overlay;
        return WriteRecordingFile(FFolder.File(name), content);
    }

    // Splits the file the way the window does: through the reader's stream.
    TSoundAndOverlay Split(const std::string& name) {
        TScreenRecorderPlaybackFile reader(FFolder.File(name));
        return SplitSoundAndOverlay(reader.GetStream(), reader.Header().AudioOffset,
                                    FTempDir.Path().string());
    }
};

TEST_F(SoundAndOverlaySplit, WithoutOverlayTheSoundFileHoldsTheRestOfTheFile) {
    const auto sound = SoundTrack(70001); // more than one copy chunk
    const TRecordingLayout layout = Write("plain.vsr", sound, std::nullopt);
    const TSoundAndOverlay result = Split("plain.vsr");
    EXPECT_EQ(result.Overlay, nullptr);
    ASSERT_FALSE(result.SoundFileName.empty());
    EXPECT_EQ(fs::path(result.SoundFileName).parent_path(), FTempDir.Path());
    EXPECT_EQ(fs::path(result.SoundFileName).filename().string().rfind("spx", 0), 0u);
    EXPECT_EQ(test::ReadFileBytes(result.SoundFileName), sound);
    const auto file = test::ReadFileBytes(FFolder.File("plain.vsr"));
    EXPECT_EQ(std::vector<std::byte>(file.begin() + layout.AudioOffset, file.end()), sound);
}

TEST_F(SoundAndOverlaySplit, WithOverlayTheSoundEndsAtTheOverlayBlock) {
    const auto sound = SoundTrack(5000);
    const auto headerImage = test::PatternPicture(30, 12, 5);
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, test::BitmapFileOf(headerImage)};
    overlay.HeaderDelaySeconds = 5;
    overlay.TrailerDelaySeconds = 5;
    overlay.Link = "http://example.org/thanks-for-watching";
    const TRecordingLayout layout = Write("overlay.vsr", sound, overlay);
    const TSoundAndOverlay result = Split("overlay.vsr");
    EXPECT_EQ(test::ReadFileBytes(result.SoundFileName), sound);
    EXPECT_EQ(static_cast<std::int64_t>(sound.size()), layout.OverlayOffset - layout.AudioOffset);
    ASSERT_NE(result.Overlay, nullptr);
    ASSERT_NE(result.Overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(result.Overlay->HeaderPicture()->Image(), headerImage);
    ASSERT_NE(result.Overlay->TrailerPicture(), nullptr);
    EXPECT_EQ(result.Overlay->TrailerPicture()->Image(), headerImage);
    EXPECT_EQ(result.Overlay->HeaderDelay(), 5);
    EXPECT_EQ(result.Overlay->TrailerDelay(), 5);
    EXPECT_EQ(result.Overlay->Link().size(), 38u);
}

TEST_F(SoundAndOverlaySplit, EmptySoundTrackGivesAnEmptyFile) {
    Write("silent.vsr", {}, std::nullopt);
    Write("silent-overlay.vsr", {}, LinkOnly());
    for (const char* name : {"silent.vsr", "silent-overlay.vsr"}) {
        const TSoundAndOverlay result = Split(name);
        ASSERT_FALSE(result.SoundFileName.empty());
        EXPECT_TRUE(fs::exists(result.SoundFileName));
        EXPECT_EQ(fs::file_size(result.SoundFileName), 0u) << name;
    }
}

// A stream of 32 bytes or less has no trailer, even when it ends with the trailer's magic.
TEST_F(SoundAndOverlaySplit, ThirtyTwoByteStreamHasNoTrailer) {
    TMemoryStream stream;
    TOverlayTrailer trailer{MagicField<16>(OverlayTrailerMagic), 0, 0};
    WriteRecord(stream, trailer);
    const TSoundAndOverlay result = SplitSoundAndOverlay(stream, 0, FTempDir.Path().string());
    EXPECT_EQ(result.Overlay, nullptr);
    EXPECT_EQ(fs::file_size(result.SoundFileName), 32u);
}

// Reads fail from a given position on, after the size was reported whole.
class TFailingStream : public TMemoryStream {
public:
    explicit TFailingStream(std::int64_t failFrom) : FFailFrom(failFrom) {}
    std::size_t Read(std::span<std::byte> buffer) override {
        const std::int64_t left = FFailFrom - Position();
        if (left <= 0)
            return 0;
        return TMemoryStream::Read(
            buffer.first(std::min(buffer.size(), static_cast<std::size_t>(left))));
    }

private:
    std::int64_t FFailFrom;
};

TEST_F(SoundAndOverlaySplit, FailedCopyLeavesNoFile) {
    Write("r.vsr", SoundTrack(100000), std::nullopt);
    const auto bytes = test::ReadFileBytes(FFolder.File("r.vsr"));
    TScreenRecorderPlaybackFile reader(FFolder.File("r.vsr"));
    const std::int64_t audioOffset = reader.Header().AudioOffset;
    TFailingStream stream(audioOffset + 80000);
    stream.WriteBuffer(bytes);
    EXPECT_THROW(SplitSoundAndOverlay(stream, audioOffset, FTempDir.Path().string()), EStreamError);
    EXPECT_EQ(FileCount(FTempDir.Path()), 0u);
}

std::string SplitError(TStream& stream, std::int64_t audioOffset, const std::string& folder) {
    try {
        SplitSoundAndOverlay(stream, audioOffset, folder);
    } catch (const Exception& error) {
        return error.what();
    }
    return "no error";
}

TEST_F(SoundAndOverlaySplit, DamagedOverlayOrAudioOffsetRaisesAndLeavesNoFile) {
    const TRecordingLayout layout = Write("o.vsr", SoundTrack(900), LinkOnly());
    const auto bytes = test::ReadFileBytes(FFolder.File("o.vsr"));
    const auto load = [&](const std::vector<std::byte>& content) {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(content);
        return stream;
    };
    const std::string folder = FTempDir.Path().string();

    auto badMagic = bytes;
    badMagic[static_cast<std::size_t>(layout.OverlayOffset)] = std::byte{'X'};
    EXPECT_EQ(SplitError(*load(badMagic), layout.AudioOffset, folder),
              "Invalid Screen Recorder File");

    for (const std::int64_t overlayOffset :
         {std::int64_t{-1}, layout.Size - 31, std::numeric_limits<std::int64_t>::max()}) {
        auto badTrailer = bytes;
        std::memcpy(badTrailer.data() + layout.Size - 16, &overlayOffset, 8);
        EXPECT_EQ(SplitError(*load(badTrailer), layout.AudioOffset, folder),
                  "Invalid Screen Recorder File")
            << overlayOffset;
    }

    // The sound track cannot start past its end or before the recording.
    EXPECT_EQ(SplitError(*load(bytes), layout.OverlayOffset + 1, folder),
              "Invalid Screen Recorder File");
    EXPECT_EQ(SplitError(*load(bytes), -1, folder), "Invalid Screen Recorder File");
    EXPECT_EQ(FileCount(FTempDir.Path()), 0u);
}

// Writing to a file without a name would give the sound reader nothing to play.
TEST_F(SoundAndOverlaySplit, MissingTemporaryFolderRaises) {
    Write("m.vsr", SoundTrack(10), std::nullopt);
    TScreenRecorderPlaybackFile reader(FFolder.File("m.vsr"));
    const std::string missing = (FTempDir.Path() / "no-such-folder").string();
    const std::string error = SplitError(reader.GetStream(), reader.Header().AudioOffset, missing);
    EXPECT_EQ(error.rfind("Cannot create a temporary file in " + missing, 0), 0u) << error;
    EXPECT_EQ(FileCount(FTempDir.Path()), 0u);
}

// Without a folder given, the files go to the system's temporary folder ($TMPDIR).
TEST_F(SoundAndOverlaySplit, DefaultFolderIsTheTemporaryFolder) {
    Write("t.vsr", SoundTrack(64), std::nullopt);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", FTempDir.Path().c_str(), 1);
    TScreenRecorderPlaybackFile reader(FFolder.File("t.vsr"));
    const TSoundAndOverlay result =
        SplitSoundAndOverlay(reader.GetStream(), reader.Header().AudioOffset);
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_EQ(fs::path(result.SoundFileName).parent_path(), FTempDir.Path());
    EXPECT_EQ(test::ReadFileBytes(result.SoundFileName), SoundTrack(64));
}

} // namespace
} // namespace vsr
