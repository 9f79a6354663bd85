// Streaming: addresses and requests, and the streaming reader's two workers against a
// fault-injecting server: what becomes available while it downloads, the answers it refuses or
// retries, and destruction while the workers wait.
#include "recording/RangeRequests.h"
#include "recording/ScreenRecorderPlaybackStream.h"
#include "shell/Format.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
#include "support/LocalServer.h"
#include "support/Pump.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

#include <array>
#include <ranges>
#include <set>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(StreamProtocol, AddressesSizesAndBlockSizes) {
    // Address, the script's address and the file name (no script: no streaming address), and
    // whether the file itself is asked for by ranges first.
    const std::tuple<std::string, std::string, std::string, bool> cases[] = {
        {"vsrfile://S/m/d/show.vsr", "http://S/m/d/vsr_download.php", "m/d/show.vsr", false},
        {"http://S/show.VSR", "http://S/vsr_download.php", "show.VSR", true},
        {"https://S:8443/m/show.vsr", "https://S:8443/m/vsr_download.php", "m/show.vsr", true},
        {"https://S/m/show.vsr?X-Sig=a/b.c", "https://S/m/show.vsr%3FX-Sig=a/vsr_download.php",
         "m/show.vsr?X-Sig=a/b.c", true},
        {"http://S/show.vsr.txt", "http://S/vsr_download.php", "show.vsr.txt", false},
        {"vsrfile://show.vsr", "http://vsr_download.php", "show.vsr", false}, // all is the name
        // only the script's address encodes what an address cannot carry
        {"vsrfile://S/f #1?/a&b+c%41/x y.vsr", "http://S/f%20%231%3F/a&b+c%41/vsr_download.php",
         "f #1?/a&b+c%41/x y.vsr", false},
        {"VSRFILE://S/a.vsr", "", "", false},
        {"vsrfile:/", "", "", false}};
    for (const auto& [address, script, file, ranges] : cases) {
        const auto got = IsStreamAddress(address) ? SplitStreamAddress(address) : TStreamAddress{};
        EXPECT_EQ(std::tuple(got.ServerURL + " " + got.RemoteFileName, IsRangeAddress(address)),
                  std::tuple(script + " " + file, ranges))
            << address;
    }
    // A range is taken only whole and inside a known total.
    const auto range = [](std::string_view text) {
        const auto got = ParseContentRange(text);
        return got ? Format("%d-%d/%d", got->From, got->To, got->Total) : "none";
    };
    EXPECT_EQ(std::tuple(range("bytes 0-71/100"), range("bytes 5-4/9"), range("bytes 0-9/*"),
                         range("bytes 0-9/9"), range("bytes -1-2/9"), range("items 0-1/9")),
              std::tuple("0-71/100", "none", "none", "none", "none", "none"));
    EXPECT_EQ(EncodeQueryValue("m/show-1_(a).vsr a&b#c%d+e?f\x01\x7F\xC3\xA9"),
              "m/show-1_(a).vsr%20a%26b%23c%25d%2Be%3Ff%01%7F%C3%A9");
    EXPECT_EQ(std::tuple(SizeText(1023), SizeText(1536), SizeText(1572864), SizeText(5368709120)),
              std::tuple("1023 B", "1.50 KB", "1.50 MB", "5.00 GB"));
    // A block size takes ten seconds at the rate just seen; a 0 ms request gives no rate.
    TStreamBlockSize size;
    const std::tuple<std::int64_t, int, std::int64_t> steps[] = {
        {72, 0, 32768}, {100, 1000, 4096}, {10'000'000, 1, 4194304}, {300000, 1000, 3000000}};
    for (const auto& [bytes, ms, next] : steps) {
        size.Adapt(bytes, std::chrono::milliseconds(ms));
        EXPECT_EQ(size.Bytes(), next) << bytes << " in " << ms;
    }
}

