// The platform layers: events, streams, temporary files, the desktop's handler files, the HTTP
// client against the fault server on 127.0.0.1, and the wave output devices.
#include "platform/DesktopEntry.h"
#include "platform/Event.h"
#include "platform/HttpClient.h"
#include "platform/MimeAppsList.h"
#include "platform/SdlWaveDevice.h"
#include "platform/SilentWaveDevice.h"
#include "platform/Stream.h"
#include "platform/TempFiles.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"
#include "support/FaultServer.h"
#include "support/Files.h"
#include "support/Pump.h"
#include "support/RunProcess.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::TFaultReply;

// The player's loop waits on its run and stop events.
TEST(PlayerEvent, StaysSignalledUntilResetAndWaitForAnyGivesTheFirstSignalled) {
    test::TWatchdog watchdog;
    TEvent run, stop;
    TEvent* const events[] = {&run, &stop};
    EXPECT_EQ(WaitForAny(events, 30ms), cWaitTimeout);
    // Set on another thread while the wait blocks; a Reset right after must not lose it.
    for (const bool resetAtOnce : {false, true}) {
        std::thread setter([&] {
            std::this_thread::sleep_for(100ms);
            stop.Set();
            if (resetAtOnce)
                stop.Reset();
        });
        EXPECT_EQ(WaitForAny(events, resetAtOnce ? 10s : cWaitInfinite), 1) << resetAtOnce;
        setter.join();
        stop.Reset();
    }
    stop.Set();
    EXPECT_TRUE(stop.Wait(0ms) && stop.Wait() && !run.Wait(0ms)) << "waits do not reset it";
    run.Set();
    EXPECT_EQ(WaitForAny(events), 0) << "both signalled: the first index wins";
}

TEST(Stream, MemoryAndFileStreamsWorkAlike) {
    test::TTempDir dir;
    std::unique_ptr<TStream> streams[] = {
        std::make_unique<TMemoryStream>(),
        std::make_unique<TFileStream>(dir.File("s"), TFileMode::Create)};
    for (auto& stream : streams) {
        stream->WriteBuffer(test::Bytes("hello world"));
        EXPECT_EQ(stream->Seek(-5, TSeekOrigin::End), 6);
        std::vector<std::byte> buffer(5);
        EXPECT_EQ(stream->Read(buffer), 5u);
        EXPECT_EQ(buffer, test::Bytes("world"));
        EXPECT_THROW(stream->Seek(-1, TSeekOrigin::Begin), EStreamError);
        stream->SetPosition(20); // past the end: nothing to read, writing fills the gap with 0
        EXPECT_EQ(stream->Read(buffer), 0u);
        stream->WriteBuffer(test::Bytes("!"));
        EXPECT_EQ(stream->Seek(-7, TSeekOrigin::Current), 14);
        stream->ReadBuffer(buffer);
        EXPECT_EQ(buffer, test::Bytes(5, 0));
        EXPECT_EQ(stream->Size(), 21);
        stream->SetSize(8);
        EXPECT_THROW(stream->SetSize(-1), EStreamError);
        stream->SetPosition(4);
        EXPECT_THROW(stream->ReadBuffer(buffer), EStreamError); // 4 bytes left
    }
    for (const std::string& name : {dir.File("missing.vsr"), dir.Path().string()})
        EXPECT_THROW(TFileStream(name, TFileMode::OpenRead), EFOpenError) << name;
    EXPECT_THROW(TFileStream(dir.File("no/new.vsr"), TFileMode::Create), EFOpenError);
    TMemoryStream source, target;
    source.SetSize(200004);
    target.CopyFrom(source, 200002); // more than one chunk
    EXPECT_EQ(target.Size() + source.Position(), 2 * 200002);
    EXPECT_THROW(target.CopyFrom(source, 10), EStreamError);
}

