// Text index speed: a 1920 x 1080 editor screen of text lines written with the demo's font, a
// line typed at about 8 letters a second, the page scrolling by a line when it is full, two
// pictures a second; the index is built on all cores and its speed told as times real time.
//
//   vsr_bench_index [MINUTES] [FILE]     (default 10 minutes, a file in /tmp)
#include "cli/demo/DemoFont.h"
#include "platform/Stream.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "search/TextIndexer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vsr;

constexpr std::int32_t cWidth = 1920, cHeight = 1080;
constexpr std::int32_t cLine = 24, cTop = 40, cLines = (cHeight - 2 * cTop) / cLine;
constexpr std::uint32_t cStepMs = 500, cLetterMs = 125;

const char* const cWords[] = {"HELLO",   "FRAME", "TOOL",   "START", "TRASH", "HOME", "THE", "FROM",
                              "DESKTOP", "EVERY", "PLAYER", "SAVED", "TEXT",  "LIST", "FILE"};

std::string Line(std::mt19937& random) {
    std::string line;
    while (line.size() < 60)
        line += std::string(cWords[random() % std::size(cWords)]) + " ";
    return line;
}

void Write(const std::string& fileName, std::uint32_t lengthMs) {
    std::mt19937 random(20261207);
    std::vector<std::string> lines;
    TFileStream output(fileName, TFileMode::Create);
    TRecordingOptions options;
    options.Duration = lengthMs;
    options.KeyFrameInterval = 10000;
    TScreenRecorderFileWriter writer(output, cWidth, cHeight, options);
    std::string typing = Line(random);
    std::uint32_t typedAt = 0;
    for (std::uint32_t time = 0; time < lengthMs; time += cStepMs) {
        const std::size_t letters = (time - typedAt) / cLetterMs;
        if (letters >= typing.size()) {
            lines.push_back(typing);
            if (static_cast<std::int32_t>(lines.size()) >= cLines)
                lines.erase(lines.begin());
            typing = Line(random);
            typedAt = time;
        }
        TScreenPicture picture(cWidth, cHeight, 0xFAFAFA);
        cli::demo::FillRect(picture, 0, 0, cWidth, 28, 0x2F5DA8);
        cli::demo::DrawText(picture, 12, 7, "NOTES - BENCH", 2, 0xFFFFFF);
        std::int32_t y = cTop;
        for (const std::string& line : lines) {
            cli::demo::DrawText(picture, 40, y, line, 2, 0x202020);
            y += cLine;
        }
        cli::demo::DrawText(picture, 40, y, typing.substr(0, letters), 2, 0x202020);
        writer.AddPicture(time, picture);
    }
    writer.Finish({});
}

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::stod(argv[1]) : 10;
    const std::string file = argc > 2 ? argv[2] : "/tmp/vsr_bench_index.vsr";
    const auto lengthMs = static_cast<std::uint32_t>(minutes * 60000);
    if (!std::filesystem::exists(file)) {
        std::printf("writing %s (%.1f min, %d x %d)...\n", file.c_str(), minutes, cWidth, cHeight);
        Write(file, lengthMs);
    }
    const std::atomic<bool> cancel = false;
    const auto start = std::chrono::steady_clock::now();
    const TTextIndex index = BuildTextIndex(file, {}, {}, cancel);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string text = FormatTextIndex(index);
    std::printf("recording %.1f MB, %.0f s; index built in %.1f s: %.2fx real time on %u cores; "
                "%zu words, index %.1f KB\n",
                static_cast<double>(std::filesystem::file_size(file)) / 1e6, lengthMs / 1000.0,
                seconds, lengthMs / 1000.0 / seconds, std::thread::hardware_concurrency(),
                index.Words.size(), static_cast<double>(text.size()) / 1024);
}
