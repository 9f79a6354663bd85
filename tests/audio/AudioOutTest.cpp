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
#include <limits>

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
    void Pause() override { Record("pause"); }
    void Restart() override { Record("restart"); }
    void Reset() override {
        FState->Calls.push_back("reset");
        while (!FState->Queued.empty())
            Complete(1);
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
    void Record(const char* call) {
        std::lock_guard lock(FPauseLock); // Paused may come from another thread
        FState->Calls.push_back(call);
    }
    std::mutex FPauseLock;
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
        if (count > 0)
            std::memcpy(buffer.data(), Data.data() + Position, count);
        Position += count;
        size = static_cast<std::int32_t>(count);
        Delivered += count > 0 ? 1 : 0;
        return count > 0;
    }
};

// Small buffers at 8000 Hz, 16-bit mono: 512 bytes are 32 ms.
void SetUpSmall(TAudioOut& out) {
    out.SetFrameRate(8000);
    out.SetBufferSize(512);
}

class AudioOutFake : public testing::Test {
protected:
    AudioOutFake() {
        auto device = std::make_unique<TFakeWaveDevice>(FState);
        FDevice = device.get();
        FOut = std::make_unique<TAudioOut>(std::move(device));
        SetUpSmall(*FOut);
        FOut->OnFillBuffer = [this](std::span<std::byte> b, std::int32_t& s) {
            return FSource.Fill(b, s);
        };
        FOut->OnStop = [this](TAudioIO& sender) {
            EXPECT_EQ(&sender, FOut.get());
            ++FStops;
        };
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        std::copy_if(FState->Calls.begin(), FState->Calls.end(), std::back_inserter(writes),
                     [](const std::string& c) { return c.rfind("write", 0) == 0; });
        return writes;
    }
    void CompleteAndPump(int count) {
        FDevice->Complete(count);
        MessageQueue().ProcessMessages();
    }

    std::shared_ptr<TFakeWaveDevice::TState> FState = std::make_shared<TFakeWaveDevice::TState>();
    TFakeWaveDevice* FDevice = nullptr;
    TSource FSource;
    int FStops = 0;
    std::unique_ptr<TAudioOut> FOut;
};

TEST(AudioOutProperties, StartWithTheirInitialValues) {
    TAudioOut out;
    EXPECT_EQ(out.BufferSize(), 8192);
    EXPECT_EQ(out.NumBuffers(), 4);
    EXPECT_EQ(out.FrameRate(), 22050);
    EXPECT_FALSE(out.Stereo());
    EXPECT_EQ(out.Quantization(), 16);
    EXPECT_EQ(out.WaveDevice(), cWaveMapper);
    EXPECT_FALSE(out.Paused());
    EXPECT_FALSE(out.Active());
    EXPECT_EQ(out.QueuedBuffers(), 0);
}

TEST(AudioOutProperties, BufferSizeHasAMinimumAndFollowsTheBlockAlignment) {
    TAudioOut out;
    out.SetBufferSize(100);
    EXPECT_EQ(out.BufferSize(), 512);
    out.SetBufferSize(3201); // 16-bit mono: 2-byte blocks
    EXPECT_EQ(out.BufferSize(), 3200);
    out.SetStereo(true); // 4-byte blocks; the assigned size is kept
    EXPECT_EQ(out.BufferSize(), 3200);
    out.SetBufferSize(3202);
    EXPECT_EQ(out.BufferSize(), 3200);
    out.SetBufferSize(3207);
    EXPECT_EQ(out.BufferSize(), 3204);
    out.SetStereo(false);
    out.SetQuantization(8);
    EXPECT_EQ(out.BufferSize(), 3207);
}

TEST(AudioOutProperties, ClampNumBuffersAndQuantization) {
    TAudioOut out;
    out.SetNumBuffers(1);
    EXPECT_EQ(out.NumBuffers(), 2);
    out.SetNumBuffers(20);
    EXPECT_EQ(out.NumBuffers(), 16);
    out.SetQuantization(4);
    EXPECT_EQ(out.Quantization(), 8);
    out.SetQuantization(12);
    EXPECT_EQ(out.Quantization(), 16);
    out.SetQuantization(8);
    EXPECT_EQ(out.Quantization(), 8);
}

