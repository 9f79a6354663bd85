#include "platform/WaveDevice.h"
#include "platform/SdlWaveDevice.h"
#include "platform/SilentWaveDevice.h"
#include "platform/WaveTestSupport.h"
#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::PcmFormat;
using test::PumpFor;
using test::PumpUntil;

enum class TBackend { Sdl, Silent };

std::unique_ptr<TWaveDevice> CreateBackend(TBackend backend) {
    if (backend == TBackend::Sdl)
        return std::make_unique<TSdlWaveDevice>();
    return std::make_unique<TSilentWaveDevice>();
}

// The contract every backend keeps, run on SDL's dummy driver and on the silent device.
class WaveDeviceContract : public testing::TestWithParam<TBackend> {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDevice->Open(cWaveMapper, PcmFormat(), FLog.Target()).Ok());
    }
    void TearDown() override { FDevice->Close(); }

    // 512 bytes are 32 ms at 8000 Hz, 16-bit mono.
    std::vector<std::byte> FData = test::PatternBytes(4 * 512);
    std::span<const std::byte> Part(int index) {
        return std::span(FData).subspan(static_cast<std::size_t>(index) * 512, 512);
    }

    std::unique_ptr<test::TEnvScope> FDriver = test::DummySdlAudio();
    test::TWatchdog FWatchdog{"WaveDeviceContract"};
    test::TNotificationLog FLog;
    std::unique_ptr<TWaveDevice> FDevice = CreateBackend(GetParam());
};

TEST_P(WaveDeviceContract, ReportsEachBufferOnceConsumedInWrittenOrder) {
    for (int index : {2, 0, 3, 1})
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    // 4 x 32 ms queued: the last one cannot be done right after the write.
    MessageQueue().ProcessMessages();
    EXPECT_LT(FLog.DoneIndexes().size(), 4u);
    ASSERT_TRUE(PumpUntil([&] { return FLog.DoneIndexes().size() >= 4; }));
    PumpFor(100ms);
    EXPECT_EQ(FLog.DoneIndexes(), (std::vector<int>{2, 0, 3, 1}));
    EXPECT_EQ(FLog.Messages.front().Msg, cWomOpen);
}

TEST_P(WaveDeviceContract, ConsumesNothingWhilePausedAndResetReportsEverythingAtOnce) {
    FDevice->Pause();
    for (int index = 0; index < 3; ++index)
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    PumpFor(250ms);
    EXPECT_TRUE(FLog.DoneIndexes().empty());
    FDevice->Reset();
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FLog.DoneIndexes(), (std::vector<int>{0, 1, 2}));
    // The buffers may be written again, and play once restarted.
    ASSERT_TRUE(FDevice->Write(0, Part(0)).Ok());
    FDevice->Restart();
    ASSERT_TRUE(PumpUntil([&] { return FLog.DoneIndexes().size() == 4; }));
}

TEST_P(WaveDeviceContract, PostsNothingForItsBuffersAfterClose) {
    for (int index = 0; index < 4; ++index)
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    ASSERT_TRUE(PumpUntil([&] { return !FLog.DoneIndexes().empty(); }));
    FDevice->Close();
    EXPECT_FALSE(FDevice->IsOpen());
    MessageQueue().ProcessMessages(); // what was posted before the close
    const std::size_t done = FLog.DoneIndexes().size();
    EXPECT_LT(done, 4u);
    EXPECT_EQ(FLog.Messages.back().Msg, cWomClose);
    PumpFor(200ms);
    EXPECT_EQ(FLog.DoneIndexes().size(), done);
    EXPECT_EQ(std::count_if(FLog.Messages.begin(), FLog.Messages.end(),
                            [](const TMessage& m) { return m.Msg == cWomClose; }),
              1);
}

TEST_P(WaveDeviceContract, RefusesBadWritesAndASecondOpen) {
    FDevice->Pause();
    ASSERT_TRUE(FDevice->Write(1, Part(1)).Ok());
    EXPECT_FALSE(FDevice->Write(1, Part(1)).Ok()) << "buffer 1 is still queued";
    EXPECT_FALSE(FDevice->Write(cMaxWaveBuffers, Part(0)).Ok());
    EXPECT_FALSE(FDevice->Write(-1, Part(0)).Ok());
    EXPECT_FALSE(FDevice->Open(cWaveMapper, PcmFormat(), FLog.Target()).Ok());
    FDevice->Close();
    EXPECT_FALSE(FDevice->Write(2, Part(2)).Ok());
}