// Temporary files are private to their user, uniquely named and made afresh, never through a
// link; the names carry the owner's process id, so that a later start removes what an ended run
// left behind.
TEST(TempFiles, ArePrivateAndThoseOfEndedRunsAreRemovedAtTheNextStart) {
    namespace fs = std::filesystem;
    test::TTempDir dir;
    const std::string pid = std::to_string(::getpid());
    test::TEnvScope tmp("TMPDIR", dir.Path().string() + "//"); // the folder unless one is given
    const std::string mine = CreateTempFile("spx");
    EXPECT_EQ(mine.substr(0, mine.size() - 6), dir.File("spx" + pid + "-"));
    EXPECT_NE(mine, CreateTempFile("spx"));
    EXPECT_EQ(fs::status(mine).permissions(), fs::perms(0600));
    fs::create_symlink(dir.File("target"), dir.File("link"));
    for (const std::string& name : {mine, dir.File("link")})
        EXPECT_THROW(TFileStream(name, TFileMode::CreateNew), EFOpenError) << name;
    EXPECT_FALSE(fs::exists(dir.File("target")));
    TFileStream(dir.File("new"), TFileMode::CreateNew);
    EXPECT_EQ(fs::status(dir.File("new")).permissions(), fs::perms(0600));

    const std::string dead = test::EndedProcessId();
    const std::vector<std::string> orphans = {"Tmp" + dead + "-a1B2c3", "spx" + dead + "-zzzzzz"};
    const std::vector<std::string> kept = {"spx" + dead + "-abc", "other" + dead + "-abcdef",
                                           "spx1-abcdef", "vsr-" + dead + "abcdef",
                                           "spx" + pid + "-abcdef"};
    for (const auto& name : orphans)
        test::WriteFileBytes(dir.File(name), test::Bytes("left"));
    for (const auto& name : kept)
        test::WriteFileBytes(dir.File(name), test::Bytes("kept"));
    fs::create_symlink(dir.File("new"), dir.File("vsr" + dead + "-linked"));
    fs::create_directory(dir.File("vsr" + dead + "-folder"));
    const auto before = dir.Names();
    EXPECT_EQ(RemoveOrphanedTempFiles({"Tmp", "spx", "vsr"}, dir.Path().string()), 2);
    auto expected = before;
    std::erase_if(expected, [&](const std::string& name) {
        return std::ranges::find(orphans, name) != orphans.end();
    });
    EXPECT_EQ(dir.Names(), expected);
    EXPECT_EQ(RemoveOrphanedTempFiles({"spx"}, dir.File("no-such-folder")), 0);
    EXPECT_EQ(CreateTempFile("vsr", dir.File("no-such-folder")), "");
    { TTempFile owned(mine); }
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(DeleteTempFile(mine)); // already gone
}

// What the registration does not show already.
TEST(DesktopFiles, TheEntryEscapesItsValuesAndOurHandlerGoesFirstInItsSection) {
    const TPlayerDesktopEntry entry{"/p", "", "two\nlines\t\\ here\r", {"a/b", "c/d"}};
    const TPlayerDesktopEntry read = ParseDesktopEntry(FormatDesktopEntry(entry));
    const auto add = [](std::string_view text) { return WithDefaultHandler(text, "a/b", "p"); };
    const auto exec = [](const std::string& path) {
        return ParseDesktopEntry(FormatDesktopEntry({path, "", "", {}})).ExePath;
    };
    const std::string section = "[Default Applications]\n";
    const std::pair<std::string, std::string> cases[] = {
        // Inside quotes \ " ` $ get a backslash; the entry's own escaping doubles backslashes.
        {ExecValue("/x/$HOME\"q`\\"), "\"/x/\\\\$HOME\\\\\"q\\\\`\\\\\\\\\" %u"},
        {ExecValue("/x/100%/p"), "/x/100%%/p %u"},
        // The program is read back from what was written, and from a plain entry.
        {exec("/x/$HOME\"q`\\") + "|" + exec("/x/100%/p") + "|" + exec("/opt/a b/c"),
         "/x/$HOME\"q`\\|/x/100%/p|/opt/a b/c"},
        {ParseDesktopEntry("[Desktop Entry]\nExec=vsrplayer --x %u\n").ExePath, "vsrplayer"},
        {read.Comment + read.MimeTypes.at(0) + read.MimeTypes.at(1), entry.Comment + "a/bc/d"},
        {add(section + "x/y=q\n\n[Other]\nk=v"), section + "x/y=q\na/b=p;\n\n[Other]\nk=v\n"},
        {add("[Other]\na/b=q;\n"), "[Other]\na/b=q;\n\n" + section + "a/b=p;\n"},
        {add(section + " a/b = q;p;r\n"), section + "a/b=p;q;r;\n"},
        {WithoutDefaultHandler(section + "a/b=q;\n", "a/b", "p"), section + "a/b=q;\n"}};
    for (const auto& [actual, expected] : cases)
        EXPECT_EQ(actual, expected);
}

