#include "audio/AudioOut.h"
#include "shell/Format.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <sstream>

namespace vsr::test {
namespace {

// The byte at position i of the source: never zero, unlike its neighbours.
std::byte PatternByte(std::size_t i) {
    return std::byte{static_cast<std::uint8_t>(i * 7 % 251 + 1)};
}

// Logs its calls, checks what is written, and returns the oldest queued buffers when told.
class TFakeDevice : public TWaveDevice {
public:
    TWaveResult Open(std::uint32_t, const TWaveFormat&, TMessageTarget& owner) override {
        if (FailingWrite == -2)
            return Logged("refused ", "open refused");
        (Owner = &owner)->Post({cWomOpen, 0, 0}); // as a real device does; nobody listens here
        return Logged("open ");
    }
    TWaveResult Write(int index, std::span<const std::byte> data) override {
        if (Writes++ == FailingWrite)
            return Logged("refused ", "write refused");
        for (const std::byte b : data) // played in order, without gaps
            InOrder = InOrder && b == PatternByte(Played++);
        Queued.push_back(index);
        return Logged(Format("w%d:%d ", index, static_cast<int>(data.size())));
    }
    void Pause() override { Logged("pause "); }
    void Restart() override { Logged("restart "); }
    void Reset() override { Complete(Queued.size(), "reset "); }
    void Close() override {
        Logged("close ");
        Queued.clear();
        Owner = nullptr;
    }
    bool IsOpen() const override { return Owner != nullptr; }
    void Complete(std::size_t count, const std::string& call = {}) {
        Log += call;
        for (; count > 0 && !Queued.empty(); --count, Queued.pop_front())
            Owner->Post({cWomDone, 0, Queued.front()});
    }
    TWaveResult Logged(const std::string& call, std::string error = {}) {
        Log += call;
        return {std::move(error)};
    }

    std::string Log;
    TMessageTarget* Owner = nullptr;
    std::deque<int> Queued;
    std::size_t Played = 0;
    bool InOrder = true;
    int FailingWrite = -1, Writes = 0; // the write to refuse, counted from 0; -2: the open
};

// A component on the fake device whose source answers each fill with the next of the row's
// fills (the bytes it delivers, -1 "not there yet"; afterwards 0, none). The log tells what
// happened, e.g. "open f512 w0:512 stop ": the device's calls, each fill with its answer, and
// OnStop. Steps:
// - settings: size=N (BufferSize, 512 unless set), bits=N, stereo, rate=N, buffers=N
//   (NumBuffers); fail=N: the write, counted from 0, that the device refuses (-2: the open);
// - S Start; c the device returns a buffer and its notification is handled; C it returns one
//   whose notification stays pending; h pending notifications are handled; pause=1 / pause=0;
//   x Stop; g StopGracefully; r Resume; again: the source has its fills again.
// A start or a setting that fails logs "fail(<LastError>)".
TEST(AudioOutFake, PlaysStopsAndFailsAsTheScenariosSay) {
    const std::vector<int> eight(8, 512);
    // The device opened and four fills, then written.
    const std::string f4 = "open f512 f512 f512 f512 ",
                      primed = f4 + "w0:512 w1:512 w2:512 w3:512 ",
                      busy = "fail(Wave output device is already open) ";
    const std::tuple<const char*, std::vector<int>, std::string> scenarios[] = {
        {"S", {}, "open f0 close fail(There must be at least one filled buffer) "},
        {"S S", eight, primed + busy},
        // Three buffers play, the third shorter; OnStop once, no refill once the queue ran dry.
        {"S c c c h", {512, 512, 8}, "open f512 f512 f8 f0 w0:512 w1:512 w2:8 f0 f0 close stop "},
        {"pause=1 S pause=0", eight, f4 + "pause w0:512 w1:512 w2:512 w3:512 restart "},
        // Stop: pending notifications are dropped, no OnStop and no fill; Paused is cleared.
        {"S pause=1 C C x h again S", eight, primed + "pause reset close " + primed},
        {"S c g c c c c", eight, primed + "f512 w0:512 close stop "},
        {"S size=4096 buffers=8 bits=8 stereo rate=11025 c", eight,
         primed + busy + busy + busy + busy + busy + "f512 w0:512 "},
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
        {"size=3207 stereo rate=11025 S", {4000}, "open f4000 f0 f0 f0 w0:3204 "},
        {"size=3201 bits=4 S", {4000}, "open f4000 f0 f0 f0 w0:3201 "},
        {"buffers=5 S", eight, "open f512 " + primed.substr(5) + "w4:512 "}, // more than at first
        // Data not there yet: the output stays open through the dry queue until Resume finds
        // data; a pause still reaches the device; Stop and StopGracefully end the wait.
        {"buffers=2 S c c c r r c c",
         {512, 512, -1, -1, 512, 512},
         "open f512 f512 w0:512 w1:512 f-1 f-1 f512 w0:512 f512 w1:512 f0 close stop "},
        {"buffers=2 S c c pause=1 x",
         {512, 512, -1},
         "open f512 f512 w0:512 w1:512 f-1 pause reset close "},
        {"buffers=2 S c c g", {512, 512, -1}, "open f512 f512 w0:512 w1:512 f-1 close stop "},
    };
    for (const auto& [steps, fills, want] : scenarios) {
        auto* device = new TFakeDevice; // owned by the component
        TAudioOut out{std::unique_ptr<TWaveDevice>(device)};
        std::string& log = device->Log;
        std::size_t next = 0, position = 0;
        out.SetBufferSize(512); // 32 ms at 8000 Hz, 16-bit mono
        out.OnFillBuffer = [&](std::span<std::byte> buffer, std::int32_t& size) {
            size = next < fills.size() ? fills[next++] : 0;
            for (auto& b : buffer.first(std::min<std::size_t>(std::max(size, 0), buffer.size())))
                b = PatternByte(position++);
            log += Format("f%d ", size);
            return size != 0 && size != -1;
        };
        out.OnStop = [&](TAudioIO& sender) { log += &sender == &out ? "stop " : "? "; };
        const auto check = [&](bool ok) { log += ok ? "" : "fail(" + out.LastError() + ") "; };
        const std::map<std::string, std::function<void(int)>> actions = {
            {"S", [&](int) { check(out.Start()); }},
            {"c", [&](int) { device->Complete(1), MessageQueue().ProcessMessages(); }},
            {"C", [&](int) { device->Complete(1); }},
            {"h", [&](int) { MessageQueue().ProcessMessages(); }},
            {"pause", [&](int v) { out.SetPaused(v != 0); }},
            {"x", [&](int) { out.Stop(); }},
            {"g", [&](int) { out.StopGracefully(); }},
            {"again", [&](int) { next = 0; }},
            {"r", [&](int) { out.Resume(); }},
            {"size", [&](int v) { check(out.SetBufferSize(v)); }},
            {"bits", [&](int v) { check(out.SetQuantization(static_cast<std::uint16_t>(v))); }},
            {"stereo", [&](int) { check(out.SetStereo(true)); }},
            {"rate", [&](int v) { check(out.SetFrameRate(v)); }},
            {"buffers", [&](int v) { check(out.SetNumBuffers(v)); }},
            {"fail", [&](int v) { device->FailingWrite = v; }}};
        std::istringstream words(steps);
        for (std::string step; words >> step;) // the value after '=', 0 without one
            actions.at(step.substr(0, step.find('=')))(std::atoi(&step[step.find('=') + 1]));
        EXPECT_EQ(log, want) << steps;
        EXPECT_TRUE(device->InOrder) << steps;
    }
}

} // namespace
} // namespace vsr::test
