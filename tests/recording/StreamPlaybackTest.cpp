// A written recording streamed through the real server script under "php -S": the events, the
// progress and the frames and voice bytes, compared with reading the file itself.
#include "recording/StreamFixture.h"

#include "support/Recordings.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/PhpServer.h"
#include "support/Watchdog.h"

#include <filesystem>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

class StreamPlayback : public StreamFixture {
protected:
    void SetUp() override {
        if (!TPhpServer::Available())
            GTEST_SKIP() << "php is not installed";
        WriteRecording(10);
        // The script lies beside the recording; the site's root is the test folder.
        std::filesystem::copy_file(ServerScriptFolder() + "/vsr_download.php",
                                   FDir.File("rec/vsr_download.php"));
        FServer = std::make_unique<TPhpServer>(FDir.Path().string());
    }

    // Reads every frame as the playback loop does: before a segment that has not fully arrived,
    // it waits for the download.
    std::vector<TReadFrame> ReadWhileDownloading(TScreenRecorderPlaybackStream& stream) {
        std::vector<TReadFrame> frames;
        TMemoryStream payload;
        for (;;) {
            const auto mustWait = [&stream] {
                return !stream.FirstPartDone() && stream.NeedsNextSegment() &&
                       stream.LastAvailableKeyFrame() - 1 <= stream.CurrentKeyFrame();
            };
            if (mustWait()) {
                EXPECT_TRUE(PumpUntil([&] { return !mustWait(); }));
            }
            TReadFrame frame;
            if (!stream.ReadFrame(frame.Time, frame.X, frame.Y, payload))
                return frames;
            frame.KeyFrame = stream.CurrentKeyFrame();
            const auto bytes = payload.Memory();
            frame.Payload.assign(bytes.begin(), bytes.end());
            frames.push_back(std::move(frame));
        }
    }

    TWatchdog FWatchdog{"stream playback test", 40s};
    std::unique_ptr<TPhpServer> FServer;
};

bool SameFrames(const std::vector<TReadFrame>& a, const std::vector<TReadFrame>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Time != b[i].Time || a[i].X != b[i].X || a[i].Y != b[i].Y ||
            a[i].KeyFrame != b[i].KeyFrame || a[i].Payload != b[i].Payload)
            return false;
    return true;
}

TEST_F(StreamPlayback, PlaysTheRecordingAsTheLocalFileWhileItDownloads) {
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 || !FLastError.empty(); }, 20s));
    ASSERT_EQ(FLastError, "");
    EXPECT_EQ(FStarted, 1);
    EXPECT_GE(FLastProgress, 1);
    EXPECT_EQ(stream->FileSize(), static_cast<std::int64_t>(FBytes.size()));
    ASSERT_EQ(stream->SeekTime(0), 0u);

    TScreenRecorderPlaybackFile local(FFileName);
    const auto expected = ReadAllFrames(local);
    const auto streamed = ReadWhileDownloading(*stream);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(SameFrames(streamed, expected));

    ASSERT_TRUE(PumpUntil([&] { return FFirstFinished == 1; }, 20s)) << FFirstError;
    EXPECT_EQ(FLastError, "");
    EXPECT_EQ(FFirstError, "");
    EXPECT_EQ(stream->Progress(), 100);
    EXPECT_EQ(stream->LastAvailableKeyFrame(),
              static_cast<std::int32_t>(FLayout.KeyFrames.size()) - 1);
}

TEST_F(StreamPlayback, TheTrailerListsAndTheVoiceTrackMatchTheFile) {
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }, 20s));
    TScreenRecorderPlaybackFile local(FFileName);
    EXPECT_EQ(std::memcmp(&stream->Header(), &local.Header(), sizeof(TVSRHeader)), 0);
    ASSERT_EQ(stream->KeyFrames().Count(), local.KeyFrames().Count());
    for (std::size_t i = 0; i < local.KeyFrames().Count(); ++i)
        EXPECT_EQ(stream->KeyFrames()[i].Offset, local.KeyFrames()[i].Offset);
    ASSERT_EQ(stream->Cursors().Count(), local.Cursors().Count());
    EXPECT_EQ(stream->Cursors()[3].X, local.Cursors()[3].X);

    const std::vector<std::byte> downloaded = DownloadedBytes(*stream);
    ASSERT_EQ(downloaded.size(), FBytes.size());
    const auto audio = static_cast<std::ptrdiff_t>(FLayout.AudioOffset);
    EXPECT_TRUE(std::equal(downloaded.begin() + audio, downloaded.end(), FBytes.begin() + audio));
    EXPECT_EQ(downloaded, FBytes);

    const std::string tempFile = TempFileName();
    EXPECT_TRUE(std::filesystem::exists(tempFile));
    stream.reset();
    EXPECT_FALSE(std::filesystem::exists(tempFile));
}

TEST_F(StreamPlayback, SeekingWaitsForTheLastPart) {
    auto stream = MakeStream(FServer->BaseURL());
    EXPECT_THROW(stream->SeekKeyFrame(true), EScreenRecorderPlaybackStream);
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 || !FLastError.empty(); }, 20s));
    ASSERT_EQ(FLastError, "");
    const std::uint32_t time = stream->SeekKeyFrame(true);
    EXPECT_LT(time, stream->Header().StopTickCount);
    EXPECT_EQ(stream->SeekTime(2000), 2000u);
    ASSERT_TRUE(PumpUntil([&] { return FFirstFinished == 1; }, 20s)) << FFirstError;
    TReadFrame frame;
    bool found = false;
    frame = ReadOneFrame(*stream, found);
    ASSERT_TRUE(found);
    EXPECT_EQ(frame.Time, 2000u);
    EXPECT_EQ(stream->CurrentKeyFrame(), 2);
}

TEST_F(StreamPlayback, AMissingRecordingIsReportedAsNotFound) {
    std::filesystem::remove(FFileName);
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }, 20s));
    EXPECT_EQ(FLastError, "File not found on server");
}

} // namespace
} // namespace vsr::test
