#include "audio/SpxWriter.h"
#include "cli/Commands.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "shell/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vsr::cli {

namespace {

constexpr std::int32_t cWidth = 640;
constexpr std::int32_t cHeight = 360;
constexpr std::uint32_t cLengthMs = 15000;
constexpr std::uint32_t cStepMs = 100;

void FillRect(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::int32_t w,
              std::int32_t h, std::uint32_t colour) {
    for (std::int32_t row = std::max(0, y); row < std::min(picture.Height, y + h); ++row)
        for (std::int32_t col = std::max(0, x); col < std::min(picture.Width, x + w); ++col)
            picture.At(col, row) = colour;
}

// A desktop with a window, a square bouncing inside it and a progress bar that fills up.
TScreenPicture DemoPicture(std::uint32_t time, std::int32_t& squareX, std::int32_t& squareY) {
    TScreenPicture picture(cWidth, cHeight);
    for (std::int32_t y = 0; y < cHeight; ++y)
        FillRect(picture, 0, y, cWidth, 1,
                 0x102040u + static_cast<std::uint32_t>(y / 3) * 0x010101u);
    FillRect(picture, 60, 40, 520, 260, 0xF0F0F0u);
    FillRect(picture, 60, 40, 520, 24, 0x2050A0u);
    const double t = time / 1000.0;
    squareX = 80 + static_cast<std::int32_t>(std::lround((std::sin(t * 1.3) + 1) * 200));
    squareY = 80 + static_cast<std::int32_t>(std::lround((std::cos(t * 0.9) + 1) * 90));
    FillRect(picture, squareX, squareY, 60, 40, 0xD04020u);
    const auto done = static_cast<std::int32_t>(480LL * time / cLengthMs);
    FillRect(picture, 80, 270, 480, 12, 0xC0C0C0u);
    FillRect(picture, 80, 270, done, 12, 0x30A040u);
    return picture;
}

// A short rising beep at every second, silence between them.
std::vector<std::int16_t> DemoVoice() {
    constexpr int cRate = 8000;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(cLengthMs) * cRate / 1000);
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t second = i / cRate;
        const std::size_t within = i % cRate;
        if (within >= cRate * 3 / 10)
            continue;
        const double frequency = 330.0 + 40.0 * static_cast<double>(second);
        const double t = static_cast<double>(within) / cRate;
        samples[i] =
            static_cast<std::int16_t>(std::lround(6000 * std::sin(2 * pi * frequency * t)));
    }
    return samples;
}

TRecordingContent DemoContent() {
    TRecordingContent content;
    content.Width = cWidth;
    content.Height = cHeight;
    for (std::uint32_t time = 0; time < cLengthMs; time += cStepMs) {
        std::int32_t x = 0;
        std::int32_t y = 0;
        content.Pictures.push_back({time, DemoPicture(time, x, y)});
        content.Cursors.push_back(
            {time, static_cast<std::uint16_t>(x + 30), static_cast<std::uint16_t>(y + 20)});
    }
    content.SoundTrack = TSpxWriter::Encode(DemoVoice());
    return content;
}

} // namespace

int DemoCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string output = TakeOption(args, "-o");
    if (output.empty() || !args.empty())
        throw EUsage{"demo needs -o OUT.vsr and nothing else"};
    TRecordingOptions options;
    options.Duration = cLengthMs;
    const TRecordingLayout layout = WriteRecordingFile(output, DemoContent(), options);
    std::printf("%s\n", Format("Wrote %s: %d bytes, %d key frames", output, layout.Size,
                               layout.KeyFrames.size())
                            .c_str());
    return 0;
}

} // namespace vsr::cli
