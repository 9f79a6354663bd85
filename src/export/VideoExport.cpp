#include "export/VideoExport.h"

#include "export/MediaWriter.h"
#include "export/Palette.h"
#include "platform/TempFiles.h"
#include "render/PictureSequence.h"
#include "render/Snapshot.h"
#include "shell/Format.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vsr {

namespace {

constexpr std::int64_t cPcmBytesPerMs = 16;
constexpr std::int32_t cMinWidth = 16;

void CheckOptions(const TExportOptions& options) {
    if (options.Fps < 1 || options.Fps > 60)
        throw EExport(Format("--fps must lie between 1 and 60, not %d", options.Fps));
    if (options.Quality < 1 || options.Quality > 100)
        throw EExport(Format("--quality must lie between 1 and 100, not %d", options.Quality));
    if (options.Width && (*options.Width < cMinWidth || *options.Width > TBitmap32::MaxSide))
        throw EExport(Format("--width must lie between %d and %d, not %d", cMinWidth,
                             TBitmap32::MaxSide, *options.Width));
}

// The picture the player shows at time, with the pointer where it is then, and the area that
// changed since the previous one.
class TFrameSource {
public:
    struct TFrame {
        const TBitmap32& Picture;
        TChangedArea Changed;
    };

    TFrameSource(TScreenRecorderPlaybackFile& reader, bool cursor)
        : FReader(reader), FCursor(cursor), FSequence(reader, FPicture) {
        PrepareBitmap(FPicture, reader.Header().Width, reader.Header().Height);
        if (cursor) // the first picture is composed whole, so the copy is then filled whole
            PrepareBitmap(FWithCursor, reader.Header().Width, reader.Header().Height);
    }
    TFrame At(std::uint32_t time) {
        FSequence.ShowAt(time);
        TChangedArea changed = FSequence.TakeChanged();
        if (!FCursor)
            return {FPicture, changed};
        // The pointer goes on a copy, so that the next picture builds on the one without it;
        // the copy is brought up to date where the picture changed and where the pointer was.
        changed.Add(FCursorArea);
        for (const TRect& area : changed.Rects())
            for (std::int32_t y = area.Top; y < area.Bottom; ++y)
                std::copy(FPicture.Bits() + y * FPicture.Width() + area.Left,
                          FPicture.Bits() + y * FPicture.Width() + area.Right,
                          FWithCursor.Row(y) + area.Left);
        FCursorArea = DrawRecordedCursor(FWithCursor, CursorPosAt(FReader.Cursors(), time));
        changed.Add(FCursorArea);
        return {FWithCursor, changed};
    }

private:
    TScreenRecorderPlaybackFile& FReader;
    bool FCursor;
    TBitmap32 FPicture;
    TBitmap32 FWithCursor;
    TRect FCursorArea;
    TPictureSequence FSequence;
};

// The decoded voice from a start, in pieces; zeros past its end.
class TVoiceSource {
public:
    TVoiceSource(TSpxStream& voice, std::uint32_t from) : FVoice(voice) {
        const std::int64_t wanted = std::min<std::int64_t>(from * cPcmBytesPerMs, voice.Size());
        FPosition = voice.SeekFrame(wanted);
        std::vector<std::int16_t> skipped;
        Take(static_cast<std::size_t>((wanted - FPosition) / 2), skipped);
        FPosition = from * cPcmBytesPerMs;
    }
    // The samples up to time (ms) not handed out yet.
    void Until(std::uint32_t time, std::vector<std::int16_t>& samples) {
        const std::int64_t end = std::int64_t{time} * cPcmBytesPerMs;
        samples.clear();
        if (end > FPosition)
            Take(static_cast<std::size_t>((end - FPosition) / 2), samples);
        FPosition = std::max(FPosition, end);
    }

private:
    void Take(std::size_t count, std::vector<std::int16_t>& samples) {
        samples.assign(count, 0);
        auto bytes = std::as_writable_bytes(std::span(samples));
        while (!bytes.empty()) {
            const std::size_t got = FVoice.Read(bytes);
            if (got == 0)
                break; // past the voice: silence
            bytes = bytes.subspan(got);
        }
    }