// The streaming workers' HTTP client; threads meet in it, so the name puts it in the
// ThreadSanitizer run.
class StreamHttpClient : public ::testing::Test {
protected:
    // Services the client until done() holds; false when it does not within the limit.
    bool ServiceUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
        return test::PumpUntil([&] { return FClient.ProcessEvents(), done(); }, limit);
    }
    // A GET of a row of the server's answers, or of another address, waited for unless told.
    std::shared_ptr<THttpSink> Get(int row, bool wait = true, std::string address = {}) {
        auto sink = std::make_shared<THttpSink>();
        FClient.SetAddress(address.empty() ? FServer.BaseURL() + "?row=" + std::to_string(row)
                                           : address);
        FClient.SetSink(sink);
        FClient.Get();
        EXPECT_TRUE(!wait || ServiceUntil([&] { return !FClient.Busy(); }));
        return sink;
    }

    // An empty proxy host is a direct connection, whatever the environment says.
    test::TEnvScope FProxy{"http_proxy", "http://127.0.0.1:9"};
    const std::pair<int, std::string> FAnswers[4] = {
        {200, "hello"}, {302, "moved"}, {404, "no"}, {500, "failed"}};
    // Rows 0 to 3 answer, 4 breaks off in the middle of the body, 5 never answers.
    test::TFaultServer FServer{[this](const test::TFaultRequest& request) {
        const auto row = request.QueryNumber("row");
        return request.Target.starts_with("http://") ? TFaultReply::Answer(200, "proxied")
               : row < 4  ? TFaultReply::Answer(FAnswers[row].first, FAnswers[row].second)
               : row == 4 ? TFaultReply::ResetMidBody(std::string(1000, 'x'), 10)
                          : TFaultReply::Silent();
    }};
    THttpClient FClient;
};

TEST_F(StreamHttpClient, GivesStatusAndBodyAndEndsARequestOnAbortFromAnyThreadOrANewGet) {
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(*Get(row), test::Bytes(FAnswers[row].second));
        EXPECT_EQ(FClient.StatusCode(), FAnswers[row].first);
    }
    Get(4);
    EXPECT_EQ(FClient.StatusCode(), 0) << "a transfer that broke off has no status";
    // The streaming workers abort a request that timed out before they try again.
    Get(5, false);
    ASSERT_TRUE(ServiceUntil([&] { return FServer.Targets().size() == 6; }));
    std::thread([&] { FClient.Abort(); }).join();
    EXPECT_EQ(FClient.State(), THttpState::Idle);
    // The aborted connection is closed.
    EXPECT_TRUE(ServiceUntil([&] { return FServer.OpenConnections() == 0; }));
    auto silent = Get(5, false);
    ASSERT_TRUE(ServiceUntil([&] { return FServer.Targets().size() == 7; }));
    // A new Get, through the process-wide proxy setting, ends the silent one.
    SetProxySetting("127.0.0.1:" + std::to_string(FServer.Port()));
    FClient.SetProxyHost(ProxySetting());
    SetProxySetting("");
    EXPECT_EQ(*Get(0, true, "http://recordings.invalid/vsr_download.php"), test::Bytes("proxied"));
    EXPECT_TRUE(silent->empty());
}

// The player's format is 8000 Hz, 16-bit mono: 16 bytes per millisecond.
TWaveFormat Pcm(std::uint32_t rate = 8000, std::uint16_t channels = 1, std::uint16_t bits = 16) {
    const auto align = static_cast<std::uint16_t>(bits / 8 * channels);
    return {cWaveFormatPcm, channels, rate, align * rate, align, bits, 0};
}

// A target on the test thread that keeps what a device posts, on SDL's silent dummy driver.
struct TNotifications {
    test::TEnvScope Driver{"SDL_AUDIODRIVER", "dummy"};
    test::TWatchdog Watchdog;
    std::vector<std::uint32_t> Msgs; // all but the buffers done
    std::vector<int> Done;
    std::unique_ptr<TMessageTarget> Target = MessageQueue().CreateTarget([this](const TMessage& m) {
        m.Msg == cWomDone ? Done.push_back(static_cast<int>(m.LParam)) : Msgs.push_back(m.Msg);
    });
    bool DoneReaches(std::size_t n) {
        return test::PumpUntil([&] { return Done.size() >= n; });
    }
};

// The contract both backends keep: SDL's, and the silent device.
class WaveDeviceContract : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_TRUE(FDevice->Open(cWaveMapper, Pcm(), *FLog.Target).Ok()); }
    TWaveResult Write(int index, std::size_t bytes = 512) { // 512 bytes are 32 ms
        return FDevice->Write(index, std::span(FData).first(bytes));
    }

    TNotifications FLog;
    const std::vector<std::byte> FData = test::Bytes(8000, 0x55);
    std::unique_ptr<TWaveDevice> FDevice = GetParam()
                                               ? std::unique_ptr<TWaveDevice>(new TSdlWaveDevice)
                                               : std::make_unique<TSilentWaveDevice>();
};

