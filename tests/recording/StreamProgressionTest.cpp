// What the stream makes available while it downloads: key frames, progress and seeking, with
// a test server that holds answers back until the test lets them go.
#include "recording/StreamFixture.h"

#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <regex>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

class StreamProgression : public StreamFixture {
protected:
    // Serves the recording; the first last-part block, the first first-part block and the
    // second first-part block wait for their gates.
    void ServeGated() {
        FServer = std::make_unique<TFaultServer>([this](const TFaultRequest& request) {
            TFaultReply reply = ServeRecording(FBytes, request);
            const std::int64_t position = request.QueryNumber("position");
            if (request.Query("flag") != "1" || position == 0)
                return reply;
            std::atomic<bool>* gate = position == FLayout.KeyFrameIndexOffset  ? &FLastGate
                                      : position == 72                         ? &FFirstGate
                                      : position < FLayout.KeyFrameIndexOffset ? &FSecondGate
                                                                               : nullptr;
            if (gate)
                reply.ReadyWhen = [gate] { return gate->load(); };
            return reply;
        });
    }
    std::int64_t SegmentEnd(std::size_t index) const {
        return index + 1 < FLayout.KeyFrames.size() ? FLayout.KeyFrames[index + 1].Offset
                                                    : FLayout.KeyFrameIndexOffset;
    }
    // The highest k whose segments 0..k lie below end.
    std::int32_t CompleteBelow(std::int64_t end) const {
        std::int32_t complete = -1;
        while (static_cast<std::size_t>(complete + 1) < FLayout.KeyFrames.size() &&
               SegmentEnd(static_cast<std::size_t>(complete + 1)) <= end)
            ++complete;
        return complete;
    }

    TWatchdog FWatchdog{"stream progression test", 30s};
    std::atomic<bool> FLastGate = false;
    std::atomic<bool> FFirstGate = false;
    std::atomic<bool> FSecondGate = false;
    std::unique_ptr<TFaultServer> FServer;
};

std::string SeekError(TScreenRecorderPlaybackStream& stream, bool byTime) {
    try {
        byTime ? stream.SeekTime(0) : stream.SeekKeyFrame(true);
    } catch (const EScreenRecorderPlaybackStream& error) {
        return error.what();
    }
    return "allowed";
}

TEST_F(StreamProgression, KeyFramesBecomeAvailableAsTheFirstPartArrives) {
    WriteRecording(12);
    ServeGated();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FStarted == 1; }));
    PumpFor(100ms);
    EXPECT_EQ(SeekError(*stream, true), sVSRStreamCantSeekNow);
    EXPECT_EQ(SeekError(*stream, false), sVSRStreamCantSeekNow);
    EXPECT_EQ(stream->LastAvailableKeyFrame(), -1);
    EXPECT_EQ(stream->FirstPartNeeded(), stream->FileSize()); // the whole file until the index
    EXPECT_EQ(stream->Progress(), 0);

    FLastGate = true;
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1; }));
    EXPECT_TRUE(stream->KeyFramesKnown());
    EXPECT_EQ(stream->KeyFrames().Count(), FLayout.KeyFrames.size());
    EXPECT_EQ(stream->Cursors().Count(), 12u);
    EXPECT_EQ(stream->FirstPartNeeded(), FLayout.KeyFrames[4].Offset - 72);
    EXPECT_EQ(stream->LastAvailableKeyFrame(), -1) << "no frame data has arrived yet";
    EXPECT_LT(stream->Progress(), 100);

    FFirstGate = true;
    ASSERT_TRUE(PumpUntil([&] { return FFirstProgress >= 1; }));
    const std::int32_t expected = CompleteBelow(72 + 32768);
    ASSERT_GE(expected, 0);
    ASSERT_LT(expected, 11);
    EXPECT_EQ(stream->LastAvailableKeyFrame(), expected);
    EXPECT_FALSE(stream->FirstPartDone());
    EXPECT_EQ(SeekError(*stream, true), "allowed");
    EXPECT_EQ(SeekError(*stream, false), "allowed");

    FSecondGate = true;
    ASSERT_TRUE(PumpUntil([&] { return FFirstFinished == 1; }));
    EXPECT_TRUE(stream->FirstPartDone());
    EXPECT_EQ(stream->LastAvailableKeyFrame(), 11);
    EXPECT_EQ(stream->Progress(), 100);
    EXPECT_EQ(DownloadedBytes(*stream), FBytes);
}

TEST_F(StreamProgression, ProgressCountsOnlyWhatPlaybackNeedsToStart) {
    TCaptureTracer trace;
    WriteRecording(12);
    FLastGate = FFirstGate = FSecondGate = true;
    ServeGated();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }));
    const std::int64_t needed = FLayout.KeyFrames[4].Offset - 72;
    const std::int64_t lastPart = stream->FileSize() - FLayout.KeyFrameIndexOffset;
    EXPECT_TRUE(trace.Contains("Total bytes to read: " + std::to_string(lastPart + needed) + ", " +
                               std::to_string(needed) + " first part, " + std::to_string(lastPart) +
                               " last part"));
    std::lock_guard lock(FLock);
    ASSERT_FALSE(FProgressSeen.empty());
    EXPECT_TRUE(std::all_of(FProgressSeen.begin(), FProgressSeen.end(),
                            [](std::int32_t p) { return p >= 0 && p <= 100; }));
    EXPECT_EQ(stream->Progress(), 100);
}

TEST_F(StreamProgression, BlockSizesStayWithinTheirBounds) {
    TCaptureTracer trace;
    WriteRecording(12);
    FLastGate = FFirstGate = FSecondGate = true;
    ServeGated();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }));
    const std::regex line("downloaded (\\d+) bytes in (\\d+) ms -> new block size: (\\d+)");
    int adaptations = 0;
    for (const std::string& text : trace.Lines()) {
        std::smatch match;
        if (!std::regex_match(text, match, line))
            continue;
        ++adaptations;
        const long long size = std::stoll(match[3]);
        EXPECT_GE(size, 4096) << text;
        EXPECT_LE(size, 4 * 1024 * 1024) << text;
    }
    EXPECT_GE(adaptations, 3); // the header and at least one block of each part
}

TEST_F(StreamProgression, WithFourKeyFramesOrFewerTheWholeFirstPartIsNeeded) {
    WriteRecording(3);
    FLastGate = FFirstGate = FSecondGate = true;
    ServeGated();
    auto stream = MakeStream(FServer->BaseURL());
    stream->StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }));
    EXPECT_EQ(stream->FirstPartNeeded(), FLayout.KeyFrameIndexOffset - 72);
    EXPECT_EQ(stream->LastAvailableKeyFrame(), 2);
}

} // namespace
} // namespace vsr::test
