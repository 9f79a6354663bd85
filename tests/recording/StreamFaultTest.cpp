// The stream against a fault-injecting server: failures of either part, retries, time-outs
// and broken connections.
#include "recording/StreamFixture.h"

#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <algorithm>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

class StreamFaults : public StreamFixture {
protected:
    void SetUp() override { WriteRecording(8); }

    // Serves the recording, but answers requests for which fault returns a reply with it.
    void Serve(std::function<std::optional<TFaultReply>(const TFaultRequest&)> fault) {
        FServer = std::make_unique<TFaultServer>([this, fault](const TFaultRequest& request) {
            if (auto reply = fault(request))
                return *reply;
            return ServeRecording(FBytes, request);
        });
    }
    std::unique_ptr<TScreenRecorderPlaybackStream> Start(std::chrono::milliseconds timeout = 5s) {
        auto stream = MakeStream(FServer->BaseURL());
        stream->SetRequestTimeout(timeout);
        stream->StartDownload();
        return stream;
    }
    // How many block requests asked for position.
    std::size_t BlockRequestsAt(std::int64_t position) const {
        const auto targets = FServer->Targets();
        return static_cast<std::size_t>(std::count_if(targets.begin(), targets.end(), [&](auto& t) {
            const TFaultRequest request{t};
            return request.Query("flag") == "1" && request.QueryNumber("position") == position;
        }));
    }
    std::int64_t IndexOffset() const { return FLayout.KeyFrameIndexOffset; }
    bool IsLastPartBlock(const TFaultRequest& request) const {
        return request.Query("flag") == "1" && request.QueryNumber("position") >= IndexOffset();
    }
    bool IsFirstPartBlock(const TFaultRequest& request) const {
        const std::int64_t position = request.QueryNumber("position");
        return request.Query("flag") == "1" && position >= 72 && position < IndexOffset();
    }

    TWatchdog FWatchdog{"stream fault test", 30s};
    std::unique_ptr<TFaultServer> FServer;
};

TEST_F(StreamFaults, AFailedInformationRequestEndsTheDownloadWithItsMessage) {
    TCaptureTracer trace;
    Serve([](const TFaultRequest&) { return TFaultReply::Answer(404, "missing"); });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, sVSRStreamNotConfigured);
    EXPECT_EQ(FStarted, 0);
    EXPECT_EQ(FLastFinished, 0);
    PumpFor(150ms);
    EXPECT_EQ(FServer->Targets().size(), 1u) << "the first part must keep waiting for its signal";
    EXPECT_TRUE(trace.Contains("Download last part end"));
    EXPECT_EQ(stream->LastAvailableKeyFrame(), -1);
}

TEST_F(StreamFaults, AnEmptyBlockFailsAtOnce) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (IsLastPartBlock(request))
            return TFaultReply::Answer(200, "OK|");
        return std::nullopt;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, "Server returned no data");
    EXPECT_EQ(FStarted, 1);
    EXPECT_EQ(BlockRequestsAt(IndexOffset()), 1u);
}

TEST_F(StreamFaults, ABlockOneByteTooLongIsTriedThreeTimes) {
    TCaptureTracer trace;
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (!IsLastPartBlock(request))
            return std::nullopt;
        TFaultReply reply = ServeRecording(FBytes, request);
        reply.Body += 'x';
        return reply;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, "Server returned too much data");
    EXPECT_EQ(BlockRequestsAt(IndexOffset()), 3u);
    EXPECT_EQ(FLastProgress, 0);
}

TEST_F(StreamFaults, AServerThatStopsAnsweringTimesOutAfterThreeAttempts) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (IsLastPartBlock(request))
            return TFaultReply::Silent();
        return std::nullopt;
    });
    auto stream = Start(150ms);
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, "Connection timeout.");
    EXPECT_EQ(BlockRequestsAt(IndexOffset()), 3u);
}

TEST_F(StreamFaults, AConnectionResetInTheMiddleOfABlockIsRetried) {
    // One reset for each worker's first block; the workers run at the same time.
    std::atomic<bool> lastReset = false;
    std::atomic<bool> firstReset = false;
    Serve([&, this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        std::atomic<bool>* once = IsLastPartBlock(request)                ? &lastReset
                                  : request.QueryNumber("position") == 72 ? &firstReset
                                                                          : nullptr;
        if (!once || once->exchange(true))
            return std::nullopt;
        const TFaultReply whole = ServeRecording(FBytes, request);
        return TFaultReply::ResetMidBody(whole.Body, whole.Body.size() / 2);
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }));
    EXPECT_EQ(FLastError, "");
    EXPECT_EQ(FFirstError, "");
    EXPECT_EQ(BlockRequestsAt(IndexOffset()), 2u);
    EXPECT_EQ(BlockRequestsAt(72), 2u);
    EXPECT_EQ(DownloadedBytes(*stream), FBytes);
}

TEST_F(StreamFaults, ShortBlocksLeaveNoHoleInTheFile) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (request.Query("flag") != "1" || request.QueryNumber("position") == 0 ||
            request.QueryNumber("size") < 2)
            return std::nullopt;
        TFaultReply reply = ServeRecording(FBytes, request);
        reply.Body.resize(3 + (reply.Body.size() - 3) / 2); // half of what was asked for
        return reply;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return FLastFinished == 1 && FFirstFinished == 1; }));
    EXPECT_EQ(DownloadedBytes(*stream), FBytes);
}

TEST_F(StreamFaults, ThreeResetsEndTheWorkerWithATimeout) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (!IsLastPartBlock(request))
            return std::nullopt;
        return TFaultReply::ResetMidBody(ServeRecording(FBytes, request).Body, 20);
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, "Connection timeout.");
    EXPECT_EQ(BlockRequestsAt(IndexOffset()), 3u);
}

TEST_F(StreamFaults, AFirstPartFailureIsReportedInsteadOfLeavingPlaybackWaiting) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (IsFirstPartBlock(request))
            return TFaultReply::Answer(200, "ERR");
        return std::nullopt;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FFirstError.empty() && FLastFinished == 1; }));
    EXPECT_EQ(FFirstError, "Unexpected response from server: ERR");
    EXPECT_EQ(FFirstFinished, 0);
    EXPECT_FALSE(stream->FirstPartDone());
    EXPECT_EQ(BlockRequestsAt(72), 3u);
}

TEST_F(StreamFaults, AHeaderWhoseOffsetsLieOutsideTheFileIsRefused) {
    Serve([this](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (IsInformationRequest(request)) // the file ends before its own key-frame index
            return TFaultReply::Answer(200, "OK|" + std::to_string(IndexOffset()) + "|1|");
        return std::nullopt;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, sInvalidSRFile);
    EXPECT_EQ(FStarted, 0);
}

TEST_F(StreamFaults, AHeaderWithTheWrongMagicIsRefused) {
    Serve([](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (request.QueryNumber("size") == 72)
            return TFaultReply::Answer(200, "OK|VSR2.0" + std::string(66, '\0'));
        return std::nullopt;
    });
    auto stream = Start();
    ASSERT_TRUE(PumpUntil([&] { return !FLastError.empty(); }));
    EXPECT_EQ(FLastError, sInvalidSRFile);
}

} // namespace
} // namespace vsr::test
