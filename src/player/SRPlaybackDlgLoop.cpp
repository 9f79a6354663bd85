// The playback loop on BackExec1's worker, the audio clock it follows, and the window's side
// of the wave output.
#include "player/SRPlaybackDlg.h"

#include "recording/ScreenRecorderPlaybackStream.h"
#include "render/Geometry.h"
#include "render/TileDecoder.h"
#include "shell/Trace.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vsr {

namespace {

constexpr auto cClockPoll = std::chrono::milliseconds(20);
constexpr auto cBufferingPoll = std::chrono::milliseconds(50);

} // namespace

// The voice track's byte being heard: what the shaper produced, less what the wave output
// still holds.
// The queued buffers less what has been heard of the one playing.
std::int64_t TSRPlaybackDlg::HeardBytes() const {
    const std::int32_t bufferBytes = AudioPlayback.BufferSize();
    const std::int32_t queued = AudioPlayback.QueuedBuffers();
    const bool running = FPlaying && !AudioPlayback.Paused() && queued > 0;
    const std::int64_t heardOfBuffer = FClock.HeardOfCurrentBuffer(
        AudioPlayback.ProcessedBuffers(), bufferBytes, running, std::chrono::steady_clock::now());
    return FShaper.HeardPosition(std::int64_t{queued} * bufferBytes - heardOfBuffer);
}

void TSRPlaybackDlg::RestartClock(std::int64_t position) {
    FShaper.Restart(position);
    FClock.Reset();
}

std::uint32_t TSRPlaybackDlg::PlayTime() const {
    if (!FAudioStream)
        return 0;
    const std::int64_t time = HeardBytes() / cPcmBytesPerMs;
    return time < 0 ? 0 : static_cast<std::uint32_t>(time);
}

// The cursor drawn is the next recorded position after time.
void TSRPlaybackDlg::UpdateCursorPos(std::uint32_t time) {
    if (const std::optional<TPoint> next = NextCursorPos(FReader->Cursors(), time)) {
        FCursorX = next->X;
        FCursorY = next->Y;
    }
}

// Pausing does not end this wait: the clock simply stands still.
void TSRPlaybackDlg::WaitUntil(std::uint32_t time) {
    while (time > PlayTime() && !BackExec1.Terminated() && FPlaying) {
        UpdateCursorPos(PlayTime());
        std::this_thread::sleep_for(cClockPoll);
    }
}

// Only a streamed recording can run short of data; a file holds all of it. The voice is held
// while the loop waits, so that the clock waits with it.
TSRPlaybackDlg::TStreamPass TSRPlaybackDlg::StreamUnderflowPass() {
    const auto* stream = dynamic_cast<const TScreenRecorderPlaybackStream*>(FReader.get());
    if (!stream)
        return TStreamPass::Read;
    if (stream->NeedsNextSegment() && !stream->MayReadSegment(stream->CurrentKeyFrame() + 1)) {
        Trace("Not enough data - sleeping");
        if (!FBuffering) {
            FBuffering = true;
            FPausedBeforeBuffering = AudioPlayback.Paused();
            AudioPlayback.SetPaused(true);
        }
        if (!WaitRunEvent())
            return TStreamPass::Leave;
        std::this_thread::sleep_for(cBufferingPoll);
        return TStreamPass::Wait;
    }
    if (FBuffering) {
        Trace("Enough data - no more sleeping");
        FBuffering = false;
        AudioPlayback.SetPaused(FPausedBeforeBuffering);
    }
    return TStreamPass::Read;
}

bool TSRPlaybackDlg::WaitRunEvent() {
    TEvent* const events[] = {&FRunEvent, &FStopEvent};
    return WaitForAny(events) == 0;
}

