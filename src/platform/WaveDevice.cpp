#include "platform/WaveDevice.h"

#include "platform/SdlWaveDevice.h"
#include "platform/SilentWaveDevice.h"
#include "shell/Trace.h"

#include <atomic>

namespace vsr {

namespace {

constexpr std::uint32_t cMaxSampleRate = 1'000'000;

// The system's output, or the silent device when the system has none that opens: without it
// playback driven by the output's progress would never advance.
class TSystemWaveDevice : public TWaveDevice {
public:
    ~TSystemWaveDevice() override { Close(); }

    TWaveResult Open(std::uint32_t deviceId, const TWaveFormat& format,
                     TMessageTarget& owner) override {
        if (FCurrent.load())
            return TWaveResult::Failure("Wave device is already open");
        if (std::string reason = CheckWaveFormat(format); !reason.empty())
            return TWaveResult::Failure(reason);
        TWaveResult result = FSdl.Open(deviceId, format, owner);
        if (result.Ok()) {
            FCurrent = &FSdl;
            return result;
        }
        // A device asked for by number must not be replaced by another one.
        if (deviceId != cWaveMapper)
            return result;
        TraceFmt("No sound output device (%s): playing in silence", result.ErrorText);
        result = FSilent.Open(deviceId, format, owner);
        if (result.Ok())
            FCurrent = &FSilent;
        return result;
    }

    TWaveResult Write(int index, std::span<const std::byte> data) override {
        TWaveDevice* device = FCurrent.load();
        return device ? device->Write(index, data)
                      : TWaveResult::Failure("Wave device is not open");
    }

    void Pause() override {
        if (TWaveDevice* device = FCurrent.load())
            device->Pause();
    }

    void Restart() override {
        if (TWaveDevice* device = FCurrent.load())
            device->Restart();
    }

    void Reset() override {
        if (TWaveDevice* device = FCurrent.load())
            device->Reset();
    }

    void Close() override {
        if (TWaveDevice* device = FCurrent.load()) {
            device->Close();
            FCurrent = nullptr;
        }
    }

    bool IsOpen() const override { return FCurrent.load() != nullptr; }

private:
    // Both backends live as long as this object, so a Pause from another thread never meets
    // a destroyed one; on a closed backend it does nothing.
    TSdlWaveDevice FSdl;
    TSilentWaveDevice FSilent;
    std::atomic<TWaveDevice*> FCurrent = nullptr;
};

} // namespace

std::string CheckWaveFormat(const TWaveFormat& format) {
    const bool valid = format.FormatTag == cWaveFormatPcm &&
                       (format.Channels == 1 || format.Channels == 2) &&
                       (format.BitsPerSample == 8 || format.BitsPerSample == 16) &&
                       format.SamplesPerSec > 0 && format.SamplesPerSec <= cMaxSampleRate &&
                       format.BlockAlign == format.BitsPerSample / 8 * format.Channels &&
                       format.AvgBytesPerSec == format.BlockAlign * format.SamplesPerSec;
    return valid ? std::string() : std::string("Unsupported wave format");
}

std::unique_ptr<TWaveDevice> CreateWaveDevice() {
    return std::make_unique<TSystemWaveDevice>();
}

} // namespace vsr
