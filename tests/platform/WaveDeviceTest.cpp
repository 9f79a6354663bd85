#include "platform/SdlWaveDevice.h"
#include "platform/SilentWaveDevice.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"
#include "support/Files.h"
#include "support/Pump.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using TIndexes = std::vector<int>;

// The player's format is 8000 Hz, 16-bit mono: 16 bytes per millisecond.
TWaveFormat Pcm(std::uint32_t rate = 8000, std::uint16_t channels = 1, std::uint16_t bits = 16) {
    const auto align = static_cast<std::uint16_t>(bits / 8 * channels);
    return {cWaveFormatPcm, channels, rate, align * rate, align, bits, 0};
}

// A target on the test thread that keeps what a device posts, on SDL's silent dummy driver.
struct TNotifications {
    test::TEnvScope Driver{"SDL_AUDIODRIVER", "dummy"};
    test::TWatchdog Watchdog{"WaveDevice"};
    std::vector<std::uint32_t> Msgs;
    TIndexes Done;
    std::unique_ptr<TMessageTarget> Target = MessageQueue().CreateTarget([this](const TMessage& m) {
        Msgs.push_back(m.Msg);
        if (m.Msg == cWomDone)
            Done.push_back(static_cast<int>(m.LParam));
    });
    bool DoneReaches(std::size_t count) {
        return test::PumpUntil([&] { return Done.size() >= count; });
    }
};

// The contract both backends keep: SDL's, and the silent device.
class WaveDeviceContract : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_TRUE(FDevice->Open(cWaveMapper, Pcm(), *FLog.Target).Ok()); }
    TWaveResult Write(int index, std::size_t bytes = 512) { // 512 bytes are 32 ms
        return FDevice->Write(index, std::span(FData).first(bytes));
    }

    TNotifications FLog;
    const std::vector<std::byte> FData = test::Bytes(2048, 0x55);
    std::unique_ptr<TWaveDevice> FDevice = GetParam()
                                               ? std::unique_ptr<TWaveDevice>(new TSdlWaveDevice)
                                               : std::make_unique<TSilentWaveDevice>();
};

TEST_P(WaveDeviceContract, ReportsBuffersOnceConsumedInWrittenOrderUnlessPausedResetOrClosed) {
    for (int index : {2, 0, 3, 1})
        ASSERT_TRUE(Write(index).Ok());
    EXPECT_FALSE(Write(1).Ok() || Write(cMaxWaveBuffers).Ok() || Write(-1).Ok())
        << "queued, or no buffer";
    EXPECT_FALSE(FDevice->Open(cWaveMapper, Pcm(), *FLog.Target).Ok());
    MessageQueue().ProcessMessages();
    EXPECT_LT(FLog.Done.size(), 4u) << "128 ms of sound cannot be done at once";
    ASSERT_TRUE(FLog.DoneReaches(4));
    // Paused, nothing is consumed; a reset reports every buffer at once.
    FDevice->Pause();
    ASSERT_TRUE(Write(1).Ok() && Write(0).Ok());
    test::PumpFor(250ms);
    EXPECT_EQ(FLog.Done.size(), 4u);
    FDevice->Reset();
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FLog.Done.size(), 6u);
    FDevice->Restart();
    // Closed while 256 ms are still queued: those buffers are never reported.
    for (int index = 0; index < 3; ++index)
        ASSERT_TRUE(Write(index, index ? 2048 : 512).Ok());
    ASSERT_TRUE(FLog.DoneReaches(7));
    FDevice->Close();
    EXPECT_FALSE(FDevice->IsOpen() || Write(0).Ok());
    test::PumpFor(200ms);
    EXPECT_EQ(FLog.Done, (TIndexes{2, 0, 3, 1, 1, 0, 0}));
    EXPECT_EQ(FLog.Msgs.front(), cWomOpen);
    EXPECT_EQ(std::count(FLog.Msgs.begin(), FLog.Msgs.end(), cWomClose), 1);
    EXPECT_EQ(FLog.Msgs.back(), cWomClose);
}

TEST_P(WaveDeviceContract, PauseAndRestartFromAnotherThreadAreSafe) {
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            FDevice->Pause();
            FDevice->Restart();
        }
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Write(round).Ok());
        FDevice->Reset();
    }
    other.join();
    FDevice->Close();
    FDevice->Pause(); // closed: does nothing
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FLog.Done, (TIndexes{0, 1, 2})) << "each buffer once, played or reset";
}

INSTANTIATE_TEST_SUITE_P(Backends, WaveDeviceContract, testing::Bool(),
                         [](const auto& info) { return info.param ? "Sdl" : "Silent"; });

TEST(SilentWaveDevice, PlaysInRealTimeAndKeepsWhatWasPlayedBeforeAPause) {
    TNotifications log;
    TSilentWaveDevice device;
    const std::vector<std::byte> data = test::Bytes(600, 0x80); // 600 ms at 1000 Hz, 8-bit mono
    ASSERT_TRUE(device.Open(cWaveMapper, Pcm(1000, 1, 8), *log.Target).Ok());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device.Write(0, data).Ok());
    test::PumpFor(400ms);
    device.Pause();
    test::PumpFor(200ms);
    EXPECT_TRUE(log.Done.empty());
    device.Restart();
    ASSERT_TRUE(log.DoneReaches(1));
    // 600 ms of sound and the 200 ms pause: neither the pause counted as played (600 ms) nor
    // the buffer started again (1200 ms).
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 780ms);
    EXPECT_LT(elapsed, 1150ms);
}

// A mended fault: without an output device, playback never advanced.
TEST(SystemWaveDevice, PlaysPlainPcmOnSdlOrElseInSilence) {
    test::TCaptureTracer tracer;
    TNotifications log;
    TWaveFormat inconsistent = Pcm();
    inconsistent.AvgBytesPerSec = 8000;
    for (const TWaveFormat& format :
         {Pcm(8000, 1, 12), Pcm(8000, 3, 16), Pcm(0, 1, 16), inconsistent})
        EXPECT_EQ(CreateWaveDevice()->Open(cWaveMapper, format, *log.Target).ErrorText,
                  "Unsupported wave format");
    ASSERT_TRUE(CreateWaveDevice()->Open(cWaveMapper, Pcm(44100, 2, 8), *log.Target).Ok());
    EXPECT_EQ(TSdlWaveDevice().Open(99, Pcm(), *log.Target).ErrorText, "Bad wave device id 99");
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    const std::string sdlError = TSdlWaveDevice().Open(cWaveMapper, Pcm(), *log.Target).ErrorText;
    EXPECT_NE(sdlError.find("nonexistent"), std::string::npos) << sdlError;
    EXPECT_FALSE(CreateWaveDevice()->Open(0, Pcm(), *log.Target).Ok())
        << "a numbered device is not replaced";
    auto device = CreateWaveDevice();
    ASSERT_TRUE(device->Open(cWaveMapper, Pcm(), *log.Target).Ok());
    EXPECT_EQ(tracer.Lines(), std::vector<std::string>{"No sound output device (" + sdlError +
                                                       "): playing in silence"});
    const std::vector<std::byte> data = test::Bytes(1600, 0x55); // 100 ms
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device->Write(0, data).Ok());
    ASSERT_TRUE(log.DoneReaches(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
}

} // namespace
} // namespace vsr
