#include "platform/WaveDevice.h"
#include "platform/SdlWaveDevice.h"
#include "platform/SilentWaveDevice.h"
#include "platform/WaveTestSupport.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::PcmFormat;
using test::PumpFor;
using test::PumpUntil;

enum class TBackend { Sdl, Silent, System };

std::unique_ptr<TWaveDevice> CreateBackend(TBackend backend) {
    switch (backend) {
    case TBackend::Sdl:
        return std::make_unique<TSdlWaveDevice>();
    case TBackend::Silent:
        return std::make_unique<TSilentWaveDevice>();
    case TBackend::System:
        break;
    }
    return CreateWaveDevice();
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
        return std::span<const std::byte>(FData).subspan(static_cast<std::size_t>(index) * 512,
                                                         512);
    }

    std::unique_ptr<test::TEnvScope> FDriver = test::DummySdlAudio();
    test::TWatchdog FWatchdog{"WaveDeviceContract"};
    test::TNotificationLog FLog;
    std::unique_ptr<TWaveDevice> FDevice = CreateBackend(GetParam());
};

TEST_P(WaveDeviceContract, ReportsEachBufferOnceInWrittenOrder) {
    for (int index : {2, 0, 3})
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    ASSERT_TRUE(PumpUntil([&] { return FLog.DoneIndexes().size() >= 3; }));
    PumpFor(100ms);
    EXPECT_EQ(FLog.DoneIndexes(), (std::vector<int>{2, 0, 3}));
    EXPECT_EQ(FLog.Count(cWomOpen), 1u);
}

TEST_P(WaveDeviceContract, ReportsABufferOnlyOnceConsumed) {
    // 4 x 32 ms queued: the last one cannot be done right after the write.
    for (int index = 0; index < 4; ++index)
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    MessageQueue().ProcessMessages();
    EXPECT_LT(FLog.DoneIndexes().size(), 4u);
    ASSERT_TRUE(PumpUntil([&] { return FLog.DoneIndexes().size() == 4; }));
}

TEST_P(WaveDeviceContract, ConsumesNothingWhilePaused) {
    FDevice->Pause();
    ASSERT_TRUE(FDevice->Write(0, Part(0)).Ok());
    ASSERT_TRUE(FDevice->Write(1, Part(1)).Ok());
    PumpFor(250ms);
    EXPECT_TRUE(FLog.DoneIndexes().empty());
    FDevice->Restart();
    ASSERT_TRUE(PumpUntil([&] { return FLog.DoneIndexes().size() == 2; }));
}

TEST_P(WaveDeviceContract, ResetReportsEveryQueuedBufferAtOnce) {
    FDevice->Pause();
    for (int index = 0; index < 3; ++index)
        ASSERT_TRUE(FDevice->Write(index, Part(index)).Ok());
    FDevice->Reset();
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FLog.DoneIndexes(), (std::vector<int>{0, 1, 2}));
    // The buffers may be written again afterwards.
    FDevice->Restart();
    ASSERT_TRUE(FDevice->Write(0, Part(0)).Ok());
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
    EXPECT_EQ(FLog.Messages().back().Msg, cWomClose);
    PumpFor(200ms);
    EXPECT_EQ(FLog.DoneIndexes().size(), done);
    EXPECT_EQ(FLog.Count(cWomClose), 1u);
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
                         testing::Values(TBackend::Sdl, TBackend::Silent, TBackend::System),
                         [](const testing::TestParamInfo<TBackend>& info) {
                             switch (info.param) {
                             case TBackend::Sdl:
                                 return "Sdl";
                             case TBackend::Silent:
                                 return "Silent";
                             case TBackend::System:
                                 break;
                             }
                             return "System";
                         });

TEST(WaveDeviceFormat, AcceptsOnlyPlainPcm) {
    EXPECT_EQ(CheckWaveFormat(PcmFormat()), "");
    EXPECT_EQ(CheckWaveFormat(PcmFormat(44100, 2, 8)), "");
    EXPECT_NE(CheckWaveFormat(PcmFormat(8000, 1, 12)), "");
    EXPECT_NE(CheckWaveFormat(PcmFormat(8000, 3, 16)), "");
    EXPECT_NE(CheckWaveFormat(PcmFormat(0, 1, 16)), "");
    TWaveFormat inconsistent = PcmFormat();
    inconsistent.AvgBytesPerSec = 8000;
    EXPECT_NE(CheckWaveFormat(inconsistent), "");

    // A bad format is an error, not a reason to play in silence.
    auto driver = test::DummySdlAudio();
    test::TNotificationLog log;
    for (TBackend backend : {TBackend::Sdl, TBackend::Silent, TBackend::System}) {
        auto device = CreateBackend(backend);
        EXPECT_EQ(device->Open(cWaveMapper, PcmFormat(0, 1, 16), log.Target()).ErrorText,
                  "Unsupported wave format");
        EXPECT_FALSE(device->IsOpen());
    }
}

