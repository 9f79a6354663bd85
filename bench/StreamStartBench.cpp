// Time to the first picture of a streamed recording on a slow line: the player (a process of
// its own, offscreen, with its trace in a file) streams the benchmark recording from the
// tests' server, whose answers together send at most RATE bytes a second. The time runs from
// the server's first request to the trace's first drawn tile, and is set against what the
// start needs at that rate: the information and header answers, the last part without the
// voice's frames (index, pointer track, overlay, the voice's header and silence table), the
// voice to key-frame segment 0's end and the stream's lead, and key-frame segment 0.
//
//   vsr_bench_stream_start [RATE_BYTES_PER_S [RUNS [LENGTH_S [KEY_FRAME_S [script|ranges]]]]]
// "ranges" serves the recording as a static web server does, to an http:// address of the file
// (the first answer then brings the size and the header together).
// With VSR_BENCH_TIMELINE set, every run's trace lines are printed with the time they appeared.
#include "BenchRecording.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxStream.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/ScreenRecorderPlaybackStream.h"
#include "recording/SoundTrackRange.h"
#include "support/Recordings.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vsr::bench {
namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(TClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// What the start needs. The answers add "OK|size|crc|", "OK|" and the 72 header bytes, and
// "OK|" a block (left out: a few bytes a request).
struct TStartBytes {
    std::int64_t LastPartHead = 0; // the last part less the voice's frames
    std::int64_t Voice = 0;        // of the voice's frames
    std::int64_t VoiceFrames = 0;  // all of them, which the start once waited for
    std::int64_t Segment0 = 0;
    bool Ranges = false; // one answer brings size and header
    std::int64_t Total() const {
        return (Ranges ? 72 : 16 + 3 + 72) + LastPartHead + Voice + Segment0;
    }
};

TStartBytes StartBytes(const std::string& fileName, std::int64_t fileSize) {
    TScreenRecorderPlaybackFile file(fileName);
    const TVSRHeader& header = file.Header();
    const std::size_t segments = file.KeyFrames().Count();
    const std::int64_t segment0End =
        segments > 1 ? file.KeyFrames()[1].Offset : header.KeyFrameIndexOffset;
    TFileStream bytes(fileName, TFileMode::OpenRead);
    const TSoundTrackRange range = LocateSoundTrack(bytes, header.AudioOffset);
    const TSpxStream voice(fileName, TFileMode::OpenRead, TSpxSilences::Load,
                           {range.Offset, range.Bytes()});
    const TSpxTimeline& timeline = voice.Timeline();
    const std::int64_t frames = timeline.DataEnd() - timeline.DataStart();
    const std::int64_t startTime =
        std::int64_t{file.KeyFrameTime(1)} + TScreenRecorderPlaybackStream::VoiceLeadMs;
    const std::int64_t startVoice =
        segments > 1 ? timeline.DataNeededFor(startTime * 16) - timeline.DataStart() : frames;
    return {fileSize - header.KeyFrameIndexOffset - frames, startVoice, frames, segment0End - 72};
}

// One request and its whole answer on a fresh connection: the line's round trip without pacing.
double RoundTripMs(int port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = TClock::now();
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n";
        (void)!::write(fd, request.data(), request.size());
        char buffer[4096];
        while (::read(fd, buffer, sizeof(buffer)) > 0) {
        }
    }
    ::close(fd);
    return Ms(TClock::now() - start);
}

struct TRun {
    double FirstPictureMs = 0;
    std::size_t Requests = 0; // made before the first picture
};

TRun StreamOnce(const std::string& url, test::TFaultServer& server,
                const std::atomic<std::int64_t>& firstRequestNs, test::TTempDir& home) {
    const std::string trace = home.File("trace.txt");
    std::filesystem::remove(trace);
    test::TChildProcess player(
        VSR_PLAYER_PATH, {url},
        {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy", "VSR_TRACE=" + trace,
         "HOME=" + home.Path().string(), "XDG_DATA_HOME=" + home.File("data"),
         "XDG_CONFIG_HOME=" + home.File("config"), "XDG_RUNTIME_DIR=" + home.Path().string(),
         "TMPDIR=" + home.Path().string()});
    std::string seen;
    const auto deadline = TClock::now() + 120s;
    TClock::time_point shown{};
    std::vector<std::pair<TClock::time_point, std::size_t>> timeline; // when lines appeared
    while (TClock::now() < deadline) {
        std::ifstream in(trace);
        seen.assign(std::istreambuf_iterator<char>(in), {});
        timeline.emplace_back(TClock::now(), seen.size());
        if (seen.find("\nImg: ") != std::string::npos) {
            shown = TClock::now();
            break;
        }
        std::this_thread::sleep_for(1ms);
    }
    if (std::getenv("VSR_BENCH_TIMELINE")) {
        const TClock::time_point first{std::chrono::nanoseconds(firstRequestNs.load())};
        std::size_t printed = 0;
        for (const auto& [when, size] : timeline)
            if (size > printed) {
                std::printf("%8.1f ms  %s", Ms(when - first),
                            seen.substr(printed, size - printed).c_str());
                printed = size;
            }
    }
    const std::size_t requests = server.Targets().size();
    player.Signal(SIGTERM);
    player.Wait(30s);
    if (shown == TClock::time_point{})
        throw std::runtime_error("no picture within two minutes; the trace:\n" + seen);
    const TClock::time_point first{std::chrono::nanoseconds(firstRequestNs.load())};
    return {Ms(shown - first), requests};
}

