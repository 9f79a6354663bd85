#include "audio/AudioOut.h"
#include "platform/WaveTestSupport.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::PumpFor;
using test::PumpUntil;

// A device the test drives by hand: it records every call and reports buffers done when told.
class TFakeWaveDevice : public TWaveDevice {
public:
    struct TState {
        std::vector<std::string> Calls;
        std::vector<std::vector<std::byte>> Written; // the data of each write, in order
        std::deque<int> Queued;
        TMessageTarget* Owner = nullptr;
        int FailWrite = -1; // the number (from 0) of the write that fails
        int Writes = 0;
    };

    explicit TFakeWaveDevice(std::shared_ptr<TState> state) : FState(std::move(state)) {}

    TWaveResult Open(std::uint32_t, const TWaveFormat& format, TMessageTarget& owner) override {
        FState->Calls.push_back(Format("open %u", format.SamplesPerSec));
        FState->Owner = &owner;
        owner.Post({cWomOpen, 0, 0});
        return TWaveResult::Success();
    }
    TWaveResult Write(int index, std::span<const std::byte> data) override {
        FState->Calls.push_back(Format("write %d %d", index, static_cast<int>(data.size())));
        if (FState->Writes++ == FState->FailWrite)
            return TWaveResult::Failure("write refused");
        FState->Written.emplace_back(data.begin(), data.end());
        FState->Queued.push_back(index);
        return TWaveResult::Success();
    }
    void Pause() override { FState->Calls.push_back("pause"); }
    void Restart() override { FState->Calls.push_back("restart"); }
    void Reset() override {
        FState->Calls.push_back("reset");
        Complete(static_cast<int>(FState->Queued.size()));
    }
    void Close() override {
        FState->Calls.push_back("close");
        FState->Queued.clear();
        FState->Owner = nullptr;
    }
    bool IsOpen() const override { return FState->Owner != nullptr; }

    // Reports the oldest count buffers done.
    void Complete(int count) {
        for (; count > 0 && !FState->Queued.empty(); --count) {
            FState->Owner->Post({cWomDone, 0, FState->Queued.front()});
            FState->Queued.pop_front();
        }
    }

private:
    std::shared_ptr<TState> FState;
};

// A source of a fixed number of bytes, delivered in order.
struct TSource {
    std::vector<std::byte> Data;
    std::size_t Position = 0;
    int Calls = 0;
    int Delivered = 0;

    bool Fill(std::span<std::byte> buffer, std::int32_t& size) {
        ++Calls;
        const std::size_t count = std::min(buffer.size(), Data.size() - Position);
        std::memcpy(buffer.data(), Data.data() + Position, count);
        Position += count;
        size = static_cast<std::int32_t>(count);
        Delivered += count > 0 ? 1 : 0;
        return count > 0;
    }
};

// Small buffers at 8000 Hz, 16-bit mono (512 bytes are 32 ms), fed from source.
void Feed(TAudioOut& out, TSource& source, int& stops) {
    out.SetFrameRate(8000);
    out.SetBufferSize(512);
    out.OnFillBuffer = [&source](std::span<std::byte> b, std::int32_t& s) {
        return source.Fill(b, s);
    };
    out.OnStop = [&stops, &out](TAudioIO& sender) {
        EXPECT_EQ(&sender, &out);
        ++stops;
    };
}

TEST(AudioOutProperties, FollowTheirRules) {
    TAudioOut out;
    EXPECT_EQ(out.BufferSize(), 8192);
    out.SetBufferSize(100);
    EXPECT_EQ(out.BufferSize(), 512);
    out.SetBufferSize(3201); // 16-bit mono: 2-byte blocks
    EXPECT_EQ(out.BufferSize(), 3200);
    out.SetStereo(true); // 4-byte blocks; the assigned size is kept
    out.SetBufferSize(3202);
    EXPECT_EQ(out.BufferSize(), 3200);
    out.SetBufferSize(3207);
    EXPECT_EQ(out.BufferSize(), 3204);
    EXPECT_EQ(out.WaveFormat().BlockAlign, 4);
    out.SetStereo(false);
    out.SetQuantization(8);
    EXPECT_EQ(out.BufferSize(), 3207);
    EXPECT_EQ(out.WaveFormat().AvgBytesPerSec, 22050u);

    for (const auto& [assigned, kept] : {std::pair{1, 2}, {20, 16}}) {
        out.SetNumBuffers(assigned);
        EXPECT_EQ(out.NumBuffers(), kept) << assigned;
    }
    for (const auto& [assigned, kept] : {std::pair{4, 8}, {12, 16}, {8, 8}}) {
        out.SetQuantization(static_cast<std::uint16_t>(assigned));
        EXPECT_EQ(out.Quantization(), kept) << assigned;
    }
}