// Streams "rec/a b&c.vsr" (whose name must be percent-encoded in a query) from a fault server
// that answers as the script would unless a test's fault says otherwise.
class StreamDownload : public ::testing::Test {
protected:
    // keyFrames key frames a second apart of noisy 96 x 64 pictures (segments of roughly
    // 12 KiB), cursor entries and a voice track of 20000 pattern bytes; laid out as an SPX
    // stream (header, 20000 bytes of frames, an empty silence table) when spx.
    void WriteRecording(std::uint32_t keyFrames, bool spx = false) {
        TRecordingContent content{96, 64, {}, {}, {}, {}};
        for (std::uint32_t i = 0; i < keyFrames; ++i) {
            content.Pictures.push_back({i * 1000, NoisePicture(96, 64, i)});
            content.Pictures.push_back({i * 1000 + 500, NoisePicture(96, 64, i + 1000)});
            content.Cursors.push_back(
                {i * 1000 + 1, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(2 * i)});
        }
        auto& voice = content.SoundTrack;
        if (spx) {
            voice = Bytes("SPX1.1");
            for (const std::int32_t field : {1, 8000, 6, 10})
                Put(voice, field);
        }
        for (std::size_t i = 0; i < 20000; ++i)
            voice.push_back(static_cast<std::byte>(i * 31 + 7));
        if (spx) {
            Put(voice, std::int32_t{0});
            Put(voice, std::int64_t{22 + 20000});
        }
        fs::create_directories(FDir.Path() / "rec");
        TRecordingOptions options;
        options.KeyFrameInterval = 1000; // each whole second opens a segment
        FLayout = WriteRecordingFile(FDir.File(FName), content, options);
        FBytes = ReadFileBytes(FDir.File(FName));
    }
    void Serve(std::function<std::optional<TFaultReply>(const TFaultRequest&)> fault) {
        FServer = std::make_unique<TFaultServer>([this, fault](const TFaultRequest& request) {
            return fault(request).value_or(ServeRecording(FBytes, request));
        });
    }
    // The recording by the script's protocol, or else at address.
    std::unique_ptr<TScreenRecorderPlaybackStream> Start(std::chrono::milliseconds timeout,
                                                         std::string address = {}) {
        if (address.empty())
            address = "vsrfile" + FServer->BaseURL().substr(4) + FName;
        auto stream = std::make_unique<TScreenRecorderPlaybackStream>(address);
        FTrace.Clear();
        stream->OnLastPartStarted = [](auto&) { Trace("event: started"); };
        stream->OnLastPartProgress = [](auto&) { Trace("event: last progress"); };
        stream->OnFirstPartProgress = [](auto&) { Trace("event: first progress"); };
        stream->OnLastPartFinished = [](auto&) { Trace("event: last finished"); };
        stream->OnFirstPartFinished = [](auto&) { Trace("event: first finished"); };
        stream->OnLastPartError = [](auto&, auto& text) { Trace("event: last error: " + text); };
        stream->OnFirstPartError = [](auto&, auto& text) { Trace("event: first error: " + text); };
        stream->SetRequestTimeout(timeout);
        stream->StartDownload();
        return stream;
    }
    // Events that start with prefix (errors are "name: text"); all of them for an empty one.
    int Count(const std::string& prefix) const {
        const auto starts = [&](auto& line) { return line.starts_with("event: " + prefix); };
        return static_cast<int>(std::ranges::count_if(FTrace.Lines(), starts));
    }
    static bool IsBlockAt(const TFaultRequest& request, std::int64_t from, std::int64_t to) {
        const std::int64_t position = request.QueryNumber("position");
        return request.Query("flag") == "1" && position >= from && position < to;
    }
    int BlockRequestsAt(std::int64_t position) const {
        const auto at = [&](auto& target) {
            return IsBlockAt({target, {}}, position, position + 1);
        };
        return static_cast<int>(std::ranges::count_if(FServer->Targets(), at));
    }