void TSRPlaybackDlg::BackExec1Exec(TCustomBackExec& sender) {
    TMemoryStream payload;
    TTileDecoder decoder(TileLimitFor(FReader->Header().Width, FReader->Header().Height));
    FBuffering = false;
    FPausedBeforeBuffering = false;
    std::int64_t frames = 0;
    std::uint32_t time = 0;
    while (!sender.Terminated()) {
        const TStreamPass pass = StreamUnderflowPass();
        if (pass == TStreamPass::Leave)
            break;
        if (pass == TStreamPass::Wait)
            continue;
        std::int32_t x = 0;
        std::int32_t y = 0;
        TMemoryStream* frame = &payload;
        if (FNextFrame.Valid) {
            FNextFrame.Valid = false;
            time = FNextFrame.Time;
            x = FNextFrame.X;
            y = FNextFrame.Y;
            frame = &FNextFrame.Payload;
        } else if (!FReader->ReadFrame(time, x, y, payload)) {
            break;
        }
        ++frames;
        DrawFrame(*frame, time, x, y, decoder);
        if (!WaitRunEvent())
            break;
    }
    RequestRepaint();
    FinalWait(time, frames);
}

// Worker: every whole screen update is shown, not only what the update timer finds; while a
// repaint is on its way, later requests join it.
void TSRPlaybackDlg::RequestRepaint() {
    if (!FRepaintPosted.exchange(true))
        FMessages->Post({cRepaintMessage, 0, 0});
}

// Only what the loop drew is painted again: a few tiles of a large picture cost a few tiles.
void TSRPlaybackDlg::AddDirty(std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height) {
    const TRect area = VisiblePart(x, y, width, height, FBitmap->Width(), FBitmap->Height());
    const std::lock_guard lock(FDirtyLock);
    FDirty = UnionRect(FDirty, area);
}

// Steps 4 to 9 of a pass: the tile measured, the wait for a new screen update's time, then
// the tile decoded into the picture.
void TSRPlaybackDlg::DrawFrame(TMemoryStream& payload, std::uint32_t time, std::int32_t x,
                               std::int32_t y, TTileDecoder& decoder) {
    const TTileSize tile = decoder.Measure(payload);
    TraceFmt("Img: %d, %d  %d, %d    Time: %d, PlayTime: %d", x, y, tile.Width, tile.Height, time,
             PlayTime());
    if (FLastY > y || (FLastY == y && FLastX >= x)) {
        RequestRepaint(); // the update before this record is whole
        TraceFmt("Delay with cursor update: %d", time);
        WaitUntil(time);
    }
    UpdateCursorPos(time);
    // Decoded only now, straight into the picture: nothing is drawn before its time.
    const TTileSize drawn = decoder.DrawTile(payload, *FBitmap, x, y);
    AddDirty(x, y, drawn.Width, drawn.Height);
    FLastX = x;
    FLastY = y;
}

// The run lasts as long as the recording unless it is stopped.
void TSRPlaybackDlg::FinalWait(std::uint32_t lastTime, std::int64_t frames) {
    const TVSRHeader& header = FReader->Header();
    const std::uint32_t duration = header.StopTickCount - header.StartTickCount;
    TraceFmt("Images played back: %d", frames);
    TraceFmt("Header.StopTickCount: %d. T: %d", duration, lastTime);
    // Recording time runs at the speed.
    const auto remaining = static_cast<std::int32_t>(
        static_cast<std::int32_t>(duration - PlayTime()) / FShaper.Speed());
    if (remaining > 0)
        FStopEvent.Wait(std::chrono::milliseconds(remaining));
}

bool TSRPlaybackDlg::AudioPlaybackFillBuffer(std::span<std::byte> buffer, std::int32_t& size) {
    if (!FAudioStream) {
        size = 0;
        return false;
    }
    if (!VoiceAhead()) {
        size = -1; // a streamed voice still on its way: the output waits
        return false;
    }
    const auto wanted = std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(size));
    size = static_cast<std::int32_t>(FShaper.Fill(*FAudioStream, buffer.first(wanted)));
    return size > 0;
}

} // namespace vsr