class AudioOutFake : public testing::Test {
protected:
    AudioOutFake() {
        auto device = std::make_unique<TFakeWaveDevice>(FState);
        FDevice = device.get();
        FOut = std::make_unique<TAudioOut>(std::move(device));
        Feed(*FOut, FSource, FStops);
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        std::copy_if(FState->Calls.begin(), FState->Calls.end(), std::back_inserter(writes),
                     [](const std::string& c) { return c.starts_with("write"); });
        return writes;
    }
    void CompleteAndPump(int count) {
        FDevice->Complete(count);
        MessageQueue().ProcessMessages();
    }

    std::shared_ptr<TFakeWaveDevice::TState> FState = std::make_shared<TFakeWaveDevice::TState>();
    TFakeWaveDevice* FDevice = nullptr;
    TSource FSource{test::PatternBytes(8 * 512)};
    int FStops = 0;
    std::unique_ptr<TAudioOut> FOut;
};

TEST_F(AudioOutFake, StartFailsWhenTheFirstFillDeliversNothing) {
    FSource.Data.clear();
    EXPECT_FALSE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "There must be at least one filled buffer");
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_EQ(FState->Calls, (std::vector<std::string>{"open 8000", "close"}));
    EXPECT_EQ(FSource.Calls, 1);
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FStops, 0);
}

TEST_F(AudioOutFake, ASecondStartWhileOpenFails) {
    ASSERT_TRUE(FOut->Start());
    EXPECT_FALSE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "Wave output device is already open");
    EXPECT_TRUE(FOut->DeviceOpen());
    EXPECT_EQ(Writes().size(), 4u); // the first start's buffers only
}

TEST_F(AudioOutFake, TwoAndAHalfBuffersPlayAsThreeThenStopOnce) {
    FSource.Data = test::PatternBytes(2 * 512 + 256);
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(Writes(), (std::vector<std::string>{"write 0 512", "write 1 512", "write 2 256"}));
    EXPECT_EQ(FOut->QueuedBuffers(), 3);
    CompleteAndPump(2);
    EXPECT_EQ(FOut->QueuedBuffers(), 1);
    EXPECT_TRUE(FOut->Active());
    EXPECT_EQ(FStops, 0);
    CompleteAndPump(1);
    EXPECT_EQ(FStops, 1);
    EXPECT_FALSE(FOut->Active());
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_EQ(FOut->ProcessedBuffers(), 3);
    EXPECT_EQ(FState->Calls.back(), "close");
    EXPECT_EQ(Writes().size(), 3u);
    std::vector<std::byte> played;
    for (const auto& w : FState->Written)
        played.insert(played.end(), w.begin(), w.end());
    EXPECT_EQ(played, FSource.Data);
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FStops, 1);
}

TEST_F(AudioOutFake, PausedBeforeStartPausesTheDeviceBeforeTheFirstWrite) {
    FOut->SetPaused(true);
    EXPECT_TRUE(FState->Calls.empty()) << "not applied while closed";
    ASSERT_TRUE(FOut->Start());
    ASSERT_GE(FState->Calls.size(), 3u);
    EXPECT_EQ(FState->Calls[1], "pause");
    EXPECT_EQ(FState->Calls[2], "write 0 512");
    FOut->SetPaused(false);
    EXPECT_EQ(FState->Calls.back(), "restart");
}

