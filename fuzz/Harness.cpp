#include "Harness.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxStream.h"
#include "recording/AppendedRecording.h"
#include "recording/PictureFactory.h"
#include "recording/ScreenRecorderOverlayFile.h"
#include "recording/SoundAndOverlaySplit.h"
#include "recording/StreamRequests.h"
#include "render/Drawing.h"
#include "render/Snapshot.h"
#include "render/TileDecoder.h"
#include "shell/LanguageFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vsr::fuzz {

namespace {

// A recording reader over bytes in memory: what the file reader does, without a file.
class TMemoryRecording : public TCustomScreenRecorderPlaybackFile {
public:
    explicit TMemoryRecording(TInput bytes) {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(std::as_bytes(bytes));
        AttachStream(std::move(stream));
        ReadHeader();
        LoadKeyFrames(Header().KeyFrameIndexOffset);
        LoadCursors(Header().CursorTrackOffset);
    }
};

std::unique_ptr<TMemoryStream> StreamOf(TInput input) {
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(std::as_bytes(input));
    stream->SetPosition(0);
    return stream;
}

template <typename TWork> void Guarded(TWork work) {
    try {
        work();
    } catch (const Exception&) {
    }
}

void ExercisePicture(std::uint8_t typeCode, TInput input) {
    Guarded([&] {
        auto picture = CreatePicture(typeCode);
        picture->LoadFromBytes(std::as_bytes(input));
        picture->Clone();
    });
}

// Private files for the parsers that read files.
std::string PrivateFile(const char* name) {
    return "/tmp/vsr-fuzz-" + std::to_string(getpid()) + "-" + name;
}

} // namespace

void SetSndKitPath(const std::string& path) {
    SndKitLibrary().SetFileName(path);
}

void ExerciseRecording(TInput input) {
    Guarded([&] {
        TMemoryRecording reader(input);
        TBitmap32 bitmap(reader.Header().Width, reader.Header().Height);
        for (const std::uint32_t time : {0u, 2500u, 10000u, 0xFFFFFFFFu})
            ComposeAt(reader, time, bitmap);
        CursorPosAt(reader.Cursors(), 1000);
        reader.SeekKeyFrame(true);
        reader.SeekKeyFrame(false);
        std::vector<std::byte> buffer;
        std::uint32_t time = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
        for (int records = 0; records < 10000 && reader.ReadFrameToBuffer(time, x, y, buffer);)
            ++records;
    });
}

void ExerciseTile(TInput input) {
    std::int16_t place[2] = {0, 0}; // where the tile goes, from the input's first bytes
    if (input.size() >= sizeof place) {
        std::memcpy(place, input.data(), sizeof place);
        input = input.subspan(sizeof place);
    }
    auto payload = StreamOf(input);
    TTileDecoder decoder;
    TBitmap32 direct(320, 240);
    const TTileSize drawn = DrawTile(std::as_bytes(input), direct, place[0], place[1]);
    if (const TTileImage* tile = decoder.TileToBitmap(*payload)) {
        TBitmap32 screen(320, 240);
        BlitTile(screen, tile->View(), place[0], place[1]);
        // Decoding straight into the picture must give the tile blit's pixels exactly.
        if (drawn.Width != tile->Width || !std::ranges::equal(screen.Pixels(), direct.Pixels()))
            std::abort();
    } else if (drawn.Width != 0) {
        std::abort();
    }
}

void ExerciseVoice(TInput input) {
    const std::string name = PrivateFile("voice.spx");
    {
        TFileStream file(name, TFileMode::Create);
        file.WriteBuffer(std::as_bytes(input));
    }
    Guarded([&] {
        TSpxStream stream(name, TFileMode::OpenRead, TSpxSilences::Load);
        std::vector<std::byte> pcm(3200);
        for (int blocks = 0; blocks < 2000 && stream.Read(pcm) > 0;)
            ++blocks;
        for (const std::int64_t at : {stream.Size() / 2, std::int64_t{3200}, std::int64_t{0}}) {
            stream.SetPlayPosition(at);
            stream.Read(pcm);
        }
    });
    std::remove(name.c_str());
}

void ExerciseOverlay(TInput input) {
    auto block = StreamOf(input);
    Guarded([&] { TScreenRecorderOverlayFile().LoadFromStream(*block); });
}

void ExerciseBitmap(TInput input) {
    ExercisePicture(1, input);
}

void ExerciseJpeg(TInput input) {
    ExercisePicture(2, input);
}

void ExerciseGif(TInput input) {
    ExercisePicture(3, input);
}

void ExerciseAppended(TInput input) {
    Guarded([&] {
        auto player = StreamOf(input);
        const auto range = FindAppendedRecording(*player);
        if (!range)
            return;
        TMemoryRecording reader(
            input.subspan(static_cast<std::size_t>(range->Offset), range->Size));
        const TSoundAndOverlay split =
            SplitSoundAndOverlay(reader.GetStream(), reader.Header().AudioOffset, "/tmp");
        std::remove(split.SoundFileName.c_str());
    });
}

void ExerciseLanguage(TInput input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const TLanguageFile file = TLanguageFile::Parse(text, "TSRPlaybackDlg");
    for (const char* key : {"PlayButtonHint", "Caption", "StopButtonCaption"})
        BackquotesToLineBreaks(file.Value(key));
}

void ExerciseAnswers(TInput input) {
    if (input.size() < 2)
        return;
    // The first byte chooses the HTTP status, the second the size asked for.
    constexpr int Statuses[] = {200, 200, 200, 200, 206, 302, 404, 500, 0};
    const int status = Statuses[input[0] % std::size(Statuses)];
    const std::int64_t requested = input[1] * 257;
    const auto bytes = std::as_bytes(input.subspan(2));
    const TByteString body(bytes.begin(), bytes.end());
    Guarded([&] { ReadFileInformation(status, body); });
    Guarded([&] { ReadBlockAnswer(status, body, requested); });
    Guarded([&] { ReadHeaderBytes(ReadBlockAnswer(status, body, sizeof(TVSRHeader))); });
}

} // namespace vsr::fuzz