    TWatchdog FWatchdog{std::chrono::seconds(120)};
    const std::string FName = "rec/a b&c.vsr";
    TTempDir FDir;
    TRecordingLayout FLayout;
    std::vector<std::byte> FBytes;
    std::unique_ptr<TFaultServer> FServer;
    TCaptureTracer FTrace; // the stream's trace lines, and its events as "event: name[: text]"
};

TEST_F(StreamDownload, KeyFramesBecomeAvailableAsTheFirstPartArrives) {
    WriteRecording(12);
    // The first last-part block, the first first-part block and the later ones wait for their
    // gates, which the server keeps as long as it needs them.
    const auto gates = std::make_shared<std::array<std::atomic<bool>, 3>>();
    const std::int64_t index = FLayout.KeyFrameIndexOffset;
    Serve([this, gates, index](const TFaultRequest& request) {
        TFaultReply reply = ServeRecording(FBytes, request);
        const std::int64_t position = request.QueryNumber("position");
        const std::size_t gate = position == index ? 0 : position == 72 ? 1 : 2;
        if (IsBlockAt(request, 72, index + 1))
            reply.ReadyWhen = [gates, gate] { return (*gates)[gate].load(); };
        return std::optional(reply);
    });
    auto stream = Start(30s);
    const auto seekErrors = [&] {
        return ErrorOf([&] { stream->SeekTime(0); }) + "; " +
               ErrorOf([&] { stream->SeekKeyFrame(true); });
    };
    ASSERT_TRUE(PumpUntil([&] { return Count("started") == 1; }));
    PumpFor(100ms);
    EXPECT_EQ(FServer->Targets()[0], "/rec/vsr_download.php?fname=rec/a%20b%26c.vsr&flag=-1");
    const std::string refused(sVSRStreamCantSeekNow);
    // Until the index has arrived the whole file makes 100 %.
    EXPECT_EQ(std::tuple(stream->LastAvailableKeyFrame(), stream->FirstPartNeeded(),
                         stream->Progress(), seekErrors()),
              std::tuple(-1, stream->FileSize(), 0, refused + "; " + refused));
    (*gates)[0] = true;
    ASSERT_TRUE(PumpUntil([&] { return Count("last finished") == 1; }));
    // The start needs key-frame segment 0 of the first part; no frame data is there yet.
    EXPECT_EQ(std::tuple(stream->KeyFrames().Count(), stream->Cursors().Count(),
                         stream->FirstPartNeeded(), stream->LastAvailableKeyFrame(),
                         stream->Progress() < 100),
              std::tuple(12, 12, FLayout.KeyFrames[1].Offset - 72, -1, true));
    (*gates)[1] = true;
    ASSERT_TRUE(PumpUntil([&] { return Count("first progress") == 1; }));
    // The segments wholly inside the first block of 32768 bytes: up to the one before the
    // segment that starts last in it.
    const auto inFirstBlock = [](auto& entry) { return entry.Offset <= 72 + 32768; };
    const auto complete = std::ranges::count_if(FLayout.KeyFrames, inFirstBlock) - 2;
    EXPECT_EQ(std::tuple(stream->LastAvailableKeyFrame(), stream->FirstPartDone(), seekErrors()),
              std::tuple(complete, false, "no error; no error"));
    (*gates)[2] = true;
    ASSERT_TRUE(PumpUntil([&] { return Count("first finished") == 1; }));
    EXPECT_EQ(std::tuple(stream->LastAvailableKeyFrame(), stream->Progress(),
                         ReadFileBytes(stream->FileName()) == FBytes),
              std::tuple(11, 100, true));
}