TEST(AudioOutProperties, DeriveTheWaveFormat) {
    TAudioOut out;
    out.SetFrameRate(8000);
    out.SetStereo(true);
    const TWaveFormat& f = out.WaveFormat();
    EXPECT_EQ(f.FormatTag, 1);
    EXPECT_EQ(f.Channels, 2);
    EXPECT_EQ(f.SamplesPerSec, 8000u);
    EXPECT_EQ(f.BlockAlign, 4);
    EXPECT_EQ(f.AvgBytesPerSec, 32000u);
    EXPECT_EQ(f.BitsPerSample, 16);
    out.SetQuantization(8);
    out.SetStereo(false);
    EXPECT_EQ(out.WaveFormat().BlockAlign, 1);
    EXPECT_EQ(out.WaveFormat().AvgBytesPerSec, 8000u);
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
    FOut->Stop();
}

TEST_F(AudioOutFake, StartFailsWhenTheFirstFillDeliversNothing) {
    EXPECT_FALSE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "There must be at least one filled buffer");
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_FALSE(FOut->Active());
    EXPECT_EQ(FState->Calls, (std::vector<std::string>{"open 8000", "close"}));
    EXPECT_EQ(FSource.Calls, 1);
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FStops, 0);
}

TEST_F(AudioOutFake, ASecondStartWhileOpenFails) {
    FSource.Data = test::PatternBytes(10 * 512);
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
    EXPECT_EQ(FOut->FilledBuffers(), 3);
    EXPECT_EQ(FOut->QueuedBuffers(), 3);
    CompleteAndPump(1);
    EXPECT_EQ(FOut->QueuedBuffers(), 2);
    EXPECT_TRUE(FOut->Active());
    CompleteAndPump(1);
    EXPECT_EQ(FStops, 0);
    CompleteAndPump(1);
    EXPECT_EQ(FStops, 1);
    EXPECT_FALSE(FOut->Active());
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_EQ(FOut->ProcessedBuffers(), 3);
    EXPECT_EQ(FOut->QueuedBuffers(), 0);
    EXPECT_EQ(FState->Calls.back(), "close");
    EXPECT_EQ(Writes().size(), 3u);
    // The device's data is the source's, in order.
    std::vector<std::byte> played;
    for (const auto& w : FState->Written)
        played.insert(played.end(), w.begin(), w.end());
    EXPECT_EQ(played, FSource.Data);
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FStops, 1);
}

TEST_F(AudioOutFake, PausedBeforeStartPausesTheDeviceBeforeTheFirstWrite) {
    FSource.Data = test::PatternBytes(8 * 512);
    FOut->SetPaused(true);
    EXPECT_TRUE(FState->Calls.empty()) << "not applied while closed";
    ASSERT_TRUE(FOut->Start());
    ASSERT_GE(FState->Calls.size(), 3u);
    EXPECT_EQ(FState->Calls[1], "pause");
    EXPECT_EQ(FState->Calls[2], "write 0 512");
    FOut->SetPaused(false);
    EXPECT_EQ(FState->Calls.back(), "restart");
}

TEST_F(AudioOutFake, PausedFromAnotherThreadReachesTheDevice) {
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    std::thread([&] { FOut->SetPaused(true); }).join();
    EXPECT_TRUE(FOut->Paused());
    EXPECT_EQ(FState->Calls.back(), "pause");
}

TEST_F(AudioOutFake, StopDropsPendingNotificationsAndFiresNoStop) {
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    FOut->SetPaused(true);
    FDevice->Complete(2); // posted, not yet handled
    const int calls = FSource.Calls;
    FOut->Stop();
    EXPECT_FALSE(FOut->Active());
    EXPECT_FALSE(FOut->Paused());
    EXPECT_FALSE(FOut->DeviceOpen());
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FSource.Calls, calls);
    EXPECT_EQ(FOut->ProcessedBuffers(), 0);
    EXPECT_EQ(FStops, 0);
    const std::vector<std::string> tail(FState->Calls.end() - 2, FState->Calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"reset", "close"}));
}

TEST_F(AudioOutFake, AStoppedComponentCanStartAgain) {
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    FOut->Stop();
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
    EXPECT_EQ(FOut->QueuedBuffers(), 1);
    CompleteAndPump(1);
    EXPECT_EQ(FStops, 1);
    EXPECT_EQ(FSource.Calls, 5);
    EXPECT_EQ(Writes().size(), 5u);
    EXPECT_FALSE(FOut->DeviceOpen());
}

TEST_F(AudioOutFake, ASourceThatFailsOnceDoesNotReorderTheBuffers) {
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
    ASSERT_EQ(FState->Written.size(), 3u);
    EXPECT_TRUE(std::equal(FState->Written[1].begin(), FState->Written[1].end(),
                           FSource.Data.begin() + 512));
}

