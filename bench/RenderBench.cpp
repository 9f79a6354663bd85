// Decoding and composing a whole 1920 x 1080 recording: the playback loop's work per record
// without the waiting. Two measurements: with the reader (inflating the segments) and with
// the payloads already in memory (tile decoding and the blit alone).

#include "platform/TempFiles.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/TileDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vsr {
namespace {

constexpr std::int32_t cWidth = 1920;
constexpr std::int32_t cHeight = 1080;
constexpr std::uint32_t cLengthMs = 4000;
constexpr std::uint32_t cStepMs = 100;

void FillRect(TScreenPicture& picture, std::int32_t x, std::int32_t y, std::int32_t w,
              std::int32_t h, std::uint32_t colour) {
    for (std::int32_t row = y; row < y + h && row < picture.Height; ++row)
        for (std::int32_t column = x; column < x + w && column < picture.Width; ++column)
            picture.At(column, row) = colour;
}

// A desktop-like picture: a gradient, a window, and a block that moves across the screen
// while a text-like area scrolls, so that later pictures change a few dozen tiles each.
TScreenPicture Picture(std::uint32_t time) {
    TScreenPicture picture(cWidth, cHeight);
    for (std::int32_t y = 0; y < cHeight; ++y)
        FillRect(picture, 0, y, cWidth, 1,
                 0x203040u + static_cast<std::uint32_t>(y / 8) * 0x010101u);
    FillRect(picture, 200, 100, 1400, 800, 0xF0F0F0u);
    const auto step = static_cast<std::int32_t>(time / cStepMs);
    for (std::int32_t line = 0; line < 30; ++line)
        FillRect(picture, 240, 140 + line * 24, 200 + ((line + step) * 37) % 900, 12,
                 0x101010u * static_cast<std::uint32_t>((line + step) % 8));
    FillRect(picture, 100 + step * 40, 600, 200, 150, 0xC04020u);
    return picture;
}

class TRecordingFixture {
public:
    TRecordingFixture() : FFile(CreateTempFile("vsrbench")) {
        TRecordingContent content;
        content.Width = cWidth;
        content.Height = cHeight;
        for (std::uint32_t time = 0; time < cLengthMs; time += cStepMs)
            content.Pictures.push_back({time, Picture(time)});
        TRecordingOptions options;
        options.KeyFrameInterval = 1000;
        WriteRecordingFile(FFile.FileName(), content, options);
    }
    const std::string& FileName() const { return FFile.FileName(); }

private:
    TTempFile FFile;
};

const TRecordingFixture& Recording() {
    static const TRecordingFixture fixture;
    return fixture;
}

void Report(benchmark::State& state, std::int64_t records, std::int64_t payloadBytes) {
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["payload_MB/s"] =
        benchmark::Counter(static_cast<double>(payloadBytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["records"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
}

void BM_ReadDecodeCompose(benchmark::State& state) {
    TScreenRecorderPlaybackFile reader(Recording().FileName());
    TBitmap32 bitmap;
    PrepareBitmap(bitmap, cWidth, cHeight);
    TMemoryStream payload;
    TTileDecoder decoder;
    std::int64_t records = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        reader.SeekTime(0);
        std::uint32_t time = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
        while (reader.ReadFrame(time, x, y, payload)) {
            ++records;
            bytes += payload.Size();
            decoder.DrawTile(payload, bitmap, x, y);
        }
        benchmark::DoNotOptimize(bitmap.Bits());
    }
    Report(state, records, bytes);
}
BENCHMARK(BM_ReadDecodeCompose)->Unit(benchmark::kMillisecond);

struct TStoredRecord {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::unique_ptr<TMemoryStream> Payload;
};

void BM_DecodeCompose(benchmark::State& state) {
    std::vector<TStoredRecord> stored;
    {
        TScreenRecorderPlaybackFile reader(Recording().FileName());
        TStoredRecord record{0, 0, std::make_unique<TMemoryStream>()};
        std::uint32_t time = 0;
        while (reader.ReadFrame(time, record.X, record.Y, *record.Payload)) {
            stored.push_back(std::move(record));
            record = {0, 0, std::make_unique<TMemoryStream>()};
        }
    }
    TBitmap32 bitmap;
    PrepareBitmap(bitmap, cWidth, cHeight);
    TTileDecoder decoder;
    std::int64_t records = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (TStoredRecord& record : stored) {
            record.Payload->SetPosition(0);
            decoder.DrawTile(*record.Payload, bitmap, record.X, record.Y);
            bytes += record.Payload->Size();
        }
        records += static_cast<std::int64_t>(stored.size());
        benchmark::DoNotOptimize(bitmap.Bits());
    }
    Report(state, records, bytes);
}
BENCHMARK(BM_DecodeCompose)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vsr

BENCHMARK_MAIN();