// With a voice map, the voice's frames wait for it, then come as far as the start needs
// (segment 0's end and a lead of 5 s), and the rest once playback may start; the first part
// fetches nothing beyond segment 0 until the start's voice is there, and the last part (and so
// seeking) completes while the pictures are still on their way (the server holds them).
TEST_F(StreamDownload, TheVoiceComesAsTheStartNeedsItAndThenWhole) {
    WriteRecording(12, true);
    // The voice's frames; their last 20 bytes come with the last 32 bytes of the file.
    const std::int64_t voice = FLayout.AudioOffset + 22, voiceEnd = voice + 20000;
    const std::int64_t segment0End = FLayout.KeyFrames[1].Offset;
    auto picturesReleased = std::make_shared<std::atomic<bool>>(false);
    Serve([&, picturesReleased](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (!IsBlockAt(request, segment0End, FLayout.KeyFrameIndexOffset))
            return std::nullopt;
        TFaultReply reply = ServeRecording(FBytes, request);
        reply.ReadyWhen = [picturesReleased] { return picturesReleased->load(); };
        return reply;
    });
    auto stream = std::make_unique<TScreenRecorderPlaybackStream>(
        "vsrfile" + FServer->BaseURL().substr(4) + FName);
    stream->OnLastPartHeadArrived = [](auto&) {};
    stream->StartDownload();
    // The ends of the requests that start in [from, to), in order.
    const auto requestEnds = [&](std::int64_t from, std::int64_t to) {
        std::vector<std::int64_t> ends;
        for (const std::string& target : FServer->Targets())
            if (const TFaultRequest request{target, {}}; IsBlockAt(request, from, to))
                ends.push_back(request.QueryNumber("position") + request.QueryNumber("size"));
        return ends;
    };
    ASSERT_TRUE(PumpUntil([&] { return stream->HeadArrived(); }));
    PumpFor(200ms);
    // The first part's first request may go out before the index has arrived (one block);
    // none starts beyond segment 0 before the start's voice is there.
    EXPECT_EQ(std::tuple(requestEnds(voice, voiceEnd - 32).size(), stream->MayStart(),
                         stream->Cursors().Count(),
                         requestEnds(segment0End, FLayout.KeyFrameIndexOffset).size()),
              std::tuple(0u, false, 12, 0u));
    stream->SetVoiceMap([](std::uint32_t time) { return 22 + std::int64_t{time}; }); // 1 B/ms
    ASSERT_TRUE(PumpUntil([&] { return stream->KeyFramesKnown(); }));
    EXPECT_EQ(std::tuple(requestEnds(voice, voiceEnd - 32).front(), stream->VoiceArrived(),
                         stream->MayStart(), stream->FirstPartDone()),
              std::tuple(voice + 1000 + 5000, std::ssize(FBytes), true, false));
    *picturesReleased = true;
    ASSERT_TRUE(PumpUntil([&] { return stream->FirstPartDone(); }));
    EXPECT_TRUE(PumpUntil([&] { return ReadFileBytes(stream->FileName()) == FBytes; }));
}

// A static web server serves the recording by ranges, directly and through a redirect; a file
// it does not have is reported missing once its folder has no script either.
TEST_F(StreamDownload, ByRangesFromAStaticWebServer) {
    if (!TNginxServer::Available())
        GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh installs nginx-light)";
    WriteRecording(12, true);
    const TNginxServer nginx(FDir.Path().string(),
                             "    location /moved/ { rewrite ^/moved/(.*)$ /rec/$1 redirect; }");
    for (const std::string& path :
         {FName, std::string("moved/a b&c.vsr"), std::string("rec/missing.vsr")}) {
        auto stream = Start(30s, nginx.BaseURL() + path);
        ASSERT_TRUE(PumpUntil([&] { return Count("first finished") + Count("last error") > 0; }));
        if (path.ends_with("missing.vsr")) {
            // The first part's worker may still trace its start after the error.
            EXPECT_EQ(Count("last error: File not found on server"), 1);
            continue;
        }
        ASSERT_TRUE(PumpUntil([&] { return Count("last finished") == 1; })) << path;
        EXPECT_EQ(std::tuple(stream->ByRanges(), ReadFileBytes(stream->FileName()) == FBytes,
                             stream->KeyFrames().Count()),
                  std::tuple(true, true, 12))
            << path;
    }
}