TEST_F(AudioOutFake, StopDropsPendingNotificationsFiresNoStopAndCanStartAgain) {
    ASSERT_TRUE(FOut->Start());
    FOut->SetPaused(true);
    FDevice->Complete(2); // posted, not yet handled
    FOut->Stop();
    EXPECT_FALSE(FOut->Active());
    EXPECT_FALSE(FOut->Paused());
    EXPECT_FALSE(FOut->DeviceOpen());
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FSource.Calls, 4);
    EXPECT_EQ(FOut->ProcessedBuffers(), 0);
    EXPECT_EQ(FStops, 0);
    const std::vector<std::string> tail(FState->Calls.end() - 2, FState->Calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"reset", "close"}));

    FSource.Position = 0;
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(FOut->FilledBuffers(), 4) << "counters restart";
    EXPECT_EQ(Writes().back(), "write 3 512");
}

TEST_F(AudioOutFake, StopGracefullyPlaysOutWithoutAskingForMore) {
    FSource.Data = test::PatternBytes(20 * 512);
    ASSERT_TRUE(FOut->Start());
    CompleteAndPump(1); // refilled
    EXPECT_EQ(FSource.Calls, 5);
    FOut->StopGracefully();
    CompleteAndPump(3);
    EXPECT_EQ(FStops, 0);
    CompleteAndPump(1);
    EXPECT_EQ(FStops, 1);
    EXPECT_EQ(FSource.Calls, 5);
    EXPECT_EQ(Writes().size(), 5u);
    EXPECT_FALSE(FOut->DeviceOpen());
}

TEST_F(AudioOutFake, AFormatChangeNeverLetsAFillRunPastItsBuffer) {
    // 3201 assigned, 3200 effective at 16 bits; at 8 bits the effective size grows to 3201.
    FOut->SetBufferSize(3201);
    FOut->SetQuantization(8);
    std::size_t offered = 0;
    FOut->OnFillBuffer = [&](std::span<std::byte> buffer, std::int32_t& size) {
        offered = buffer.size();
        std::fill(buffer.begin(), buffer.end(), std::byte{0x55}); // caught by ASan if too big
        return size == 3201;
    };
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(offered, 3201u);
    EXPECT_EQ(Writes().front(), "write 0 3201");
}

TEST_F(AudioOutFake, FormatAndBuffersAreFixedWhileOpenAndNewBuffersHaveMemory) {
    ASSERT_TRUE(FOut->Start());
    EXPECT_FALSE(FOut->SetBufferSize(4096));
    EXPECT_EQ(FOut->LastError(), "Wave output device is already open");
    EXPECT_FALSE(FOut->SetNumBuffers(8));
    EXPECT_FALSE(FOut->SetQuantization(8));
    EXPECT_EQ(FOut->BufferSize(), 512);
    EXPECT_EQ(FOut->NumBuffers(), 4);
    EXPECT_EQ(FOut->Quantization(), 16);
    FOut->Stop();

    FOut->SetNumBuffers(16); // more than were allocated at construction
    FSource = {test::PatternBytes(20 * 512)};
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(FState->Written.size(), 4u + 16);
    EXPECT_EQ(FState->Written.back().size(), 512u);
}

// A fill that fails once, or answers a size outside the buffer, keeps the buffers in order
// and within their memory.
TEST_F(AudioOutFake, OddHandlerAnswersKeepOrderAndBounds) {
    FSource.Data = test::PatternBytes(3 * 512);
    int call = 0;
    FOut->OnFillBuffer = [&](std::span<std::byte> b, std::int32_t& s) {
        if (++call == 2) {
            s = 0;
            return false; // a momentary gap
        }
        return FSource.Fill(b, s);
    };
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(Writes(), (std::vector<std::string>{"write 0 512", "write 1 512", "write 2 512"}));
    EXPECT_EQ(FState->Written[1],
              std::vector(FSource.Data.begin() + 512, FSource.Data.begin() + 1024));
    FOut->Stop();

    FState->Calls.clear();
    call = 0;
    FOut->OnFillBuffer = [&](std::span<std::byte>, std::int32_t& s) {
        ++call;
        s = call == 1 ? 100000 : call == 2 ? -5 : 0;
        return call <= 2;
    };
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(Writes(), (std::vector<std::string>{"write 0 512", "write 1 0"}));
}

