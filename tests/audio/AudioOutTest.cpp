#include "audio/AudioOut.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"
#include "support/Files.h"
#include "support/Pump.h"
#include "support/Voice.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <deque>
#include <ranges>
#include <sstream>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

// The byte at position i of every source: never zero, unlike its neighbours.
std::byte PatternByte(std::size_t i) {
    return std::byte{static_cast<std::uint8_t>(i * 7 % 251 + 1)};
}
auto Pattern(std::size_t count) {
    return std::views::iota(std::size_t{0}, count) | std::views::transform(PatternByte);
}

// A component at 8000 Hz whose source answers each fill with the next of Fills (the bytes it
// delivers, 0 for none; afterwards always 0). Log tells what happened, e.g.
// "open f512 w0:512 stop ": the device's calls, each fill with its answer, and OnStop.
struct TPlayer {
    explicit TPlayer(std::unique_ptr<TWaveDevice> device) : Out(std::move(device)) {
        Out.SetFrameRate(8000);
        Out.SetBufferSize(512); // 32 ms at 16-bit mono
        Out.OnFillBuffer = [this](std::span<std::byte> buffer, std::int32_t& size) {
            size = Fills.empty() ? 0 : Fills.front();
            Fills.erase(Fills.begin(), Fills.begin() + !Fills.empty());
            for (auto& b : buffer.first(std::clamp<std::size_t>(size, 0, buffer.size())))
                b = PatternByte(Position++);
            Log += Format("f%d ", size);
            return size != 0;
        };
        Out.OnStop = [this](TAudioIO& sender) { Log += &sender == &Out ? "stop " : "? "; };
    }
    std::vector<int> Fills;
    std::size_t Position = 0;
    std::string Log;
    TAudioOut Out;
};

// Logs its calls, keeps what was written, and returns the oldest queued buffers when told.
class TFakeDevice : public TWaveDevice {
public:
    TWaveResult Open(std::uint32_t, const TWaveFormat&, TMessageTarget& owner) override {
        if (FailingWrite == -2)
            return Logged("refused ", "open refused");
        Owner = &owner;
        return Logged("open ");
    }
    TWaveResult Write(int index, std::span<const std::byte> data) override {
        if (Writes++ == FailingWrite)
            return Logged("refused ", "write refused");
        Written.insert(Written.end(), data.begin(), data.end());
        Queued.push_back(index);
        return Logged(Format("w%d:%d ", index, static_cast<int>(data.size())));
    }
    void Pause() override { Logged("pause "); }
    void Restart() override { Logged("restart "); }
    void Reset() override {
        Logged("reset ");
        Complete(Queued.size());
    }
    void Close() override {
        Logged("close ");
        Queued.clear();
        Owner = nullptr;
    }
    bool IsOpen() const override { return Owner != nullptr; }
    void Complete(std::size_t count) {
        for (; count > 0 && !Queued.empty(); --count, Queued.pop_front())
            Owner->Post({cWomDone, 0, Queued.front()});
    }
    TWaveResult Logged(const std::string& call, std::string error = {}) {
        *Log += call;
        return {std::move(error)};
    }

    std::string* Log = nullptr;
    TMessageTarget* Owner = nullptr;
    std::deque<int> Queued;
    std::vector<std::byte> Written;
    int FailingWrite = -1; // counted from 0; -2: the open
    int Writes = 0;
};