// Broken or unusual answers of a server that serves the file itself, and what the stream makes
// of them: ranges, the file taken whole from the first answer, the script at the same folder,
// or the error reported. A changed file is found only through the If-Range sent.
TEST_F(StreamDownload, ByRangesTheAnswersDecideAndAChangedFileIsReported) {
    WriteRecording(4);
    using TFault = std::function<std::optional<TFaultReply>(const TFaultRequest&, int request)>;
    const auto redirect = [](int count) -> TFault {
        return [count](const TFaultRequest& request, int) -> std::optional<TFaultReply> {
            const auto hop = request.QueryNumber("hop");
            if (hop >= count || !request.Target.starts_with("/rec/a.vsr"))
                return std::nullopt;
            TFaultReply reply = TFaultReply::Answer(302, "");
            reply.Headers =
                "Location: /rec/a.vsr?sig=x%2By&hop=" + std::to_string(hop + 1) + "\r\n";
            return reply;
        };
    };
    // Requests of the file from the one numbered `from` on get reply(request).
    const auto from = [](int from, auto reply) -> TFault {
        return [=](const TFaultRequest& r, int n) -> std::optional<TFaultReply> {
            return n >= from && r.Target.starts_with("/rec/a.vsr") ? std::optional(reply(r))
                                                                   : std::nullopt;
        };
    };
    const auto answer = [](int status, std::string body) {
        return [=](auto&) { return TFaultReply::Answer(status, body); };
    };
    const std::string file(reinterpret_cast<const char*>(FBytes.data()), FBytes.size());
    std::vector<std::byte> longer = FBytes;
    longer.resize(longer.size() + 10);
    const auto shortRanges = [this](const TFaultRequest& r) { // at most 1000 bytes an answer
        const std::string range = r.Header("Range");
        const std::int64_t first = std::atoll(range.c_str() + 6);
        const std::int64_t last = std::atoll(range.c_str() + range.find('-') + 1);
        TFaultRequest shorter = r;
        shorter.Headers = Format("\r\nRange: bytes=%d-%d\r\n", first, std::min(last, first + 999));
        return ServeRange(FBytes, shorter);
    };
    const std::pair<TFault, std::string> cases[] = {
        {{}, "ranges"},
        {redirect(5), "ranges"},
        {redirect(6), "script"},
        {[](auto&, int n) { // a 206 without Content-Range
             return n == 0 ? std::optional(TFaultReply::Answer(206, std::string(72, 'x')))
                           : std::nullopt;
         },
         "script"},
        {from(0, answer(200, file)), "whole"}, // no ranges, a small file
        {from(0, answer(200, std::string(TRangeRequests::WholeFileLimit + 1, 'x'))), "script"},
        {from(1, shortRanges), "ranges"},
        {from(3, [&](auto& r) { return ServeRange(FBytes, r, "\"v2\""); }),
         std::string(sVSRStreamChanged)},
        {from(3, [&](auto& r) { return ServeRange(longer, r); }), std::string(sVSRStreamChanged)},
        {from(3, answer(404, "")), std::string(sVSRStreamNotFound)},
    };
    std::atomic<int> requests = 0;
    for (const auto& [fault, want] : cases) {
        // The last case's server may still be answering: it ends before its count is reset.
        FServer.reset();
        requests = 0;
        Serve([&](const TFaultRequest& request) -> std::optional<TFaultReply> {
            const int n = requests++;
            if (std::optional<TFaultReply> reply = fault ? fault(request, n) : std::nullopt)
                return reply;
            return request.Target.starts_with("/rec/a.vsr") ? ServeRange(FBytes, request)
                                                            : ServeRecording(FBytes, request);
        });
        auto stream = Start(30s, FServer->BaseURL() + "rec/a.vsr");
        const auto error = [&] {
            const auto lines = FTrace.Lines();
            const auto line = std::ranges::find_if(
                lines, [](auto& l) { return l.find(" error: ") != std::string::npos; });
            return line == lines.end() ? std::string() : line->substr(line->find(" error: ") + 8);
        };
        ASSERT_TRUE(PumpUntil([&] {
            return Count("last finished") + Count("first finished") == 2 || !error().empty();
        })) << want;
        const std::string outcome = !error().empty()                              ? error()
                                    : ReadFileBytes(stream->FileName()) != FBytes ? "damaged"
                                    : !stream->ByRanges()                         ? "script"
                                    : requests == 1                               ? "whole"
                                                                                  : "ranges";
        EXPECT_EQ(outcome, want) << &fault - &cases[0].first;
    }
}