TEST_P(WaveDeviceContract, ReportsBuffersOnceConsumedInOrderUnlessResetOrClosedFromAnyThread) {
    // Pause and Restart from another thread meet writes and resets: each buffer is reported once.
    std::thread other([&] {
        for (int i = 0; i < 200; ++i)
            FDevice->Pause(), FDevice->Restart();
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Write(round).Ok());
        FDevice->Reset();
    }
    other.join();
    for (int index : {2, 0, 3, 1})
        ASSERT_TRUE(Write(index).Ok());
    // Refused: a buffer still queued, no such buffer, a second Open.
    EXPECT_FALSE(Write(1).Ok() || Write(cMaxWaveBuffers).Ok() || Write(-1).Ok());
    EXPECT_FALSE(FDevice->Open(cWaveMapper, Pcm(), *FLog.Target).Ok());
    ASSERT_TRUE(FLog.DoneReaches(7));
    // Paused, nothing is consumed; a reset reports every buffer at once.
    FDevice->Pause();
    ASSERT_TRUE(Write(1).Ok() && Write(0).Ok());
    test::PumpFor(250ms);
    EXPECT_EQ(FLog.Done.size(), 7u);
    FDevice->Reset();
    MessageQueue().ProcessMessages();
    EXPECT_EQ(FLog.Done.size(), 9u);
    FDevice->Restart();
    // Closed while a second of sound is still queued: those buffers are never reported.
    for (int index = 0; index < 3; ++index)
        ASSERT_TRUE(Write(index, index ? 8000 : 512).Ok());
    ASSERT_TRUE(FLog.DoneReaches(10));
    FDevice->Close();
    FDevice->Pause(); // closed: does nothing
    EXPECT_FALSE(FDevice->IsOpen() || Write(0).Ok());
    test::PumpFor(200ms);
    EXPECT_EQ(FLog.Done, (std::vector<int>{0, 1, 2, 2, 0, 3, 1, 1, 0, 0}));
    EXPECT_EQ(FLog.Msgs, (std::vector<std::uint32_t>{cWomOpen, cWomClose}));
}

INSTANTIATE_TEST_SUITE_P(Backends, WaveDeviceContract, testing::Bool(),
                         [](const auto& info) { return info.param ? "Sdl" : "Silent"; });

// A mended fault: without an output device, playback never advanced. It now goes on in
// silence, in real time.
TEST(SystemWaveDevice, PlaysPlainPcmOnSdlOrElseInSilenceInRealTime) {
    test::TCaptureTracer tracer;
    TNotifications log;
    const TWaveFormat inconsistent{cWaveFormatPcm, 1, 8000, 8000, 2, 16, 0};
    for (const TWaveFormat& format :
         {Pcm(8000, 1, 12), Pcm(8000, 3, 16), Pcm(0, 1, 16), inconsistent})
        EXPECT_EQ(CreateWaveDevice()->Open(cWaveMapper, format, *log.Target).ErrorText,
                  "Unsupported wave format");
    ASSERT_TRUE(CreateWaveDevice()->Open(cWaveMapper, Pcm(44100, 2, 8), *log.Target).Ok());
    EXPECT_EQ(TSdlWaveDevice().Open(99, Pcm(), *log.Target).ErrorText, "Bad wave device id 99");
    test::TEnvScope driver("SDL_AUDIODRIVER", "nonexistent");
    const std::string sdlError = TSdlWaveDevice().Open(cWaveMapper, Pcm(), *log.Target).ErrorText;
    EXPECT_NE(sdlError.find("nonexistent"), std::string::npos) << sdlError;
    // A numbered device is not replaced.
    EXPECT_FALSE(CreateWaveDevice()->Open(0, Pcm(), *log.Target).Ok());
    auto device = CreateWaveDevice();
    ASSERT_TRUE(device->Open(cWaveMapper, Pcm(1000, 1, 8), *log.Target).Ok());
    EXPECT_EQ(tracer.Lines(), std::vector<std::string>{"No sound output device (" + sdlError +
                                                       "): playing in silence"});
    const std::vector<std::byte> data = test::Bytes(800, 0x80); // 800 ms at 1000 Hz, 8-bit mono
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device->Write(0, data).Ok());
    test::PumpFor(600ms);
    device->Pause();
    test::PumpFor(200ms);
    EXPECT_TRUE(log.Done.empty());
    device->Restart();
    ASSERT_TRUE(log.DoneReaches(1));
    // 800 ms of sound and the 200 ms pause: neither the pause counted as played (800 ms) nor
    // the buffer started again (1600 ms); the upper bound leaves room for a loaded machine.
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(elapsed >= 980ms && elapsed < 1550ms) << elapsed / 1ms << " ms";
}

} // namespace
} // namespace vsr