TEST_F(AudioOutFake, AFailedWriteLetsTheWrittenBuffersPlayOut) {
    FState->FailWrite = 0; // the first: the start fails
    EXPECT_FALSE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "write refused");
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_EQ(FState->Calls.back(), "close");

    FSource.Position = 0;
    FState->FailWrite = FState->Writes + 2; // a later one
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(FOut->QueuedBuffers(), 2);
    CompleteAndPump(2);
    EXPECT_EQ(FStops, 1);
    EXPECT_EQ(FState->Written.size(), 2u) << "nothing written behind the failed buffer";

    FSource.Position = 0;
    FState->FailWrite = FState->Writes + 4; // a refill
    ASSERT_TRUE(FOut->Start());
    CompleteAndPump(1);
    EXPECT_EQ(FOut->LastError(), "write refused");
    EXPECT_EQ(FOut->QueuedBuffers(), 3);
    CompleteAndPump(3);
    EXPECT_EQ(FStops, 2);
}

// Plays source through a fresh component on the system's output; true once OnStop came,
// only once, after every buffer delivered had played.
bool PlayToTheEnd(TSource& source, int numBuffers = 4) {
    TAudioOut out;
    int stops = 0;
    Feed(out, source, stops);
    out.SetNumBuffers(numBuffers);
    EXPECT_TRUE(out.Start()) << out.LastError();
    const bool stopped = PumpUntil([&] { return stops == 1; });
    PumpFor(100ms);
    return stopped && stops == 1 && out.ProcessedBuffers() == source.Delivered;
}

// On SDL's dummy driver (silent, real time).
TEST(AudioOutSdl, PlaysASourceToItsEndAndStopsOnce) {
    test::TWatchdog watchdog("AudioOutSdl");
    auto driver = test::DummySdlAudio();
    TSource source{test::PatternBytes(2 * 512 + 256)};
    ASSERT_TRUE(PlayToTheEnd(source));
    EXPECT_EQ(source.Delivered, 3);
}

TEST(AudioOutSdl, NothingPlaysWhilePausedFromTheStartAndStopEndsEverything) {
    test::TWatchdog watchdog("AudioOutSdl");
    auto driver = test::DummySdlAudio();
    TAudioOut out;
    TSource source{test::PatternBytes(100 * 512)};
    int stops = 0;
    Feed(out, source, stops);
    out.SetPaused(true);
    ASSERT_TRUE(out.Start());
    PumpFor(200ms); // over six buffers' time
    EXPECT_EQ(out.ProcessedBuffers(), 0);
    out.SetPaused(false);
    ASSERT_TRUE(PumpUntil([&] { return out.ProcessedBuffers() >= 2; }));
    out.SetPaused(true);
    out.Stop();
    EXPECT_FALSE(out.Active());
    EXPECT_FALSE(out.Paused());
    const int calls = source.Calls;
    PumpFor(150ms);
    EXPECT_EQ(source.Calls, calls);
    EXPECT_EQ(stops, 0);
}

TEST(AudioOutCapture, TheDiskDriverReceivesExactlyWhatTheSourceDelivered) {
    test::TWatchdog watchdog("AudioOutCapture");
    test::TTempDir dir;
    const std::string file = dir.File("out.raw");
    test::TEnvScope driver("SDL_AUDIODRIVER", "disk");
    test::TEnvScope output("SDL_DISKAUDIOFILE", file);
    TSource source{test::PatternBytes(10 * 512 + 100)};
    ASSERT_TRUE(PlayToTheEnd(source, 8)); // 256 ms ahead, so that a slow refill leaves no gap
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> captured((std::istreambuf_iterator<char>(in)), {});
    // Silence may come before the first buffer and after the last, never in between.
    EXPECT_TRUE(test::IsDataInSilence(source.Data, captured));
}

TEST(AudioOutFallback, PlaysInSilenceWhenNoOutputOpens) {
    test::TWatchdog watchdog("AudioOutFallback");
    test::TCaptureTracer tracer;
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    TSource source{test::PatternBytes(3 * 512)};
    ASSERT_TRUE(PlayToTheEnd(source));
    EXPECT_EQ(source.Delivered, 3);
    ASSERT_EQ(tracer.Lines().size(), 1u);
    EXPECT_TRUE(tracer.Lines()[0].starts_with("No sound output device (")) << tracer.Lines()[0];
    EXPECT_TRUE(tracer.Lines()[0].ends_with("): playing in silence")) << tracer.Lines()[0];
}

} // namespace
} // namespace vsr
