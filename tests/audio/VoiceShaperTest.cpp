#include "audio/VoiceShaper.h"
#include "audio/SmoothClock.h"
#include "support/Voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>

namespace vsr::test {
namespace {

constexpr std::size_t cBufferBytes = 3200; // one wave output buffer: 200 ms
constexpr std::size_t cQueuedBuffers = 3;
constexpr double cHeardSlack = 10 * 16; // 10 ms of voice

void Load(TMemoryStream& stream, const std::vector<std::int16_t>& samples) {
    stream.WriteBuffer(std::as_bytes(std::span(samples)));
    stream.SetPosition(0);
}

// What the wave output receives, and the heard position after every buffer handed on or played.
struct TPlayback {
    std::vector<std::int16_t> Samples;
    std::vector<std::int64_t> Heard;
    bool HeardAheadOfSource = false; // a heard byte the source has not given yet
};

// Plays source through a queue of buffers as the wave output does, until maxBuffers or the end.
TPlayback Play(TVoiceShaper& shaper, TStream& source, std::size_t maxBuffers = SIZE_MAX) {
    TPlayback playback;
    std::deque<std::size_t> queue;
    std::int64_t queued = 0;
    std::vector<std::byte> buffer(cBufferBytes);
    auto note = [&] {
        playback.Heard.push_back(shaper.HeardPosition(queued));
        playback.HeardAheadOfSource |= playback.Heard.back() > source.Position();
    };
    auto played = [&] {
        queued -= static_cast<std::int64_t>(queue.front());
        queue.pop_front();
        note();
    };
    for (std::size_t n = 0; n < maxBuffers; ++n) {
        const std::size_t size = shaper.Fill(source, buffer);
        if (size == 0)
            break;
        const std::size_t at = playback.Samples.size();
        playback.Samples.resize(at + size / 2);
        std::memcpy(playback.Samples.data() + at, buffer.data(), size);
        queue.push_back(size);
        queued += static_cast<std::int64_t>(size);
        note();
        if (queue.size() > cQueuedBuffers)
            played();
    }
    while (!queue.empty())
        played();
    return playback;
}

// Zero crossings per second of the samples between 10 % and 90 %, away from the edges.
double CrossingRate(const std::vector<std::int16_t>& samples) {
    const std::size_t from = samples.size() / 10, to = samples.size() * 9 / 10;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    return crossings * 8000.0 / static_cast<double>(to - from);
}

int Peak(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (const std::int16_t sample : samples)
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    return peak;
}

class VoiceShaperSpeed : public ::testing::TestWithParam<double> {};

TEST_P(VoiceShaperSpeed, KeepsPitchScalesLengthAndClockFollowsTheRecording) {
    const double speed = GetParam();
    const auto tone = Tone(2999, 440);
    TMemoryStream source;
    Load(source, tone);
    TVoiceShaper shaper;
    shaper.SetSpeed(speed);
    shaper.Restart(0);
    const TPlayback playback = Play(shaper, source);

    EXPECT_NEAR(static_cast<double>(playback.Samples.size()), tone.size() / speed,
                0.03 * tone.size() / speed);
    EXPECT_NEAR(CrossingRate(playback.Samples), 880.0, 0.05 * 880.0);
    EXPECT_TRUE(std::is_sorted(playback.Heard.begin(), playback.Heard.end()));
    EXPECT_NEAR(static_cast<double>(playback.Heard.back()), 2.0 * tone.size(), cHeardSlack);
    EXPECT_FALSE(playback.HeardAheadOfSource);
    if (speed == 1.0) {
        EXPECT_EQ(playback.Samples, tone);
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, VoiceShaperSpeed, ::testing::ValuesIn(TVoiceShaper::Speeds));

// Volume, mute and silence are measured on the player's captured sound (PlayerWatching).
TEST(VoiceShaperTest, RestartForgetsWhatCameBefore) {
    // A tone, then silence from byte 16000: after restarting there, only silence may come.
    const auto voice = Joined({Tone(1000, 440), Silence(1000)});
    constexpr std::int64_t cResume = 16000;
    for (const double speed : TVoiceShaper::Speeds) {
        SCOPED_TRACE(speed);
        TMemoryStream source;
        Load(source, voice);
        TVoiceShaper shaper;
        shaper.SetSpeed(speed);
        shaper.Restart(0);
        EXPECT_FALSE(Play(shaper, source, 2).Samples.empty());
        source.SetPosition(cResume);
        shaper.Restart(cResume);
        EXPECT_EQ(shaper.HeardPosition(0), cResume);
        const TPlayback after = Play(shaper, source);
        EXPECT_EQ(Peak(after.Samples), 0);
        EXPECT_GE(*std::min_element(after.Heard.begin(), after.Heard.end()), cResume);
        EXPECT_NEAR(static_cast<double>(after.Heard.back()), 2.0 * voice.size(), cHeardSlack);
    }
}

} // namespace
} // namespace vsr::test

namespace vsr::test {
namespace {

// The part of the playing buffer heard, read at times after a start: nothing until a buffer
// has ended (the device's start-up is unknown), then 16 bytes a millisecond, never a whole
// buffer, standing still while paused and going on from there, from zero after each buffer's
// end and after a reset.
TEST(SmoothClock, MovesBetweenBufferEndsStandsStillWhilePausedAndNeverPassesABuffer) {
    using namespace std::chrono_literals;
    struct TReading {
        std::chrono::milliseconds At;
        std::int64_t Done;
        bool Running;
        std::int64_t Heard;
    };
    const TReading readings[] = {
        {0ms, 0, true, 0},      {150ms, 0, true, 0},     {210ms, 1, true, 0},
        {260ms, 1, true, 800},  {300ms, 1, false, 1440}, {900ms, 1, false, 1440},
        {950ms, 1, true, 1440}, {1000ms, 1, true, 2240}, {1500ms, 1, true, 3198},
        {1510ms, 2, true, 0},   {1521ms, 2, true, 176},  {1530ms, 3, false, 0},
        {1600ms, 3, false, 0},  {1650ms, 3, true, 0},    {1700ms, 3, true, 800},
    };
    TSmoothClock clock(16, 2);
    const auto start = std::chrono::steady_clock::time_point{} + 1h;
    for (const auto& [at, done, running, heard] : readings)
        EXPECT_EQ(clock.HeardOfCurrentBuffer(done, 3200, running, start + at), heard)
            << at.count() << " ms";
    clock.Reset();
    EXPECT_EQ(clock.HeardOfCurrentBuffer(0, 3200, true, start + 2s), 0);
    EXPECT_EQ(clock.HeardOfCurrentBuffer(0, 3200, true, start + 2100ms), 0) << "after a reset";
}

} // namespace
} // namespace vsr::test
