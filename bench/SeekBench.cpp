// The player's exact seek: composing the picture at a time from the last key frame before it,
// on a 1920 x 1080 recording of two minutes with a key frame every 10 s and a few hundred
// small changed tiles a second between them. Reports the mean and the 95th percentile of one
// seek, over a fixed sequence of times.

#include "BenchRecording.h"
#include "platform/TempFiles.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Drawing.h"
#include "render/KeyFramePictures.h"
#include "render/Snapshot.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <numeric>
#include <random>
#include <vector>

namespace vsr {
namespace {

using bench::cHeight;
using bench::cWidth;
constexpr std::uint32_t cLengthMs = 120000;
constexpr std::uint32_t cSeed = 20240611;

class TSeekRecording {
public:
    TSeekRecording() : FFile(CreateTempFile("vsrseekbench")) {
        bench::WriteBenchRecording(FFile.FileName(), {cLengthMs, 100, 20, 10000, cSeed});
    }
    const std::string& FileName() const { return FFile.FileName(); }

private:
    TTempFile FFile;
};

const TSeekRecording& Recording() {
    static const TSeekRecording recording;
    return recording;
}

// The machine is shared: the thread's own processor time shows the seek's cost without the
// waits for a core that the wall clock also counts.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// Both ways of composing: from the key frame's tiles, and from a held key-frame picture.
template <bool Cached> void ExactSeek(benchmark::State& state) {
    TScreenRecorderPlaybackFile reader(Recording().FileName());
    TBitmap32 bitmap;
    PrepareBitmap(bitmap, cWidth, cHeight);
    std::mt19937 random(cSeed);
    std::uniform_int_distribution<std::uint32_t> times(0, cLengthMs - 1);
    TKeyFramePictures pictures;
    std::vector<double> seekMs;
    std::vector<double> cpuMs;
    std::int64_t records = 0;
    for (auto _ : state) {
        const std::uint32_t time = times(random);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        if constexpr (Cached)
            records += ComposeCached(pictures, reader, time, bitmap).Records;
        else
            records += ComposeAt(reader, time, bitmap).Records;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        seekMs.push_back(took.count());
        cpuMs.push_back(ThreadCpuMs() - cpuStart);
        benchmark::DoNotOptimize(bitmap.Bits());
    }
    if (seekMs.empty())
        return;
    state.counters["mean_ms"] = Mean(seekMs);
    state.counters["p95_ms"] = Percentile(seekMs, 0.95);
    state.counters["max_ms"] = Percentile(seekMs, 1.0);
    state.counters["cpu_mean_ms"] = Mean(cpuMs);
    state.counters["cpu_p95_ms"] = Percentile(cpuMs, 0.95);
    state.counters["records/seek"] =
        static_cast<double>(records) / static_cast<double>(seekMs.size());
}
void BM_ExactSeek(benchmark::State& state) {
    ExactSeek<false>(state);
}
void BM_ExactSeekHeldKeyFrames(benchmark::State& state) {
    ExactSeek<true>(state);
}
BENCHMARK(BM_ExactSeek)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_ExactSeekHeldKeyFrames)->Unit(benchmark::kMillisecond)->Iterations(300);

} // namespace
} // namespace vsr

BENCHMARK_MAIN();
