#include "cli/RecordingSummary.h"

#include "audio/SpxStream.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundTrackFile.h"

namespace vsr::cli {

namespace {

TAudioSummary SummariseVoice(TSpxStream& voice) {
    TAudioSummary audio;
    audio.Magic = voice.LoadSilences(); // silences are asked for: they load exactly with the magic
    audio.Channels = voice.Channels();
    audio.Rate = voice.Rate();
    audio.Quality = voice.Quality();
    audio.Complexity = voice.Complexity();
    audio.CompBlock = voice.CompBlock();
    audio.PcmBlock = voice.PcmBlock();
    audio.TotalSilence = voice.TotalSilence();
    audio.Size = voice.Size();
    audio.Duration = voice.Duration();
    if (const TRecordSilenceList* silences = voice.Silences())
        for (std::size_t i = 0; i < silences->Count(); ++i)
            audio.Silences.push_back((*silences)[i]);
    audio.Intervals = SoundIntervals(voice);
    return audio;
}

TAudioSummary SummariseAudio(const std::string& fileName) {
    try {
        const TSoundTrackFile sound(fileName);
        TSpxStream voice(sound.FileName(), TFileMode::OpenRead, TSpxSilences::Load);
        return SummariseVoice(voice);
    } catch (const std::exception& error) {
        TAudioSummary audio;
        audio.Error = error.what();
        return audio;
    }
}

} // namespace

TRecordingSummary SummariseRecording(const std::string& fileName) {
    TScreenRecorderPlaybackFile reader(fileName);
    TRecordingSummary summary;
    summary.FileName = fileName;
    summary.Header = reader.Header();
    for (std::size_t i = 0; i < reader.KeyFrames().Count(); ++i)
        summary.KeyFrames.push_back(reader.KeyFrames()[i]);
    summary.CursorCount = static_cast<std::int64_t>(reader.Cursors().Count());
    if (!reader.Cursors().Empty())
        summary.FirstCursor = reader.Cursors()[0];

    TStream& stream = reader.GetStream();
    summary.Size = stream.Size();
    summary.SoundTrack = LocateSoundTrack(stream, summary.Header.AudioOffset);
    if (summary.SoundTrack.Trailer && summary.SoundTrack.Damage.empty()) {
        const std::int64_t offset = summary.SoundTrack.Trailer->OverlayOffset;
        summary.Overlay = TOverlaySummary{offset, ReadOverlayBlock(stream, offset)};
    }
    summary.Audio = SummariseAudio(fileName);
    return summary;
}

} // namespace vsr::cli
