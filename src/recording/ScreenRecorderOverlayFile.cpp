#include "recording/ScreenRecorderOverlayFile.h"

#include "recording/PictureFactory.h"
#include "recording/Streamer.h"
#include "recording/VSRRecords.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <utility>

namespace vsr {

namespace {

[[noreturn]] void InvalidBlock() {
    throw EScreenRecorderOverlayFile(std::string(sInvalidSRFile));
}

// A range of the block must lie inside the stream: a damaged header must not make us read or
// allocate beyond the data.
void CheckRange(std::int64_t base, std::int64_t size, std::int64_t start, std::int64_t end) {
    if (start < 0 || end < start || end > size - base)
        InvalidBlock();
}

std::unique_ptr<TPicture> LoadPicture(TStream& stream, std::int64_t base, std::int64_t start,
                                      std::int64_t end, std::uint8_t typeCode) {
    CheckRange(base, stream.Size(), start, end);
    std::unique_ptr<TPicture> picture = CreatePicture(typeCode);
    if (!picture)
        return nullptr;
    stream.SetPosition(base + start);
    TMemoryStream bytes;
    bytes.CopyFrom(stream, end - start);
    bytes.SetPosition(0);
    picture->LoadFromStream(bytes);
    return picture;
}

// A delay outside 0..MaxOverlayDelay seconds could never end (a negative one, or one whose
// milliseconds overflow a timer's 32 bits): the player would hang on the picture.
std::int32_t CheckedDelay(const char* which, std::int32_t seconds) {
    const std::int32_t clamped = std::clamp(seconds, 0, MaxOverlayDelay);
    if (clamped != seconds)
        TraceFmt("%s delay of %d s taken as %d s", which, seconds, clamped);
    return clamped;
}

} // namespace

void TScreenRecorderOverlayFile::LoadFromStream(TStream& stream) {
    const std::int64_t base = stream.Position();
    TStreamer streamer(stream);
    TOverlayHeader header{};
    if (!streamer.TryRead(header) || !HasOverlayMagic(header))
        InvalidBlock();

    std::unique_ptr<TPicture> headerPicture;
    if (header.HeaderPictureStart != header.HeaderPictureEnd)
        headerPicture = LoadPicture(stream, base, header.HeaderPictureStart,
                                    header.HeaderPictureEnd, header.HeaderPictureType);

    std::unique_ptr<TPicture> trailerPicture;
    const bool trailerIsHeader = header.TrailerPictureStart == header.HeaderPictureStart;
    if (trailerIsHeader) {
        if (headerPicture)
            trailerPicture = headerPicture->Clone();
    } else if (header.TrailerPictureStart != header.TrailerPictureEnd) {
        trailerPicture = LoadPicture(stream, base, header.TrailerPictureStart,
                                     header.TrailerPictureEnd, header.TrailerPictureType);
    }

    std::string link;
    if (header.LinkStart != header.LinkEnd) {
        CheckRange(base, stream.Size(), header.LinkStart, header.LinkEnd);
        stream.SetPosition(base + header.LinkStart);
        link = streamer.ReadString();
    }

    FHeaderPicture = std::move(headerPicture);
    FTrailerPicture = std::move(trailerPicture);
    FTrailerIsHeader = trailerIsHeader;
    FLink = std::move(link);
    FHeaderDelay = CheckedDelay("Header", header.HeaderDelay);
    FTrailerDelay = CheckedDelay("Trailer", header.TrailerDelay);
}

} // namespace vsr