// Which requests a fault breaks.
enum TPick { Information, Header, LastPart, FirstPart, Blocks };

TEST_F(StreamDownload, FaultyAnswersAreRefusedOrRetriedAndReportedOnce) {
    WriteRecording(4);
    const std::int64_t index = FLayout.KeyFrameIndexOffset;
    using TChange = std::function<TFaultReply(TFaultReply served)>;
    const auto answer = [](int status, std::string body) -> TChange {
        return [=](auto) { return TFaultReply::Answer(status, body); };
    };
    const TChange silent = [](auto) { return TFaultReply::Silent(); };
    const std::string timeout(sVSRStreamConnectionTimeout), notConfigured(sVSRStreamNotConfigured),
        invalid(sInvalidSRFile), unexpected = "Unexpected response from server: ";
    auto seen = std::make_shared<std::set<std::string>>(); // on the server's thread only
    // What breaks, how, the error of the part that fails (none: the download completes) and the
    // requests for the block at the key-frame index (at 72 for the first part; -1: any).
    const std::tuple<TPick, TChange, std::string, int> cases[] = {
        {Information, answer(302, "OK|10|1|"), notConfigured, -1}, // status before the body
        {Information, answer(500, "OK|10|1|"), notConfigured, -1},
        {Information, answer(204, ""), timeout, -1},
        {Information, silent, timeout, -1},
        {Information, answer(200, "ERR"), unexpected + "ERR", -1},
        {Information, answer(200, "OK|1000"), "'' is not a valid integer value", -1}, // no checksum
        {Information, answer(200, "OK|" + std::to_string(index) + "|1|"), invalid, -1}, // ends too soon
        {Header, answer(200, "OK|VSR2.0" + std::string(66, '\0')), invalid, -1},
        {Header, answer(200, "OK|VSR2.1" + std::string(65, '\0')), invalid, -1},
        {LastPart, answer(200, "OK|"), "Server returned no data", 1}, // not retried
        {LastPart, [](auto r) { return r.Body += 'x', r; }, "Server returned too much data", 3},
        {LastPart, answer(200, "NO|12345"), unexpected + "NO|12345", 3},
        {LastPart, answer(404, "OK|12345"), timeout, 3},
        {LastPart, silent, timeout, 3},
        {LastPart, [](auto r) { return TFaultReply::ResetMidBody(r.Body, 20); }, timeout, 3},
        {FirstPart, answer(200, "ERR"), unexpected + "ERR", 3}, // reported: playback would wait
        // each block's first transfer breaks off; half of each answer is missing
        {Blocks, [seen](auto r) { return seen->insert(r.Body).second ? TFaultReply::ResetMidBody(r.Body, 9) : r; }, "", 2},
        {Blocks, [](auto r) { return r.Body.resize((r.Body.size() + 3) / 2), r; }, "", -1}};
    const std::pair<std::int64_t, std::int64_t> ranges[] = {
        {0, 0}, {0, 1}, {index, INT64_MAX}, {72, index}, {72, INT64_MAX}};
    for (const auto& [pick, change, error, requests] : cases) {
        SCOPED_TRACE(std::to_string(pick) + " " + error);
        Serve([&](const TFaultRequest& r) -> std::optional<TFaultReply> {
            const bool broken = pick == Information
                                    ? IsInformationRequest(r)
                                    : IsBlockAt(r, ranges[pick].first, ranges[pick].second) &&
                                          r.QueryNumber("size") > 1;
            return broken ? std::optional(change(ServeRecording(FBytes, r))) : std::nullopt;
        });
        auto stream = Start(change({}).Kind == TFaultReply::TKind::Silent ? 300ms : 10s);
        const std::string part = pick == FirstPart ? "first error" : "last error";
        const auto done = [&] {
            return error.empty() ? Count("first finished") && Count("last finished") : Count(part);
        };
        ASSERT_TRUE(PumpUntil(done, 30s));
        PumpFor(150ms); // time for requests that must not come
        // Until the header is verified the first part waits for its signal.
        EXPECT_EQ(std::tuple(Count(part + ": " + error), Count("started"),
                             pick > Header || BlockRequestsAt(72) == 0),
                  std::tuple(error.empty() ? 0 : 1, pick > Header ? 1 : 0, true));
        EXPECT_TRUE(requests < 0 || (BlockRequestsAt(pick == FirstPart ? 72 : index) == requests &&
                                     (pick != Blocks || BlockRequestsAt(72) == requests)));
        const bool lastFailed = !error.empty() && pick != FirstPart;
        EXPECT_EQ(std::tuple(FTrace.Contains("Download last part end"), Count("last finished"),
                             Count("last progress") > 0, stream->LastAvailableKeyFrame()),
                  std::tuple(true, lastFailed ? 0 : 1, !lastFailed, error.empty() ? 3 : -1));
        // The first part runs on while a failing last part still downloads blocks.
        EXPECT_TRUE(pick == LastPart || (stream->FirstPartDone() == error.empty() &&
                                         Count("first finished") == error.empty()));
        EXPECT_TRUE(!error.empty() ||
                    (stream->FirstPartNeeded() == FLayout.KeyFrames[1].Offset - 72 &&
                     ReadFileBytes(stream->FileName()) == FBytes));
    }
}