TEST(SilentWaveDevice, PlaysInRealTime) {
    test::TWatchdog watchdog("SilentWaveDevice.PlaysInRealTime");
    test::TNotificationLog log;
    TSilentWaveDevice device;
    ASSERT_TRUE(device.Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
    // One second: 4 buffers of 250 ms.
    const auto data = test::PatternBytes(16000);
    const auto start = std::chrono::steady_clock::now();
    for (int index = 0; index < 4; ++index)
        ASSERT_TRUE(device.Write(index, std::span(data).subspan(index * 4000u, 4000)).Ok());
    ASSERT_TRUE(PumpUntil([&] { return log.DoneIndexes().size() == 4; }, 5000ms));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 800ms);
    EXPECT_LE(elapsed, 3000ms);
}

TEST(SilentWaveDevice, KeepsWhatWasPlayedBeforeAPause) {
    test::TWatchdog watchdog("SilentWaveDevice.KeepsWhatWasPlayedBeforeAPause");
    test::TNotificationLog log;
    TSilentWaveDevice device;
    // 8-bit mono at 1000 Hz: 400 bytes are 400 ms.
    ASSERT_TRUE(device.Open(cWaveMapper, PcmFormat(1000, 1, 8), log.Target()).Ok());
    const auto data = test::PatternBytes(400);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device.Write(0, data).Ok());
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

TEST(SdlWaveDevice, DiskDriverCapturesExactlyTheBytesWritten) {
    test::TWatchdog watchdog("SdlWaveDevice.DiskDriverCapturesExactlyTheBytesWritten");
    test::TTempDir dir;
    const std::string file = dir.File("captured.raw");
    test::TEnvScope driver("SDL_AUDIODRIVER", "disk");
    test::TEnvScope output("SDL_DISKAUDIOFILE", file);
    test::TNotificationLog log;
    TSdlWaveDevice device;
    ASSERT_TRUE(device.Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
    // Three buffers of different lengths, 160 ms in all.
    const auto data = test::PatternBytes(2560);
    const std::size_t lengths[] = {1024, 1000, 536};
    std::size_t offset = 0;
    for (int index = 0; index < 3; ++index) {
        ASSERT_TRUE(device.Write(index, std::span(data).subspan(offset, lengths[index])).Ok());
        offset += lengths[index];
    }
    ASSERT_TRUE(PumpUntil([&] { return log.DoneIndexes().size() == 3; }));
    device.Close();

    std::ifstream in(file, std::ios::binary);
    std::vector<char> captured((std::istreambuf_iterator<char>(in)), {});
    // Silence may come before the first buffer and after the last, never in between.
    const auto played = test::AfterLeadingSilence(captured);
    ASSERT_GE(played.size(), data.size());
    EXPECT_EQ(test::FirstDifference(data, played), data.size());
    EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(data.size()), played.end(),
                            [](std::byte b) { return b == std::byte{0}; }));
}

TEST(SdlWaveDevice, ReportsSdlsTextWhenTheDriverIsMissing) {
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    test::TNotificationLog log;
    TSdlWaveDevice device;
    const TWaveResult result = device.Open(cWaveMapper, PcmFormat(), log.Target());
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.ErrorText.find("nonexistent"), std::string::npos) << result.ErrorText;
    EXPECT_FALSE(device.IsOpen());
}

TEST(SystemWaveDevice, FallsBackToSilenceWhenNoOutputOpens) {
    test::TWatchdog watchdog("SystemWaveDevice.FallsBackToSilenceWhenNoOutputOpens");
    test::TCaptureTracer tracer;
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    test::TNotificationLog log;
    auto device = CreateWaveDevice();
    ASSERT_TRUE(device->Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
    const auto lines = tracer.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("No sound output device (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("): playing in silence"), std::string::npos) << lines[0];

    // Playback still advances: 100 ms at 16 bytes per ms.
    const auto data = test::PatternBytes(1600);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device->Write(0, data).Ok());
    ASSERT_TRUE(PumpUntil([&] { return log.DoneIndexes().size() == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
}

TEST(SystemWaveDevice, ADeviceAskedForByNumberIsNotReplacedBySilence) {
    test::TCaptureTracer tracer;
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    test::TNotificationLog log;
    auto device = CreateWaveDevice();
    EXPECT_FALSE(device->Open(0, PcmFormat(), log.Target()).Ok());
    EXPECT_FALSE(device->IsOpen());
    EXPECT_TRUE(tracer.Lines().empty());
}

TEST(SystemWaveDevice, UsesSdlWhenItOpens) {
    test::TCaptureTracer tracer;
    auto driver = test::DummySdlAudio();
    test::TNotificationLog log;
    auto device = CreateWaveDevice();
    ASSERT_TRUE(device->Open(cWaveMapper, PcmFormat(), log.Target()).Ok());
    EXPECT_TRUE(tracer.Lines().empty());
}

} // namespace
} // namespace vsr
