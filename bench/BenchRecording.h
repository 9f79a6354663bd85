#pragma once
// The benchmarks' recording: a 1920 x 1080 screen of text-like specks on a light ground, where
// a number of 64 x 16 areas are rewritten at every picture (typing and scrolling text touch
// one to four tiles each), written by the project's writer.

#include "audio/SpxWriter.h"
#include "platform/Stream.h"
#include "recording/ScreenRecorderFileWriter.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vsr::bench {

inline constexpr std::int32_t cWidth = 1920;
inline constexpr std::int32_t cHeight = 1080;

struct TBenchContent {
    std::uint32_t LengthMs = 120000;
    std::uint32_t StepMs = 100; // one picture every StepMs
    int ChangesPerStep = 20;    // 64 x 16 areas rewritten per picture
    std::uint32_t KeyFrameMs = 10000;
    std::uint32_t Seed = 20240611;
    bool Voice = false; // a quiet tone as long as the recording, so that a player plays it
};

// Dark glyph-like specks on a light ground: text that does not compress to nothing.
inline void WriteText(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::int32_t w,
                      std::int32_t h, std::minstd_rand& random) {
    const std::uint32_t ink = random() % 2 ? 0x101010u : 0x2040A0u;
    for (std::int32_t row = y; row < std::min(y + h, picture.Height); ++row)
        for (std::int32_t column = x; column < std::min(x + w, picture.Width); ++column) {
            const bool inCell = (column - x) % 8 < 6 && (row - y) % 12 < 9;
            picture.At(column, row) = inCell && random() % 5 == 0 ? ink : 0xF8F8F0u;
        }
}

inline void WriteBenchRecording(const std::string& fileName, const TBenchContent& content) {
    std::minstd_rand random(content.Seed);
    TScreenPicture picture(cWidth, cHeight);
    WriteText(picture, 0, 0, cWidth, cHeight, random);
    TFileStream output(fileName, TFileMode::Create);
    TRecordingOptions options;
    options.KeyFrameInterval = content.KeyFrameMs;
    TScreenRecorderFileWriter writer(output, cWidth, cHeight, options);
    for (std::uint32_t time = 0; time < content.LengthMs; time += content.StepMs) {
        for (int change = 0; change < content.ChangesPerStep && time > 0; ++change)
            WriteText(picture, static_cast<std::int32_t>(random() % cWidth),
                      static_cast<std::int32_t>(random() % cHeight), 64, 16, random);
        writer.AddPicture(time, picture);
    }
    if (!content.Voice) {
        writer.Finish({});
        return;
    }
    std::vector<std::int16_t> samples(static_cast<std::size_t>(content.LengthMs) * 8);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>((i / 9) % 2 ? 300 : -300); // a 444 Hz square wave
    writer.Finish(TSpxWriter::Encode(samples, {4, 1}));
}

} // namespace vsr::bench
