#include "recording/SoundAndOverlaySplit.h"
#include "support/Pictures.h"
#include "support/Recordings.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
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

class SoundAndOverlaySplit : public ::testing::Test {
protected:
    test::TTempDir FFolder;  // the recordings
    test::TTempDir FTempDir; // where the sound files go

    std::string Folder() const { return FTempDir.Path().string(); }
    std::size_t TempFileCount() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(FTempDir.Path()), fs::directory_iterator()));
    }

    TRecordingLayout Write(const std::string& name, const std::vector<std::byte>& sound,
                           const std::optional<TRecordingOverlay>& overlay) {
        const TRecordingContent content{40,          20,    {{0, test::PatternPicture(40, 20, 1)}},
                                        {{0, 1, 2}}, sound, overlay};
        return WriteRecordingFile(FFolder.File(name), content);
    }

    // Splits the file the way the window does: through the reader's stream.
    TSoundAndOverlay Split(const std::string& name) {
        TScreenRecorderPlaybackFile reader(FFolder.File(name));
        return SplitSoundAndOverlay(reader.GetStream(), reader.Header().AudioOffset, Folder());
    }

    std::string SplitError(const std::vector<std::byte>& bytes, std::int64_t audioOffset,
                           const std::string& folder) {
        TMemoryStream stream;
        stream.WriteBuffer(bytes);
        try {
            SplitSoundAndOverlay(stream, audioOffset, folder);
        } catch (const Exception& error) {
            return error.what();
        }
        return "no error";
    }
};

TEST_F(SoundAndOverlaySplit, WithoutOverlayTheSoundFileHoldsTheRestOfTheFile) {
    const auto sound = SoundTrack(70001); // more than one copy chunk
    Write("plain.vsr", sound, std::nullopt);
    const TSoundAndOverlay result = Split("plain.vsr");
    EXPECT_EQ(result.Overlay, nullptr);
    EXPECT_EQ(fs::path(result.SoundFileName).parent_path(), FTempDir.Path());
    EXPECT_EQ(fs::path(result.SoundFileName).filename().string().rfind("spx", 0), 0u);
    EXPECT_EQ(test::ReadFileBytes(result.SoundFileName), sound);
}

TEST_F(SoundAndOverlaySplit, WithOverlayTheSoundEndsAtTheOverlayBlock) {
    const auto sound = SoundTrack(5000);
    const auto headerImage = test::PatternPicture(30, 12, 5);
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, test::BitmapFileOf(headerImage)};
    overlay.HeaderDelaySeconds = 5;
    overlay.TrailerDelaySeconds = 5;
    overlay.Link = "http://example.org/thanks-for-watching";
    Write("overlay.vsr", sound, overlay);
    const TSoundAndOverlay result = Split("overlay.vsr");
    EXPECT_EQ(test::ReadFileBytes(result.SoundFileName), sound);
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
        ASSERT_TRUE(fs::exists(result.SoundFileName)) << name;
        EXPECT_EQ(fs::file_size(result.SoundFileName), 0u) << name;
    }
}

// A stream of 32 bytes or less has no trailer, even when it ends with the trailer's magic.
TEST_F(SoundAndOverlaySplit, ThirtyTwoByteStreamHasNoTrailer) {
    TMemoryStream stream;
    WriteRecord(stream, TOverlayTrailer{MagicField<16>(OverlayTrailerMagic), 0, 0});
    const TSoundAndOverlay result = SplitSoundAndOverlay(stream, 0, Folder());
    EXPECT_EQ(result.Overlay, nullptr);
    EXPECT_EQ(fs::file_size(result.SoundFileName), 32u);
}

// Reads fail from a given position on, after the size was reported whole.
class TFailingStream : public TMemoryStream {
public:
    explicit TFailingStream(std::int64_t failFrom) : FFailFrom(failFrom) {}
    std::size_t Read(std::span<std::byte> buffer) override {
        const std::int64_t left = FFailFrom - Position();
        return left <= 0 ? 0
                         : TMemoryStream::Read(buffer.first(
                               std::min(buffer.size(), static_cast<std::size_t>(left))));
    }

private:
    std::int64_t FFailFrom;
};

TEST_F(SoundAndOverlaySplit, FailedCopyLeavesNoFile) {
    const auto layout = Write("r.vsr", SoundTrack(100000), std::nullopt);
    TFailingStream stream(layout.AudioOffset + 80000);
    stream.WriteBuffer(test::ReadFileBytes(FFolder.File("r.vsr")));
    EXPECT_THROW(SplitSoundAndOverlay(stream, layout.AudioOffset, Folder()), EStreamError);
    EXPECT_EQ(TempFileCount(), 0u);
}

TEST_F(SoundAndOverlaySplit, DamagedOverlayOrAudioOffsetRaisesAndLeavesNoFile) {
    const TRecordingLayout layout = Write("o.vsr", SoundTrack(900), LinkOnly());
    const auto bytes = test::ReadFileBytes(FFolder.File("o.vsr"));
    const std::string invalid = "Invalid Screen Recorder File";

    auto badMagic = bytes;
    badMagic[static_cast<std::size_t>(layout.OverlayOffset)] = std::byte{'X'};
    EXPECT_EQ(SplitError(badMagic, layout.AudioOffset, Folder()), invalid);
    for (const std::int64_t overlayOffset :
         {std::int64_t{-1}, layout.Size - 31, std::numeric_limits<std::int64_t>::max()}) {
        auto badTrailer = bytes;
        std::memcpy(badTrailer.data() + layout.Size - 16, &overlayOffset, 8);
        EXPECT_EQ(SplitError(badTrailer, layout.AudioOffset, Folder()), invalid) << overlayOffset;
    }
    // The sound track cannot start past its end or before the recording.
    EXPECT_EQ(SplitError(bytes, layout.OverlayOffset + 1, Folder()), invalid);
    EXPECT_EQ(SplitError(bytes, -1, Folder()), invalid);
    EXPECT_EQ(TempFileCount(), 0u);

    // Writing to a file without a name would give the sound reader nothing to play.
    const std::string missing = (FTempDir.Path() / "no-such-folder").string();
    const std::string error = SplitError(bytes, layout.AudioOffset, missing);
    EXPECT_EQ(error.rfind("Cannot create a temporary file in " + missing, 0), 0u) << error;
    EXPECT_EQ(TempFileCount(), 0u);
}

} // namespace
} // namespace vsr
