// Streaming: addresses and requests, and the streaming reader's two workers against a
// fault-injecting server: what becomes available while it downloads, the answers it refuses or
// retries, and destruction while the workers wait.
#include "recording/ScreenRecorderPlaybackStream.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
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
    // Address, the script's address and the file name; no script: no streaming address.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"vsrfile://S/m/d/show.vsr", "http://S/m/d/vsr_download.php", "m/d/show.vsr"},
        {"http://S/show.vsr", "http://S/vsr_download.php", "show.vsr"},
        {"https://S:8443/m/show.vsr", "https://S:8443/m/vsr_download.php", "m/show.vsr"},
        {"vsrfile://show.vsr", "http://vsr_download.php", "show.vsr"}, // no "/": all is the name
        // only the script's address encodes what an address cannot carry
        {"vsrfile://S/f #1?/a&b+c%41/x y.vsr", "http://S/f%20%231%3F/a&b+c%41/vsr_download.php",
         "f #1?/a&b+c%41/x y.vsr"},
        {"VSRFILE://S/a.vsr", "", ""},
        {"vsrfile:/", "", ""}};
    for (const auto& [address, script, file] : cases) {
        const auto got = IsStreamAddress(address) ? SplitStreamAddress(address) : TStreamAddress{};
        EXPECT_EQ(got.ServerURL + " " + got.RemoteFileName, script + " " + file) << address;
    }
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
    std::unique_ptr<TScreenRecorderPlaybackStream> Start(std::chrono::milliseconds timeout) {
        auto stream = std::make_unique<TScreenRecorderPlaybackStream>(
            "vsrfile" + FServer->BaseURL().substr(4) + FName);
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
        const auto at = [&](auto& target) { return IsBlockAt({target}, position, position + 1); };
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

// The last part arrives in two answers: the index and pointer track at once, the voice when the
// test lets it go. Meanwhile the first part fetches no frame data beyond key-frame segment 0,
// which the start needs; the last part's completion makes that segment available at once.
TEST_F(StreamDownload, TheFirstPartWaitsAtWhatTheStartNeedsUntilTheLastPartHasArrived) {
    WriteRecording(12);
    const std::int64_t index = FLayout.KeyFrameIndexOffset, voice = FLayout.AudioOffset;
    const std::int64_t segment0End = FLayout.KeyFrames[1].Offset;
    auto voiceReleased = std::make_shared<std::atomic<bool>>(false);
    Serve([&, voiceReleased](const TFaultRequest& request) -> std::optional<TFaultReply> {
        if (!IsBlockAt(request, index, INT64_MAX))
            return std::nullopt;
        TFaultReply reply = ServeRecording(FBytes, request);
        if (request.QueryNumber("position") == index)
            reply.Body.resize(std::min(reply.Body.size(), std::size_t(3 + voice - index))); // short
        else
            reply.ReadyWhen = [voiceReleased] { return voiceReleased->load(); };
        return reply;
    });
    auto stream = Start(30s);
    std::int32_t availableAtFinish = -2;
    stream->OnLastPartFinished = [&](auto& sender) {
        Trace("event: last finished");
        availableAtFinish = sender.LastAvailableKeyFrame();
    };
    const auto firstPartRequests = [&] {
        std::vector<std::pair<std::int64_t, std::int64_t>> blocks; // position, end
        for (const std::string& target : FServer->Targets())
            if (const TFaultRequest request{target}; IsBlockAt(request, 72, index))
                blocks.emplace_back(request.QueryNumber("position"),
                                    request.QueryNumber("position") + request.QueryNumber("size"));
        return blocks;
    };
    ASSERT_TRUE(PumpUntil([&] {
        const auto blocks = firstPartRequests();
        return !blocks.empty() && blocks.back().second >= segment0End;
    }));
    PumpFor(300ms);
    // The first request may go out before the index has arrived; no other starts beyond
    // segment 0.
    const auto held = firstPartRequests();
    EXPECT_TRUE(std::ranges::all_of(held, [&](auto& block) { return block.first < segment0End; }))
        << held.size() << " first-part requests, the last from " << held.back().first;
    EXPECT_EQ(
        std::tuple(stream->FirstPartNeeded(), stream->FirstPartDone(), Count("last finished")),
        std::tuple(segment0End - 72, false, 0));
    *voiceReleased = true;
    ASSERT_TRUE(PumpUntil([&] { return Count("first finished") + Count("last finished") == 2; }));
    // The segments that arrived whole: segment 0, or those in the first block when it went out
    // before the index had arrived.
    const std::int64_t arrived = std::ranges::max(held | std::views::elements<1>);
    const auto complete =
        std::ranges::count_if(FLayout.KeyFrames | std::views::drop(1),
                              [&](auto& entry) { return entry.Offset <= arrived; });
    EXPECT_EQ(std::tuple(availableAtFinish, ReadFileBytes(stream->FileName()) == FBytes),
              std::tuple(complete - 1, true));
}

// With a voice map, the voice's frames wait for it, then come as far as the pictures that have
// arrived reach plus a lead of 5 s; the first part is held beyond segment 0 until the voice the
// start needs is there, and playback may start before the last part has completed.
TEST_F(StreamDownload, TheVoiceComesAsFarAsThePicturesThatHaveArrivedReach) {
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
    const auto voiceRequestEnd = [&] {
        std::int64_t end = voice;
        for (const std::string& target : FServer->Targets())
            if (const TFaultRequest request{target}; IsBlockAt(request, voice, voiceEnd - 32))
                end = std::max(end, request.QueryNumber("position") + request.QueryNumber("size"));
        return end;
    };
    ASSERT_TRUE(PumpUntil([&] { return stream->HeadArrived(); }));
    PumpFor(200ms);
    EXPECT_EQ(std::tuple(voiceRequestEnd(), stream->MayStart(), stream->Cursors().Count()),
              std::tuple(voice, false, 12));
    stream->SetVoiceMap([](std::uint32_t time) { return 22 + std::int64_t{time}; }); // 1 B/ms
    // The start's voice: to segment 0's end (1 s) and the lead.
    ASSERT_TRUE(PumpUntil([&] { return stream->MayStart(); }));
    PumpFor(300ms);
    const std::int32_t pictures = stream->LastAvailableKeyFrame();
    EXPECT_EQ(std::tuple(stream->VoiceArrived(), voiceRequestEnd(), stream->KeyFramesKnown(),
                         ErrorOf([&] { stream->SeekTime(0); })),
              std::tuple(voice + (pictures + 2) * 1000 + 5000, voice + (pictures + 2) * 1000 + 5000,
                         false, "no error"));
    EXPECT_NE(ErrorOf([&] { stream->SeekTime(1000); }), "no error");
    *picturesReleased = true;
    ASSERT_TRUE(PumpUntil([&] { return stream->FirstPartDone() && stream->KeyFramesKnown(); }));
    EXPECT_EQ(std::tuple(stream->VoiceArrived(), ReadFileBytes(stream->FileName()) == FBytes),
              std::tuple(std::ssize(FBytes), true)); // in order to the end
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