TEST_F(AudioOutFake, AHandlersSizeIsKeptWithinTheBuffer) {
    int call = 0;
    FOut->OnFillBuffer = [&](std::span<std::byte>, std::int32_t& s) {
        ++call;
        s = call == 1 ? 100000 : call == 2 ? -5 : 0;
        return call <= 2;
    };
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(Writes(), (std::vector<std::string>{"write 0 512", "write 1 0"}));
}

TEST_F(AudioOutFake, AFailedFirstWriteFailsTheStart) {
    FSource.Data = test::PatternBytes(8 * 512);
    FState->FailWrite = 0;
    EXPECT_FALSE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "write refused");
    EXPECT_FALSE(FOut->DeviceOpen());
    EXPECT_EQ(FState->Calls.back(), "close");
}

TEST_F(AudioOutFake, AFailedLaterWriteLetsTheWrittenBuffersPlayOut) {
    FSource.Data = test::PatternBytes(8 * 512);
    FState->FailWrite = 2;
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(FOut->LastError(), "write refused");
    EXPECT_EQ(Writes().size(), 3u) << "nothing written behind the failed buffer";
    EXPECT_EQ(FOut->QueuedBuffers(), 2);
    CompleteAndPump(2);
    EXPECT_EQ(FStops, 1);
    EXPECT_FALSE(FOut->DeviceOpen());
}

TEST_F(AudioOutFake, AFailedRefillLetsTheQueuedBuffersPlayOut) {
    FSource.Data = test::PatternBytes(8 * 512);
    FState->FailWrite = 4;
    ASSERT_TRUE(FOut->Start());
    CompleteAndPump(1);
    EXPECT_EQ(FOut->LastError(), "write refused");
    EXPECT_EQ(FOut->QueuedBuffers(), 3);
    CompleteAndPump(3);
    EXPECT_EQ(FStops, 1);
    EXPECT_EQ(FSource.Calls, 5);
}

TEST_F(AudioOutFake, FormatAndBuffersAreFixedWhileOpen) {
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    EXPECT_FALSE(FOut->SetBufferSize(4096));
    EXPECT_EQ(FOut->LastError(), "Wave output device is already open");
    EXPECT_FALSE(FOut->SetNumBuffers(8));
    EXPECT_FALSE(FOut->SetQuantization(8));
    EXPECT_EQ(FOut->BufferSize(), 512);
    EXPECT_EQ(FOut->NumBuffers(), 4);
    EXPECT_EQ(FOut->Quantization(), 16);
    FOut->Stop();
    EXPECT_TRUE(FOut->SetBufferSize(4096));
    EXPECT_EQ(FOut->BufferSize(), 4096);
}

TEST_F(AudioOutFake, MoreBuffersAfterConstructionAllHaveMemory) {
    FOut->SetNumBuffers(16);
    FSource.Data = test::PatternBytes(20 * 512);
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(Writes().size(), 16u);
    EXPECT_EQ(FState->Written.back().size(), 512u);
}

TEST_F(AudioOutFake, OnStartFiresWhenTheDeviceReportsItOpen) {
    int starts = 0;
    FOut->TAudioIO::OnStart = [&](TAudioIO&) { ++starts; };
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    EXPECT_EQ(starts, 0);
    MessageQueue().ProcessMessages();
    EXPECT_EQ(starts, 1);
}

TEST_F(AudioOutFake, DestroyClosesAnOpenDeviceWithoutOnStop) {
    FSource.Data = test::PatternBytes(8 * 512);
    ASSERT_TRUE(FOut->Start());
    FOut.reset();
    EXPECT_EQ(FState->Calls.back(), "close");
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FStops, 0);
}

// The real sound output on SDL's dummy driver (silent, real time).
class AudioOutSdl : public testing::Test {
protected:
    AudioOutSdl() {
        SetUpSmall(FOut);
        FOut.OnFillBuffer = [this](std::span<std::byte> b, std::int32_t& s) {
            return FSource.Fill(b, s);
        };
        FOut.OnStop = [this](TAudioIO&) { ++FStops; };
    }
    ~AudioOutSdl() override { FOut.Stop(); }

    std::unique_ptr<test::TEnvScope> FDriver = test::DummySdlAudio();
    test::TWatchdog FWatchdog{"AudioOutSdl"};
    TSource FSource;
    int FStops = 0;
    TAudioOut FOut;
};

