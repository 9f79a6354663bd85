#pragma once
// TScreenRecorderOverlayFile: the contents of an overlay block: the header picture shown before
// playback, the trailer picture shown after it, how long each stays up, and the link opened at
// the end.

#include "platform/Stream.h"
#include "recording/Picture.h"
#include "shell/Exception.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vsr {

// The stream holds no overlay block there, or one whose ranges lie outside the stream.
class EScreenRecorderOverlayFile : public Exception {
public:
    using Exception::Exception;
};

// The longest a header or trailer picture stays up, in seconds; longer delays are clamped.
inline constexpr std::int32_t MaxOverlayDelay = 3600;

class TScreenRecorderOverlayFile {
public:
    TScreenRecorderOverlayFile() = default;

    // Reads the block that starts at the stream's position; positions in the block count from
    // there. Raises EScreenRecorderOverlayFile with sInvalidSRFile for another magic, a block
    // shorter than its header, or a picture or link range outside the stream; the picture
    // classes' EPicture for bytes they cannot decode; EStreamError for a link that runs past
    // the data. On an error the object keeps what it held.
    void LoadFromStream(TStream& stream);

    const TPicture* HeaderPicture() const { return FHeaderPicture.get(); }
    const TPicture* TrailerPicture() const { return FTrailerPicture.get(); }
    std::int32_t HeaderDelay() const { return FHeaderDelay; }   // seconds, 0..MaxOverlayDelay
    std::int32_t TrailerDelay() const { return FTrailerDelay; } // seconds
    const std::string& Link() const { return FLink; }           // empty: none
    bool TrailerIsHeader() const { return FTrailerIsHeader; }

private:
    std::unique_ptr<TPicture> FHeaderPicture;
    std::unique_ptr<TPicture> FTrailerPicture;
    std::int32_t FHeaderDelay = 0;
    std::int32_t FTrailerDelay = 0;
    std::string FLink;
    bool FTrailerIsHeader = false;
};

} // namespace vsr