    TSpxStream& FVoice;
    std::int64_t FPosition = 0;
};

} // namespace

TVideoExport::TVideoExport(const std::string& input, const std::string& output,
                           const TExportOptions& options)
    : FInput(input), FOutput(output), FOptions(options) {
    FPlan.Format = ExportFormatFor(output);
    CheckOptions(options);
    FReader = std::make_unique<TScreenRecorderPlaybackFile>(input);
    FSoundFile = std::make_unique<TSoundTrackFile>(input);
    FVoice = std::make_unique<TSpxStream>(FSoundFile->FileName(), TFileMode::OpenRead,
                                          TSpxSilences::Load);
    const TVSRHeader& header = FReader->Header();
    // Playback lasts until both the pictures and the voice have ended.
    const auto length = std::max<std::int64_t>(header.StopTickCount - header.StartTickCount,
                                               FVoice->Size() / cPcmBytesPerMs);
    FPlan.From = options.From.value_or(0);
    FPlan.To =
        static_cast<std::uint32_t>(std::min<std::int64_t>(options.To.value_or(length), length));
    if (FPlan.From >= FPlan.To)
        throw EExport(Format("Nothing to export: the part from %d ms to %d ms is empty (the "
                             "recording lasts %d ms)",
                             FPlan.From, FPlan.To, length));
    FPlan.Frames = (std::int64_t{FPlan.To - FPlan.From} * options.Fps + 999) / 1000;
    FPlan.Width = options.Width.value_or(header.Width);
    FPlan.Height = std::max<std::int32_t>(
        2, static_cast<std::int32_t>(
               std::lround(static_cast<double>(header.Height) * FPlan.Width / header.Width)));
}

TVideoExport::~TVideoExport() = default;

void TVideoExport::Run(const TExportProgress& progress, const std::atomic<bool>& cancel) {
    const auto checkCancel = [&] {
        if (cancel)
            throw EExportCancelled("The export was cancelled");
    };
    TMediaSettings settings;
    settings.Format = FPlan.Format;
    settings.SourceWidth = FReader->Header().Width;
    settings.SourceHeight = FReader->Header().Height;
    settings.Width = FPlan.Width;
    settings.Height = FPlan.Height;
    settings.Fps = FOptions.Fps;
    settings.Quality = FOptions.Quality;
    if (FPlan.Format.Container == TExportContainer::Gif) {
        // One palette for the whole export, from every picture it holds.
        TColourCount colours;
        TFrameSource frames(*FReader, FOptions.Cursor);
        for (std::int64_t i = 0; i < FPlan.Frames; ++i) {
            checkCancel();
            colours.Add(frames.At(FPlan.FrameTime(i, FOptions.Fps)).Picture);
        }
        settings.Palette = colours.Palette();
    }
    TOutputFile output(FOutput);
    {
        TMediaWriter writer(output.TempName(), settings);
        TFrameSource frames(*FReader, FOptions.Cursor);
        TVoiceSource voice(*FVoice, FPlan.From);
        std::vector<std::int16_t> samples;
        for (std::int64_t i = 0; i < FPlan.Frames; ++i) {
            checkCancel();
            const auto frame = frames.At(FPlan.FrameTime(i, FOptions.Fps));
            writer.WritePicture(frame.Picture, frame.Changed);
            voice.Until(std::min(FPlan.FrameTime(i + 1, FOptions.Fps), FPlan.To), samples);
            writer.WriteVoice(samples);
            if (progress)
                progress(i + 1, FPlan.Frames);
        }
        writer.Finish();
    }
    output.Commit();
}

} // namespace vsr
