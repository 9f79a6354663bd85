#include "platform/SdlWaveDevice.h"

#include "shell/Format.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vsr {

namespace {

// About 20 ms per device period: short enough that a buffer is reported soon after it has
// been consumed, long enough not to keep the audio thread busy.
std::uint16_t PeriodSamples(std::uint32_t rate) {
    std::uint32_t samples = 64;
    while (samples < 4096 && samples * 50 < rate)
        samples *= 2;
    return static_cast<std::uint16_t>(samples);
}

std::string SdlErrorText() {
    const char* text = SDL_GetError();
    return text && *text ? text : "Unknown sound output error";
}

} // namespace

TSdlWaveDevice::~TSdlWaveDevice() {
    Close();
}

TWaveResult TSdlWaveDevice::Open(std::uint32_t deviceId, const TWaveFormat& format,
                                 TMessageTarget& owner) {
    if (FOpen)
        return TWaveResult::Failure("Wave device is already open");
    if (std::string reason = CheckWaveFormat(format); !reason.empty())
        return TWaveResult::Failure(reason);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return TWaveResult::Failure(SdlErrorText());

    const char* name = nullptr;
    if (deviceId != cWaveMapper) {
        const int count = SDL_GetNumAudioDevices(0);
        if (deviceId >= static_cast<std::uint32_t>(std::max(count, 0)) ||
            !(name = SDL_GetAudioDeviceName(static_cast<int>(deviceId), 0))) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return TWaveResult::Failure(Format("Bad wave device id %u", deviceId));
        }
    }

    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(format.SamplesPerSec);
    wanted.format = format.BitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<std::uint8_t>(format.Channels);
    wanted.samples = PeriodSamples(format.SamplesPerSec);
    wanted.callback = &TSdlWaveDevice::AudioCallback;
    wanted.userdata = this;
    {
        std::lock_guard queueLock(FQueueLock);
        FQueue.Clear();
        FOwner = &owner;
        FSilence = std::byte{format.BitsPerSample == 8 ? std::uint8_t{0x80} : std::uint8_t{0}};
    }
    // No allowed changes: SDL converts to the hardware, so the callback sees our format.
    SDL_AudioSpec obtained{};
    std::lock_guard deviceLock(FDeviceLock);
    FDeviceId = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (FDeviceId == 0) {
        std::string text = SdlErrorText();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::lock_guard queueLock(FQueueLock);
        FOwner = nullptr;
        return TWaveResult::Failure(text);
    }
    FOpen = true;
    owner.Post({cWomOpen, 0, 0});
    SDL_PauseAudioDevice(FDeviceId, 0);
    return TWaveResult::Success();
}

TWaveResult TSdlWaveDevice::Write(int index, std::span<const std::byte> data) {
    std::lock_guard lock(FQueueLock);
    if (!FOwner)
        return TWaveResult::Failure("Wave device is not open");
    if (std::string reason = FQueue.Push(index, data); !reason.empty())
        return TWaveResult::Failure(reason);
    return TWaveResult::Success();
}

void TSdlWaveDevice::Pause() {
    SetDevicePaused(true);
}

void TSdlWaveDevice::Restart() {
    SetDevicePaused(false);
}

void TSdlWaveDevice::SetDevicePaused(bool paused) {
    std::lock_guard lock(FDeviceLock);
    if (FDeviceId != 0)
        SDL_PauseAudioDevice(FDeviceId, paused ? 1 : 0);
}

void TSdlWaveDevice::Reset() {
    std::lock_guard lock(FQueueLock);
    if (FOwner)
        FQueue.ReportAllDone(*FOwner);
}

void TSdlWaveDevice::Close() {
    std::lock_guard deviceLock(FDeviceLock);
    if (FDeviceId == 0)
        return;
    // Returns after the audio thread has ended: no callback runs past this line.
    SDL_CloseAudioDevice(FDeviceId);
    FDeviceId = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::lock_guard queueLock(FQueueLock);
    FQueue.Clear();
    if (FOwner)
        FOwner->Post({cWomClose, 0, 0});
    FOwner = nullptr;
    FOpen = false;
}

void TSdlWaveDevice::AudioCallback(void* userData, std::uint8_t* stream, int length) {
    auto* self = static_cast<TSdlWaveDevice*>(userData);
    self->Consume({reinterpret_cast<std::byte*>(stream), static_cast<std::size_t>(length)});
}

void TSdlWaveDevice::Consume(std::span<std::byte> output) {
    std::lock_guard lock(FQueueLock);
    while (FOwner && !FQueue.Empty()) {
        TWaveQueueEntry& front = FQueue.Front();
        const std::size_t count = std::min(front.Remaining(), output.size());
        std::memcpy(output.data(), front.Data.data() + front.Consumed, count);
        front.Consumed += count;
        output = output.subspan(count);
        if (front.Remaining() > 0)
            break; // the output is full
        FQueue.PopDone(*FOwner);
    }
    std::fill(output.begin(), output.end(), FSilence);
}

} // namespace vsr