TEST_P(WaveDeviceContract, PauseFromAnotherThreadIsSafe) {
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            FDevice->Pause();
            FDevice->Restart();
        }
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(FDevice->Write(round, Part(round)).Ok());
        FDevice->Reset();
    }
    other.join();
    FDevice->Close();
    FDevice->Pause(); // closed: does nothing
    MessageQueue().ProcessMessages();
    // Each buffer reported once, whether played or reset.
    EXPECT_EQ(FLog.DoneIndexes(), (std::vector<int>{0, 1, 2}));
}

INSTANTIATE_TEST_SUITE_P(Backends, WaveDeviceContract,
                         testing::Values(TBackend::Sdl, TBackend::Silent),
                         [](const testing::TestParamInfo<TBackend>& info) {
                             return info.param == TBackend::Sdl ? "Sdl" : "Silent";
                         });

TEST(WaveDeviceFormat, AcceptsOnlyPlainPcm) {
    EXPECT_EQ(CheckWaveFormat(PcmFormat(44100, 2, 8)), "");
    EXPECT_NE(CheckWaveFormat(PcmFormat(8000, 1, 12)), "");
    EXPECT_NE(CheckWaveFormat(PcmFormat(8000, 3, 16)), "");
    TWaveFormat inconsistent = PcmFormat();
    inconsistent.AvgBytesPerSec = 8000;
    EXPECT_NE(CheckWaveFormat(inconsistent), "");
    // A bad format is an error, not a reason to play in silence.
    auto driver = test::DummySdlAudio();
    test::TNotificationLog log;
    EXPECT_EQ(CreateWaveDevice()->Open(cWaveMapper, PcmFormat(0, 1, 16), log.Target()).ErrorText,
              "Unsupported wave format");
}

TEST(SilentWaveDevice, PlaysInRealTimeAndKeepsWhatWasPlayedBeforeAPause) {
    test::TWatchdog watchdog("SilentWaveDevice");
    test::TNotificationLog log;
    TSilentWaveDevice device;
    // 8-bit mono at 1000 Hz: 400 bytes are 400 ms.
    ASSERT_TRUE(device.Open(cWaveMapper, PcmFormat(1000, 1, 8), log.Target()).Ok());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device.Write(0, test::PatternBytes(400)).Ok());
    PumpFor(200ms);
    device.Pause();
    PumpFor(300ms);
    EXPECT_TRUE(log.DoneIndexes().empty());
    device.Restart();
    ASSERT_TRUE(PumpUntil([&] { return log.DoneIndexes().size() == 1; }));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // 400 ms of sound plus the 300 ms pause; neither restarted from the beginning (900 ms)
    // nor counting the pause as played (400 ms).
    EXPECT_GE(elapsed, 620ms);
    EXPECT_LE(elapsed, 880ms);
}

TEST(SystemWaveDevice, UsesSdlWhenItOpensAndOtherwiseFallsBackToSilence) {
    test::TWatchdog watchdog("SystemWaveDevice");
    test::TCaptureTracer tracer;
    test::TNotificationLog log;
    {
        auto driver = test::DummySdlAudio();
        ASSERT_TRUE(CreateWaveDevice()->Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
        EXPECT_TRUE(tracer.Lines().empty());
    }
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    // SDL's own text names the missing driver.
    TSdlWaveDevice sdl;
    const TWaveResult result = sdl.Open(cWaveMapper, PcmFormat(), log.Target());
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.ErrorText.find("nonexistent"), std::string::npos) << result.ErrorText;
    // A device asked for by number is not replaced by silence.
    EXPECT_FALSE(CreateWaveDevice()->Open(0, PcmFormat(), log.Target()).Ok());
    EXPECT_TRUE(tracer.Lines().empty());

    auto device = CreateWaveDevice();
    ASSERT_TRUE(device->Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
    ASSERT_EQ(tracer.Lines().size(), 1u);
    EXPECT_TRUE(tracer.Lines()[0].starts_with("No sound output device (")) << tracer.Lines()[0];
    // Playback still advances, at the rate of the format: 100 ms at 16 bytes per ms.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device->Write(0, test::PatternBytes(1600)).Ok());
    ASSERT_TRUE(PumpUntil([&] { return log.DoneIndexes().size() == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
}

} // namespace
} // namespace vsr