int Run(int argc, char** argv) {
    const std::int64_t rate = argc > 1 ? std::atoll(argv[1]) : 2'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    TBenchContent content;
    content.LengthMs = static_cast<std::uint32_t>(argc > 3 ? std::atoi(argv[3]) : 120) * 1000;
    content.KeyFrameMs = static_cast<std::uint32_t>(argc > 4 ? std::atoi(argv[4]) : 10) * 1000;
    const bool ranges = argc > 5 && std::string(argv[5]) == "ranges";
    content.Voice = true;
    SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
    test::TTempDir folder;
    std::filesystem::create_directories(folder.File("rec"));
    const std::string fileName = folder.File("rec/bench.vsr");
    WriteBenchRecording(fileName, content);
    const std::vector<std::byte> bytes = test::ReadFileBytes(fileName);
    const auto fileSize = static_cast<std::int64_t>(bytes.size());
    TStartBytes start = StartBytes(fileName, fileSize);
    start.Ranges = ranges;
    const std::int64_t needed = start.Total();

    std::atomic<std::int64_t> firstRequestNs = 0;
    test::TFaultServer server([&](const test::TFaultRequest& request) {
        std::int64_t none = 0;
        firstRequestNs.compare_exchange_strong(
            none, std::chrono::nanoseconds(TClock::now().time_since_epoch()).count());
        // The round trip below asks the script's information request in both modes.
        return ranges && request.Target.starts_with("/rec/bench.vsr")
                   ? test::ServeRange(bytes, request)
                   : test::ServeRecording(bytes, request);
    });
    const std::string target = "/rec/vsr_download.php?fname=rec/bench.vsr&flag=-1";
    double roundTrip = 1e9;
    for (int i = 0; i < 20; ++i)
        roundTrip = std::min(roundTrip, RoundTripMs(server.Port(), target));
    server.SetLinkRate(rate);

    const double minimumMs = 1000.0 * static_cast<double>(needed) / static_cast<double>(rate);
    std::printf("recording %.1f MB, %u s at 1920 x 1080; the start needs %.0f KB "
                "(%.1f%% of the file); line %.2f MB/s, round trip %.2f ms\n",
                static_cast<double>(fileSize) / 1e6, content.LengthMs / 1000,
                static_cast<double>(needed) / 1e3,
                100.0 * static_cast<double>(needed) / static_cast<double>(fileSize),
                static_cast<double>(rate) / 1e6, roundTrip);
    std::printf("last part %.1f KB without the voice's frames, of which the start needs %.0f KB "
                "of %.0f KB; key-frame segment 0 %.0f KB; minimum at that rate %.0f ms (%.0f ms "
                "with all of the voice)\n",
                static_cast<double>(start.LastPartHead) / 1e3,
                static_cast<double>(start.Voice) / 1e3,
                static_cast<double>(start.VoiceFrames) / 1e3,
                static_cast<double>(start.Segment0) / 1e3, minimumMs,
                minimumMs + 1000.0 * static_cast<double>(start.VoiceFrames - start.Voice) /
                                static_cast<double>(rate));
    std::vector<double> ratios;
    test::TTempDir home;
    for (int run = 0; run < runs; ++run) {
        firstRequestNs = 0;
        const std::size_t before = server.Targets().size();
        const std::string address = (ranges ? "http://127.0.0.1:" : "vsrfile://127.0.0.1:") +
                                    std::to_string(server.Port()) + "/rec/bench.vsr";
        const TRun result = StreamOnce(address, server, firstRequestNs, home);
        const std::size_t requests = result.Requests - before;
        const double bound = minimumMs + static_cast<double>(requests) * roundTrip;
        ratios.push_back(result.FirstPictureMs / bound);
        std::printf("run %d: first picture after %.0f ms, %zu requests, %.2f x (minimum + a round "
                    "trip a request)\n",
                    run + 1, result.FirstPictureMs, requests, ratios.back());
    }
    std::ranges::sort(ratios);
    std::printf("median %.2f x, worst %.2f x\n", ratios[ratios.size() / 2], ratios.back());
    return 0;
}

} // namespace
} // namespace vsr::bench

int main(int argc, char** argv) {
    try {
        return vsr::bench::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
