#pragma once
// TVideoExport: a recording written as an ordinary video file. Pictures are sampled at a fixed
// rate from the pictures the player shows (with the recorded pointer unless left out), the
// voice is decoded as the player decodes it, and both start at the exported part's start.
// The file appears under its name only when complete.

#include "audio/SpxStream.h"
#include "export/ExportFormat.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundTrackFile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vsr {

class EExportCancelled : public EExport {
public:
    using EExport::EExport;
};

struct TExportOptions {
    std::optional<std::uint32_t> From; // ms; the start
    std::optional<std::uint32_t> To;   // ms; the end of the recording
    std::int32_t Fps = 10;             // 1 to 60
    std::optional<std::int32_t> Width; // the recording's; the height follows
    bool Cursor = true;
    std::int32_t Quality = 80; // 1 to 100
};

// What an export writes, settled before any work.
struct TExportPlan {
    TExportFormat Format;
    std::uint32_t From = 0;
    std::uint32_t To = 0;
    std::int64_t Frames = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    // The time of frame index: the exported part's start, then every 1/fps.
    std::uint32_t FrameTime(std::int64_t index, std::int32_t fps) const {
        return From + static_cast<std::uint32_t>(index * 1000 / fps);
    }
};

// Called after each frame with the frames done and the frames in all.
using TExportProgress = std::function<void(std::int64_t done, std::int64_t frames)>;

class TVideoExport {
public:
    // Checks the output's type, the options and the recording; raises EExport (or the
    // reader's error) before anything is written.
    TVideoExport(const std::string& input, const std::string& output,
                 const TExportOptions& options);
    ~TVideoExport();

    const TExportPlan& Plan() const { return FPlan; }

    // Writes the file. Raises EExportCancelled once cancel is set, EExport on failures; the
    // partial file is removed either way.
    void Run(const TExportProgress& progress, const std::atomic<bool>& cancel);

private:
    std::string FInput;
    std::string FOutput;
    TExportOptions FOptions;
    TExportPlan FPlan;
    std::unique_ptr<TScreenRecorderPlaybackFile> FReader;
    std::unique_ptr<TSoundTrackFile> FSoundFile;
    std::unique_ptr<TSpxStream> FVoice;
};

} // namespace vsr
