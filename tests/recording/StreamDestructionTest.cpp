// Destroying the stream while its workers wait: it ends at once, leaves no thread and no
// temporary file behind, and raises nothing.
#include "recording/StreamFixture.h"

#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <filesystem>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

class StreamDestruction : public StreamFixture {
protected:
    void SetUp() override { WriteRecording(8); }

    // Serves the recording, but never answers requests silent() picks.
    void Serve(std::function<bool(const TFaultRequest&)> silent) {
        FServer = std::make_unique<TFaultServer>([this, silent](const TFaultRequest& request) {
            return silent(request) ? TFaultReply::Silent() : ServeRecording(FBytes, request);
        });
    }
    // Destroys the stream and returns how long that took.
    std::chrono::milliseconds Destroy(std::unique_ptr<TScreenRecorderPlaybackStream>& stream) {
        const auto start = std::chrono::steady_clock::now();
        stream.reset();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
    void ExpectQuietEnd(std::size_t threadsBefore) {
        EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threadsBefore; }, 2s))
            << ThreadCount() << " threads, " << threadsBefore << " before";
        PumpFor(50ms);
        EXPECT_EQ(FLastError, "");
        EXPECT_EQ(FFirstError, "");
        EXPECT_EQ(FLastFinished, 0);
        EXPECT_EQ(FFirstFinished, 0);
    }

    TWatchdog FWatchdog{"stream destruction test", 30s};
    std::unique_ptr<TFaultServer> FServer;
};

// The limit the destructor must keep: both workers notice the abort within one polling step.
constexpr auto DestroyLimit = 100ms;

TEST_F(StreamDestruction, WhileTheLastPartWaitsForTheInformationAndTheFirstForItsSignal) {
    TCaptureTracer trace;
    Serve([](const TFaultRequest& request) { return IsInformationRequest(request); });
    const std::size_t threadsBefore = ThreadCount();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FServer->Targets().size() == 1; }));
    PumpFor(60ms);
    EXPECT_LT(Destroy(stream), DestroyLimit);
    ExpectQuietEnd(threadsBefore);
    const std::vector<std::string> order{
        "Destroying VSRStream", "Destroying VSRStream wait for last",
        "Destroying VSRStream wait for first", "Destroying VSRStream comps", "VSRStream destroyed"};
    std::vector<std::string> seen;
    for (const std::string& line : trace.Lines())
        if (std::find(order.begin(), order.end(), line) != order.end())
            seen.push_back(line);
    EXPECT_EQ(seen, order);
    EXPECT_TRUE(trace.Contains("Download first part end"));
    EXPECT_TRUE(trace.Contains("Download last part end"));
}

TEST_F(StreamDestruction, WhileBothWorkersWaitForBlocks) {
    Serve([](const TFaultRequest& request) {
        return request.Query("flag") == "1" && request.QueryNumber("size") != 72;
    });
    const std::size_t threadsBefore = ThreadCount();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FServer->Targets().size() == 4; })); // info, header, 2
    const std::string tempFile = TempFileName();
    ASSERT_TRUE(std::filesystem::exists(tempFile));
    EXPECT_TRUE(std::filesystem::path(tempFile).filename().string().starts_with("vsr"));
    EXPECT_LT(Destroy(stream), DestroyLimit);
    EXPECT_FALSE(std::filesystem::exists(tempFile));
    ExpectQuietEnd(threadsBefore);
    EXPECT_TRUE(PumpUntil([&] { return FServer->OpenConnections() == 0; }, 2s));
}

TEST_F(StreamDestruction, WhileTheFirstPartWaitsAfterTheLastPartFailed) {
    FServer = std::make_unique<TFaultServer>(
        [](const TFaultRequest&) { return TFaultReply::Answer(200, "22"); });
    const std::size_t threadsBefore = ThreadCount();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    FLastError.clear();
    EXPECT_LT(Destroy(stream), DestroyLimit);
    ExpectQuietEnd(threadsBefore);
}

TEST_F(StreamDestruction, WhileTheFirstPartStillDownloads) {
    Serve([this](const TFaultRequest& request) {
        const std::int64_t position = request.QueryNumber("position");
        return request.Query("flag") == "1" && position > 72 &&
               position < FLayout.KeyFrameIndexOffset;
    });
    const std::size_t threadsBefore = ThreadCount();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    const auto waitsForSecondBlock = [&] {
        for (const std::string& target : FServer->Targets())
            if (TFaultRequest{target}.QueryNumber("position") > 72 &&
                TFaultRequest{target}.QueryNumber("position") < FLayout.KeyFrameIndexOffset)
                return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && waitsForSecondBlock(); }));
    FLastFinished = 0;
    const std::string tempFile = TempFileName();
    EXPECT_LT(Destroy(stream), DestroyLimit);
    EXPECT_FALSE(std::filesystem::exists(tempFile));
    ExpectQuietEnd(threadsBefore);
}

TEST_F(StreamDestruction, ANeverStartedStreamEndsAtOnce) {
    auto stream = MakeStream("http://127.0.0.1:1/");
    EXPECT_LT(Destroy(stream), DestroyLimit);
}

TEST(StreamCreation, RefusesTextsThatAreNoStreamingAddress) {
    try {
        TScreenRecorderPlaybackStream stream("VSRFILE://S/a.vsr");
        ADD_FAILURE() << "accepted";
    } catch (const EScreenRecorderPlaybackStream& error) {
        EXPECT_STREQ(error.what(), "Invalid vsrfile command line");
    }
}

TEST(StreamCreation, TracesTheScriptAndFileAndSendsNothing) {
    TCaptureTracer trace;
    TScreenRecorderPlaybackStream stream("vsrfile://S/movies/demo/show.vsr");
    EXPECT_TRUE(trace.Contains(
        "VSR Streaming URL: http://S/movies/demo/vsr_download.php, File: movies/demo/show.vsr"));
    EXPECT_EQ(stream.LastAvailableKeyFrame(), -1);
    EXPECT_EQ(stream.LastCompleteKeyFrame(), -1);
    EXPECT_FALSE(stream.KeyFramesKnown());
    EXPECT_FALSE(stream.FirstPartDone());
    EXPECT_THROW(stream.SeekTime(0), EScreenRecorderPlaybackStream);
}

} // namespace
} // namespace vsr::test
