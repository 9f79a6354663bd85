#pragma once
// Helpers of the sound output tests: choosing SDL's audio driver for one test, recording the
// notifications a wave device posts, and pumping the test thread's messages until a
// condition holds.

#include "platform/MessageQueue.h"
#include "platform/WaveDevice.h"
#include "support/Env.h"
#include "support/Pump.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vsr::test {

// SDL's silent real-time driver, also when the tests run outside ctest.
inline std::unique_ptr<TEnvScope> DummySdlAudio() {
    return std::make_unique<TEnvScope>("SDL_AUDIODRIVER", "dummy");
}

// A message target on the test thread that records what it receives.
class TNotificationLog {
public:
    TNotificationLog()
        : FTarget(
              MessageQueue().CreateTarget([this](const TMessage& m) { Messages.push_back(m); })) {}

    TMessageTarget& Target() { return *FTarget; }
    std::vector<int> DoneIndexes() const {
        std::vector<int> indexes;
        for (const TMessage& m : Messages)
            if (m.Msg == cWomDone)
                indexes.push_back(static_cast<int>(m.LParam));
        return indexes;
    }

    std::vector<TMessage> Messages;

private:
    std::unique_ptr<TMessageTarget> FTarget;
};

// The player's format: 8000 Hz, 16-bit mono (16 bytes per millisecond).
inline TWaveFormat PcmFormat(std::uint32_t rate = 8000, std::uint16_t channels = 1,
                             std::uint16_t bits = 16) {
    TWaveFormat format;
    format.Channels = channels;
    format.SamplesPerSec = rate;
    format.BitsPerSample = bits;
    format.BlockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
    format.AvgBytesPerSec = format.BlockAlign * rate;
    return format;
}

// Bytes that differ from their neighbours and are never zero, so that a lost, repeated or
// shifted byte shows, and so does silence.
inline std::vector<std::byte> PatternBytes(std::size_t count, unsigned seed = 1) {
    std::vector<std::byte> bytes(count);
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = std::byte{static_cast<std::uint8_t>((state >> 16) | 1u)};
    }
    return bytes;
}

// Whether a captured output is data after some silence, followed only by silence.
inline bool IsDataInSilence(const std::vector<std::byte>& data, const std::vector<char>& captured) {
    const auto first =
        std::find_if(captured.begin(), captured.end(), [](char c) { return c != 0; });
    if (static_cast<std::size_t>(captured.end() - first) < data.size())
        return false;
    const auto after = first + static_cast<std::ptrdiff_t>(data.size());
    return std::equal(data.begin(), data.end(), first,
                      [](std::byte d, char c) { return d == static_cast<std::byte>(c); }) &&
           std::all_of(after, captured.end(), [](char c) { return c == 0; });
}

} // namespace vsr::test