// Scenarios on the fake device, in steps:
// - settings before the start: size=N (BufferSize, 512 unless set), bits=N, stereo,
//   buffers=N (NumBuffers), fail=N (the write, counted from 0, that the device refuses; -2:
//   the device does not open);
// - S Start ("fail(<LastError>)" is logged when it fails); c the device returns a buffer and
//   its notification is handled; C it returns one whose notification stays pending; h pending
//   notifications are handled; p / r pause / resume; x Stop; g StopGracefully; again: the
//   source has its fills again; change: the format is changed ("refused-change" is logged
//   when every change is refused while the device is open).
TEST(AudioOutFake, PlaysStopsAndFailsAsTheScenariosSay) {
    const std::vector<int> eight(8, 512);
    // The device opened and four fills, then written.
    const std::string f4 = "open f512 f512 f512 f512 ",
                      primed = f4 + "w0:512 w1:512 w2:512 w3:512 ";
    const std::tuple<const char*, std::vector<int>, std::string> scenarios[] = {
        {"S", {}, "open f0 close fail(There must be at least one filled buffer) "},
        {"S S", eight, primed + "fail(Wave output device is already open) "},
        // Three buffers play, the third shorter; OnStop once, no refill once the queue ran dry.
        {"S c c c h",
         {512, 512, 256},
         "open f512 f512 f256 f0 w0:512 w1:512 w2:256 f0 f0 close stop "},
        {"p S r", eight, f4 + "pause w0:512 w1:512 w2:512 w3:512 restart "},
        // Stop: pending notifications are dropped, no OnStop and no fill; Paused is cleared.
        {"S p C C x h again S", eight, primed + "pause reset close " + primed},
        {"S c g c c c c", eight, primed + "f512 w0:512 close stop "},
        {"S change c", eight, primed + "refused-change f512 w0:512 "},
        // A momentary gap, sizes outside the buffer (clamped), no refill once the queue ran
        // dry even though the source would deliver again.
        {"S", {512, 0, 512, 512}, "open f512 f0 f512 f512 w0:512 w1:512 w2:512 "},
        {"size=100 S", {100000, -5}, "open f100000 f-5 f0 f0 w0:512 w1:0 "},
        {"buffers=1 S c", {512, 0, 512}, "open f512 f0 w0:512 close stop "},
        // A refused write: the buffers written before it play out and OnStop still fires.
        {"fail=-2 S", eight, "refused fail(open refused) "},
        {"fail=0 S", eight, f4 + "refused close fail(write refused) "},
        {"fail=2 S c c", eight, f4 + "w0:512 w1:512 refused close stop "},
        {"fail=4 S c c c c", eight, primed + "f512 refused close stop "},
        // Effective sizes: whole blocks; the memory holds every size a format change gives.
        {"size=3201 S", {4000}, "open f4000 f0 f0 f0 w0:3200 "},
        {"size=3202 stereo S", {4000}, "open f4000 f0 f0 f0 w0:3200 "},
        {"size=3207 stereo S", {4000}, "open f4000 f0 f0 f0 w0:3204 "},
        {"size=3201 bits=4 S", {4000}, "open f4000 f0 f0 f0 w0:3201 "},
        {"bits=12 size=3201 S", {4000}, "open f4000 f0 f0 f0 w0:3200 "},
        {"buffers=5 S", eight, "open f512 " + primed.substr(5) + "w4:512 "}, // more than at first
    };
    for (const auto& [steps, fills, want] : scenarios) {
        auto* device = new TFakeDevice; // owned by the component
        TPlayer player{std::unique_ptr<TWaveDevice>(device)};
        device->Log = &player.Log;
        player.Fills = fills;
        std::istringstream words(steps);
        for (std::string step; words >> step;) {
            const int value = std::atoi(step.c_str() + step.find('=') + 1); // 0 without '='
            TAudioOut& out = player.Out;
            if (step == "S" && !out.Start())
                player.Log += "fail(" + out.LastError() + ") ";
            if (step == "c" || step == "C")
                device->Complete(1);
            if (step == "c" || step == "h")
                MessageQueue().ProcessMessages();
            if (step == "p" || step == "r")
                out.SetPaused(step == "p");
            if (step == "x")
                out.Stop();
            if (step == "g")
                out.StopGracefully();
            if (step == "again")
                player.Fills = fills;
            if (step == "change" && !out.SetBufferSize(4096) && !out.SetNumBuffers(8) &&
                !out.SetQuantization(8) && !out.SetStereo(true) && !out.SetFrameRate(11025) &&
                out.LastError() == sWaveDeviceOpen)
                player.Log += "refused-change ";
            if (step.starts_with("size="))
                out.SetBufferSize(value);
            if (step.starts_with("bits="))
                out.SetQuantization(static_cast<std::uint16_t>(value));
            if (step.starts_with("buffers="))
                out.SetNumBuffers(value);
            if (step.starts_with("fail="))
                device->FailingWrite = value;
            if (step == "stereo")
                out.SetStereo(true);
        }
        EXPECT_EQ(player.Log, want) << steps;
        EXPECT_TRUE(std::ranges::equal(device->Written, Pattern(device->Written.size())))
            << steps << ": played in order, without gaps";
    }
}

// On SDL's silent real-time driver, when no output opens at all, and captured to a file.
TEST(AudioOutSdl, PlaysToTheEndOnEveryDriver) {
    TWatchdog watchdog("AudioOutSdl");
    TTempDir dir;
    for (const char* driver : {"dummy", "nonexistent", "disk"}) {
        SCOPED_TRACE(driver);
        TEnvScope sdl("SDL_AUDIODRIVER", driver);
        TEnvScope output("SDL_DISKAUDIOFILE", dir.File(driver));
        TCaptureTracer tracer;
        TPlayer player(CreateWaveDevice());
        player.Out.SetNumBuffers(8); // 256 ms ahead: a slow refill leaves no gap
        player.Fills.assign(10, 512);
        player.Fills.push_back(100);
        ASSERT_TRUE(player.Out.Start()) << player.Out.LastError();
        EXPECT_TRUE(PumpUntil([&] { return player.Log.ends_with("stop "); }));
        PumpFor(100ms); // OnStop came once, after every buffer delivered had played
        EXPECT_EQ(player.Log.find("stop"), player.Log.size() - 5);
        EXPECT_EQ(player.Out.ProcessedBuffers(), 11);
        EXPECT_EQ(tracer.Lines().size(), driver[0] == 'n' ? 1u : 0u); // "playing in silence"
    }
    // Silence may come before the first buffer and after the last, never in between.
    const std::vector<std::byte> captured = ReadFileBytes(dir.File("disk"));
    const auto first = std::ranges::find_if(captured, [](std::byte b) { return b != std::byte{}; });
    ASSERT_GE(captured.end() - first, 10 * 512 + 100);
    EXPECT_TRUE(std::ranges::equal(std::span(first, 10 * 512 + 100), Pattern(10 * 512 + 100)));
    EXPECT_TRUE(AllZero(std::span(first + 10 * 512 + 100, captured.end())));
}

} // namespace
} // namespace vsr::test
