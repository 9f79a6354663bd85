#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/RecordingSummary.h"
#include "shell/Format.h"

#include <cstdio>
#include <string>

namespace vsr::cli {

namespace {

void JsonOverlay(TJsonWriter& json, const TOverlaySummary& overlay) {
    const TOverlayHeader& header = overlay.Block.Header;
    json.BeginObject();
    json.Key("offset").Value(overlay.Offset);
    json.Key("header_picture_type").Value(std::int64_t{header.HeaderPictureType});
    json.Key("trailer_picture_type").Value(std::int64_t{header.TrailerPictureType});
    json.Key("trailer_is_header").Value(overlay.Block.TrailerIsHeader());
    json.Key("header_delay").Value(std::int64_t{header.HeaderDelay});
    json.Key("trailer_delay").Value(std::int64_t{header.TrailerDelay});
    json.Key("link").Value(overlay.Block.Link);
    json.EndObject();
}

void JsonTracks(TJsonWriter& json, const TRecordingSummary& s) {
    json.Key("key_frames").BeginArray();
    for (const TKeyFrameEntry& entry : s.KeyFrames) {
        json.BeginObject().Key("offset").Value(entry.Offset).Key("size").Value(entry.Size);
        json.Key("time").Value(std::int64_t{entry.Time}).EndObject();
    }
    json.EndArray();
    json.Key("cursors").BeginObject().Key("count").Value(s.CursorCount).Key("first");
    if (s.FirstCursor)
        json.BeginArray()
            .Value(std::int64_t{s.FirstCursor->Time})
            .Value(std::int64_t{s.FirstCursor->X})
            .Value(std::int64_t{s.FirstCursor->Y})
            .EndArray();
    else
        json.Null();
    json.EndObject();
}

void JsonPairs(TJsonWriter& json, const auto& items, auto first, auto second) {
    json.BeginArray();
    for (const auto& item : items)
        json.BeginArray()
            .Value(std::int64_t{item.*first})
            .Value(std::int64_t{item.*second})
            .EndArray();
    json.EndArray();
}

void JsonAudio(TJsonWriter& json, const TAudioSummary& a) {
    json.BeginObject();
    if (!a.Error.empty()) {
        json.Key("error").Value(a.Error).EndObject();
        return;
    }
    json.Key("magic").Value(a.Magic).Key("channels").Value(std::int64_t{a.Channels});
    json.Key("rate").Value(std::int64_t{a.Rate}).Key("quality").Value(std::int64_t{a.Quality});
    json.Key("complexity").Value(std::int64_t{a.Complexity});
    json.Key("encoded_frame_bytes").Value(a.CompBlock / 10);
    json.Key("comp_block").Value(a.CompBlock).Key("pcm_block").Value(a.PcmBlock);
    json.Key("total_silence").Value(a.TotalSilence).Key("size").Value(a.Size);
    json.Key("duration").Value(a.Duration).Key("silences");
    JsonPairs(json, a.Silences, &TSpxSilence::Start, &TSpxSilence::Length);
    json.Key("intervals");
    JsonPairs(json, a.Intervals, &TSoundInterval::From, &TSoundInterval::To);
    json.EndObject();
}

std::string Json(const TRecordingSummary& s) {
    const TVSRHeader& h = s.Header;
    TJsonWriter json;
    json.BeginObject();
    json.Key("file").Value(s.FileName).Key("size").Value(s.Size).Key("magic").Value("VSR2.1");
    json.Key("width").Value(std::int64_t{h.Width}).Key("height").Value(std::int64_t{h.Height});
    json.Key("start_date_time").Value(h.StartDateTime);
    json.Key("stop_date_time").Value(h.StopDateTime);
    json.Key("start_tick").Value(std::int64_t{h.StartTickCount});
    json.Key("stop_tick").Value(std::int64_t{h.StopTickCount});
    json.Key("duration_ms").Value(std::int64_t{s.DurationMs()});
    json.Key("audio_offset").Value(h.AudioOffset);
    json.Key("key_frame_index_offset").Value(h.KeyFrameIndexOffset);
    json.Key("cursor_track_offset").Value(h.CursorTrackOffset);
    JsonTracks(json, s);
    json.Key("sound_track").BeginObject().Key("offset").Value(s.SoundTrack.Offset);
    json.Key("end").Value(s.SoundTrack.End);
    json.Key("bytes").Value(s.SoundTrack.Bytes());
    if (!s.SoundTrack.Damage.empty())
        json.Key("damage").Value(s.SoundTrack.Damage);
    json.EndObject();
    json.Key("overlay");
    if (s.Overlay)
        JsonOverlay(json, *s.Overlay);
    else
        json.Null();
    json.Key("audio");
    JsonAudio(json, s.Audio);
    json.EndObject();
    return json.Text();
}

std::string Text(const TRecordingSummary& s) {
    const TVSRHeader& h = s.Header;
    std::string text = Format("File:           %s (%d bytes)\n", s.FileName, s.Size);
    text += Format("Screen area:    %d x %d\n", h.Width, h.Height);
    text += Format("Duration:       %d ms (ticks %u to %u)\n", s.DurationMs(), h.StartTickCount,
                   h.StopTickCount);
    text += Format("Key frames:     %d (index at %d)\n", s.KeyFrames.size(), h.KeyFrameIndexOffset);
    for (std::size_t i = 0; i < s.KeyFrames.size(); ++i)
        text += Format("  %4d  time %8u  offset %10d  size %10d\n", i, s.KeyFrames[i].Time,
                       s.KeyFrames[i].Offset, s.KeyFrames[i].Size);
    text += Format("Cursor track:   %d positions (at %d)\n", s.CursorCount, h.CursorTrackOffset);
    text += s.SoundTrack.Damage.empty()
                ? Format("Sound track:    %d to %d (%d bytes)\n", s.SoundTrack.Offset,
                         s.SoundTrack.End, s.SoundTrack.Bytes())
                : Format("Sound track:    damaged: %s\n", s.SoundTrack.Damage);
    text += s.Audio.Error.empty()
                ? Format("Voice track:    %d bytes decoded (%d s), quality %d, %d silences\n",
                         s.Audio.Size, s.Audio.Duration, s.Audio.Quality, s.Audio.Silences.size())
                : Format("Voice track:    %s\n", s.Audio.Error);
    if (!s.Overlay)
        return text + "Overlay:        none\n";
    const TOverlayHeader& o = s.Overlay->Block.Header;
    text += Format("Overlay:        at %d; header picture type %d for %d s; ", s.Overlay->Offset,
                   o.HeaderPictureType, o.HeaderDelay);
    text +=
        s.Overlay->Block.TrailerIsHeader()
            ? Format("trailer is the header picture for %d s\n", o.TrailerDelay)
            : Format("trailer picture type %d for %d s\n", o.TrailerPictureType, o.TrailerDelay);
    return text + Format("Link:           %s\n", s.Overlay->Block.Link);
}

} // namespace

int InfoCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const bool json = TakeFlag(args, "--json");
    const TRecordingSummary summary = SummariseRecording(SingleFile(args));
    const std::string output = json ? Json(summary) + "\n" : Text(summary);
    std::fwrite(output.data(), 1, output.size(), stdout);
    return 0;
}

} // namespace vsr::cli
