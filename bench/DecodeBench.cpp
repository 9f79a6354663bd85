// Decoding and composing a whole recording as the playback loop does, without its waits, for
// comparison with other decoders of the same pictures (bench/compare-decoders.sh).
//
//   vsr_bench_decode write FILE [SECONDS [PICTURES_PER_SECOND]]   the benchmarks' recording
//   vsr_bench_decode decode FILE           decode and compose every record; prints CPU seconds
//   vsr_bench_decode frames FILE           every composed picture as raw BGRA to standard output

#include "BenchRecording.h"
#include "audio/SndKitLibrary.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/TileDecoder.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace vsr {
namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Plays every record into bitmap; picture(bitmap) is called once per screen update (records
// of one time), after its last tile.
template <typename TPicture> std::int64_t PlayAll(const std::string& fileName, TPicture picture) {
    TScreenRecorderPlaybackFile reader(fileName);
    TBitmap32 bitmap;
    PrepareBitmap(bitmap, reader.Header().Width, reader.Header().Height);
    TTileDecoder decoder(TileLimitFor(reader.Header().Width, reader.Header().Height));
    TMemoryStream payload;
    std::uint32_t time = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int64_t pictures = 0;
    bool any = false;
    std::uint32_t shownTime = 0;
    while (reader.ReadFrame(time, x, y, payload)) {
        if (any && time != shownTime) {
            picture(bitmap);
            ++pictures;
        }
        any = true;
        shownTime = time;
        decoder.DrawTile(payload, bitmap, x, y);
    }
    if (any) {
        picture(bitmap);
        ++pictures;
    }
    return pictures;
}

int Run(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s write|decode|frames FILE [SECONDS [PICTURES/S]]\n",
                     argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    const std::string file = argv[2];
    if (command == "write") {
        SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
        bench::TBenchContent content;
        content.Voice = true;
        content.LengthMs =
            argc > 3 ? static_cast<std::uint32_t>(std::atoi(argv[3])) * 1000 : 120000;
        content.StepMs = argc > 4 ? 1000 / static_cast<std::uint32_t>(std::atoi(argv[4])) : 125;
        bench::WriteBenchRecording(file, content);
        return 0;
    }
    if (command == "decode") {
        const double start = ProcessCpuSeconds();
        const std::int64_t pictures = PlayAll(file, [](const TBitmap32&) {});
        std::printf("%.3f cpu_s %lld pictures\n", ProcessCpuSeconds() - start,
                    static_cast<long long>(pictures));
        return 0;
    }
    if (command == "frames") {
        PlayAll(file, [](const TBitmap32& bitmap) {
            std::fwrite(bitmap.Bits(), sizeof(TPixel32), bitmap.Pixels().size(), stdout);
        });
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}

} // namespace
} // namespace vsr

int main(int argc, char** argv) {
    try {
        return vsr::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
