#include "platform/SilentWaveDevice.h"

#include <algorithm>
#include <system_error>

namespace vsr {

namespace {

constexpr std::int64_t cNanosecondsPerSecond = 1'000'000'000;

} // namespace

TSilentWaveDevice::~TSilentWaveDevice() {
    Close();
}

TWaveResult TSilentWaveDevice::Open(std::uint32_t, const TWaveFormat& format,
                                    TMessageTarget& owner) {
    if (IsOpen())
        return TWaveResult::Failure("Wave device is already open");
    if (std::string reason = CheckWaveFormat(format); !reason.empty())
        return TWaveResult::Failure(reason);
    {
        std::lock_guard lock(FLock);
        FQueue.Clear();
        FOwner = &owner;
        FBytesPerSec = format.AvgBytesPerSec;
        FBlockAlign = format.BlockAlign;
        FPaused = false;
        FClosing = false;
        owner.Post({cWomOpen, 0, 0});
    }
    try {
        FThread = std::thread([this] { Run(); });
    } catch (const std::system_error& error) {
        std::lock_guard lock(FLock);
        FOwner = nullptr;
        return TWaveResult::Failure(error.what());
    }
    return TWaveResult::Success();
}

TWaveResult TSilentWaveDevice::Write(int index, std::span<const std::byte> data) {
    std::lock_guard lock(FLock);
    if (!FOwner)
        return TWaveResult::Failure("Wave device is not open");
    if (std::string reason = FQueue.Push(index, data); !reason.empty())
        return TWaveResult::Failure(reason);
    FWake.notify_all();
    return TWaveResult::Success();
}

void TSilentWaveDevice::Pause() {
    std::lock_guard lock(FLock);
    FPaused = FOwner != nullptr;
    FWake.notify_all();
}

void TSilentWaveDevice::Restart() {
    std::lock_guard lock(FLock);
    FPaused = false;
    FWake.notify_all();
}

void TSilentWaveDevice::Reset() {
    std::lock_guard lock(FLock);
    if (!FOwner)
        return;
    FQueue.ReportAllDone(*FOwner);
    ++FResets;
    FWake.notify_all();
}

void TSilentWaveDevice::Close() {
    {
        std::lock_guard lock(FLock);
        if (!FOwner)
            return;
        FClosing = true;
        FWake.notify_all();
    }
    FThread.join();
    std::lock_guard lock(FLock);
    FQueue.Clear();
    FOwner->Post({cWomClose, 0, 0});
    FOwner = nullptr;
    FPaused = false;
}

bool TSilentWaveDevice::IsOpen() const {
    std::lock_guard lock(FLock);
    return FOwner != nullptr;
}

void TSilentWaveDevice::Run() {
    std::unique_lock lock(FLock);
    // When the front buffer started to play from its consumed position; empty while nothing
    // plays. A buffer that follows without a gap starts where the previous one ended.
    std::optional<TClock::time_point> start;
    while (!FClosing) {
        if (FPaused || FQueue.Empty()) {
            start.reset();
            FWake.wait(lock);
            continue;
        }
        if (!start)
            start = TClock::now();
        const TClock::time_point end = *start + DurationOf(FQueue.Front().Remaining());
        if (PlayFront(lock, *start, end)) {
            FQueue.PopDone(*FOwner);
            start = end;
        } else {
            start.reset();
        }
    }
}

bool TSilentWaveDevice::PlayFront(std::unique_lock<std::mutex>& lock, TClock::time_point start,
                                  TClock::time_point end) {
    const std::uint64_t resets = FResets;
    const bool interrupted =
        FWake.wait_until(lock, end, [&] { return FClosing || FPaused || FResets != resets; });
    if (!interrupted)
        return true;
    if (FResets == resets && !FQueue.Empty()) {
        // Paused or closing part-way: keep what has been played, in whole samples.
        TWaveQueueEntry& front = FQueue.Front();
        std::size_t played = BytesIn(TClock::now() - start);
        played -= played % FBlockAlign;
        front.Consumed += std::min(played, front.Remaining());
    }
    return false;
}

TSilentWaveDevice::TClock::duration TSilentWaveDevice::DurationOf(std::size_t bytes) const {
    const auto ns = static_cast<std::int64_t>(bytes) * cNanosecondsPerSecond / FBytesPerSec;
    return std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(ns));
}

std::size_t TSilentWaveDevice::BytesIn(TClock::duration duration) const {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
    if (ns <= 0)
        return 0;
    // Whole seconds first, so that the product cannot overflow.
    const std::int64_t seconds = ns / cNanosecondsPerSecond;
    const std::int64_t rest = ns % cNanosecondsPerSecond;
    return static_cast<std::size_t>(seconds * FBytesPerSec +
                                    rest * FBytesPerSec / cNanosecondsPerSecond);
}

} // namespace vsr