// Threads of this process.
std::size_t ThreadCount() {
    const auto tasks = fs::directory_iterator("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST_F(StreamDownload, DestructionWhileWorkersWaitEndsThemQuietly) {
    WriteRecording(4);
    // Requests left unanswered, and how many requests come before the stream is destroyed: the
    // last part waits for the information and the first part for its signal; both wait for blocks.
    const std::pair<std::function<bool(const TFaultRequest&)>, std::size_t> cases[] = {
        {IsInformationRequest, 1}, {[](auto& r) { return IsBlockAt(r, 1, INT64_MAX); }, 4}};
    for (const auto& [unanswered, requests] : cases) {
        Serve([&](auto& r) {
            return unanswered(r) ? std::optional(TFaultReply::Silent()) : std::nullopt;
        });
        const std::size_t threads = ThreadCount();
        auto stream = Start(30s);
        ASSERT_TRUE(PumpUntil([&] { return FServer->Targets().size() == requests; }));
        PumpFor(60ms);
        const std::string tempFile = Count("started") ? stream->FileName() : "";
        EXPECT_EQ(fs::exists(tempFile), fs::path(tempFile).filename().string().starts_with("vsr"));
        const int events = Count("");
        const auto start = std::chrono::steady_clock::now();
        stream.reset();
        // Far below the requests' time-out: the waiting requests were aborted.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_TRUE(
            PumpUntil([&] { return ThreadCount() == threads && FServer->OpenConnections() == 0; }));
        PumpFor(50ms);
        EXPECT_EQ(std::tuple(Count(""), fs::exists(tempFile)), std::tuple(events, false));
    }
    EXPECT_EQ(ErrorOf([] { TScreenRecorderPlaybackStream("VSRFILE://S/a.vsr"); }),
              "Invalid vsrfile command line");
}

} // namespace
} // namespace vsr::test