TEST_F(AudioOutSdl, PlaysASourceToItsEndAndStopsOnce) {
    FSource.Data = test::PatternBytes(2 * 512 + 256);
    ASSERT_TRUE(FOut.Start()) << FOut.LastError();
    ASSERT_TRUE(PumpUntil([&] { return FStops > 0; }));
    PumpFor(100ms);
    EXPECT_EQ(FStops, 1);
    EXPECT_EQ(FSource.Delivered, 3);
    EXPECT_EQ(FOut.ProcessedBuffers(), 3);
    EXPECT_FALSE(FOut.Active());
}

TEST_F(AudioOutSdl, StopDuringPlaybackEndsEverything) {
    FSource.Data = test::PatternBytes(100 * 512);
    ASSERT_TRUE(FOut.Start());
    ASSERT_TRUE(PumpUntil([&] { return FOut.ProcessedBuffers() >= 2; }));
    FOut.SetPaused(true);
    FOut.Stop();
    EXPECT_FALSE(FOut.Active());
    EXPECT_FALSE(FOut.Paused());
    const int calls = FSource.Calls;
    PumpFor(150ms);
    EXPECT_EQ(FSource.Calls, calls);
    EXPECT_EQ(FStops, 0);
}

TEST_F(AudioOutSdl, NothingPlaysWhilePausedFromTheStart) {
    FSource.Data = test::PatternBytes(3 * 512);
    FOut.SetPaused(true);
    ASSERT_TRUE(FOut.Start());
    PumpFor(200ms); // over six buffers' time
    EXPECT_EQ(FOut.ProcessedBuffers(), 0);
    EXPECT_EQ(FOut.QueuedBuffers(), 3);
    FOut.SetPaused(false);
    ASSERT_TRUE(PumpUntil([&] { return FStops == 1; }));
    EXPECT_EQ(FOut.ProcessedBuffers(), 3);
}

TEST_F(AudioOutSdl, StopGracefullyDrainsTheQueueThenStops) {
    FSource.Data = test::PatternBytes(100 * 512);
    ASSERT_TRUE(FOut.Start());
    FOut.StopGracefully();
    const int calls = FSource.Calls;
    ASSERT_TRUE(PumpUntil([&] { return FStops == 1; }));
    EXPECT_EQ(FSource.Calls, calls);
    EXPECT_EQ(FOut.ProcessedBuffers(), 4);
    EXPECT_FALSE(FOut.DeviceOpen());
}

TEST(AudioOutCapture, TheDiskDriverReceivesExactlyWhatTheSourceDelivered) {
    test::TWatchdog watchdog("AudioOutCapture");
    test::TTempDir dir;
    const std::string file = dir.File("out.raw");
    test::TEnvScope driver("SDL_AUDIODRIVER", "disk");
    test::TEnvScope output("SDL_DISKAUDIOFILE", file);
    TAudioOut out;
    SetUpSmall(out);
    out.SetNumBuffers(8); // 256 ms ahead, so that a slow refill leaves no gap
    TSource source{test::PatternBytes(10 * 512 + 100)};
    out.OnFillBuffer = [&](std::span<std::byte> b, std::int32_t& s) { return source.Fill(b, s); };
    int stops = 0;
    out.OnStop = [&](TAudioIO&) { ++stops; };
    ASSERT_TRUE(out.Start()) << out.LastError();
    ASSERT_TRUE(PumpUntil([&] { return stops == 1; }));

    std::ifstream in(file, std::ios::binary);
    std::vector<char> captured((std::istreambuf_iterator<char>(in)), {});
    // Silence may come before the first buffer, never between or inside the buffers.
    const auto played = test::AfterLeadingSilence(captured);
    EXPECT_EQ(test::FirstDifference(source.Data, played), source.Data.size());
}

TEST(AudioOutFallback, PlaysInSilenceWhenNoOutputOpens) {
    test::TWatchdog watchdog("AudioOutFallback");
    test::TCaptureTracer tracer;
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    TAudioOut out;
    SetUpSmall(out);
    TSource source{test::PatternBytes(3 * 512)};
    out.OnFillBuffer = [&](std::span<std::byte> b, std::int32_t& s) { return source.Fill(b, s); };
    int stops = 0;
    out.OnStop = [&](TAudioIO&) { ++stops; };
    ASSERT_TRUE(out.Start()) << out.LastError();
    ASSERT_TRUE(PumpUntil([&] { return stops == 1; }));
    EXPECT_EQ(out.ProcessedBuffers(), 3);
    const auto lines = tracer.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("playing in silence") != std::string::npos;
    }));
}

} // namespace
} // namespace vsr
