#pragma once
// TCustomScreenRecorderPlaybackFile: the recording reader base and the reader interface of the
// player. It reads frame records segment by segment: only the current key-frame segment is
// being inflated, forward only, and only the current record's payload is held (in the
// caller's buffer). The key-frame index and the cursor track are held whole.
//
// Subclasses attach the stream, read the header and load the two lists with the protected
// operations; a subclass may load the lists later than its construction.
//
// One thread at a time; the owner stops reading before it seeks.
//
// Damaged files: a record whose Size is negative or exceeds what is left of its segment ends
// that segment as its end would: the record is skipped and reading goes on in the next
// segment. Payload memory grows only as decompressed bytes arrive.

#include "recording/RecordLists.h"
#include "recording/TileDib.h"
#include "recording/VSRRecords.h"
#include "recording/ZDecompressionStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vsr {

class TCustomScreenRecorderPlaybackFile {
public:
    using TKeyFrameEvent = std::function<void(TCustomScreenRecorderPlaybackFile& sender)>;

    virtual ~TCustomScreenRecorderPlaybackFile() = default;
    TCustomScreenRecorderPlaybackFile(const TCustomScreenRecorderPlaybackFile&) = delete;
    TCustomScreenRecorderPlaybackFile& operator=(const TCustomScreenRecorderPlaybackFile&) = delete;

    // Called each time a key-frame segment has been opened.
    TKeyFrameEvent OnKeyFrame;

    // The recording's bytes (position 0 = its first byte; the caller may move the position).
    // Only while no segment is being read: calling it during reading is a programming error,
    // which asserts in debug builds and raises vsr::Exception otherwise.
    virtual TStream& GetStream();
    // Like ReadFrame, with the payload in buffer (resized; emptied when the payload is short).
    virtual bool ReadFrameToBuffer(std::uint32_t& time, std::int32_t& x, std::int32_t& y,
                                   std::vector<std::byte>& buffer);
    // The next frame record: true with frame holding the payload at position 0 (empty when the
    // payload was cut short); false when there is no further record.
    virtual bool ReadFrame(std::uint32_t& time, std::int32_t& x, std::int32_t& y,
                           TMemoryStream& frame);
    // Positions at the first key frame not before time; its time, or StopTickCount if none.
    virtual std::uint32_t SeekTime(std::uint32_t time);
    // One step of key frames; the time reading resumes at, or StopTickCount past the end.
    virtual std::uint32_t SeekKeyFrame(bool forward);

    // True when the next read opens a segment: none open, or the open one is used up.
    bool NeedsNextSegment() const;

    const TVSRHeader& Header() const { return FHeader; }
    const TKFList& KeyFrames() const { return FKeyFrames; }
    const TCursorList& Cursors() const { return FCursors; }
    std::int32_t CurrentKeyFrame() const { return FCurrentKeyFrame; }
    const std::string& FileName() const { return FFileName; }
    // The time of key frame index: its Time field, but 0 for the first entry.
    std::uint32_t KeyFrameTime(std::size_t index) const;

protected:
    TCustomScreenRecorderPlaybackFile() = default;

    void SetFileName(const std::string& fileName) { FFileName = fileName; }
    void AttachStream(std::unique_ptr<TStream> stream);
    TStream* Stream() const { return FStream.get(); }
    bool Decompressing() const { return FDecompressor != nullptr; }
    void CloseDecompressor() { FDecompressor.reset(); }

    // Reads the header at position 0; raises the invalid-file error when it is no recording or
    // its screen size is out of range.
    void ReadHeader();
    // Replace the list with the track at offset; a damaged track raises the invalid-file
    // error and leaves the list as it was. Key frames are loaded before frames are read.
    void LoadKeyFrames(std::int64_t offset);
    void LoadCursors(std::int64_t offset);

private:
    template <typename TEntry> std::vector<TEntry> ReadTrack(std::int64_t offset);
    template <typename TResize> bool ReadFrameRecord(TFrameRecord& head, TResize resize);
    bool ReadRecordHead(TFrameRecord& head);
    bool PayloadFitsSegment(const TFrameRecord& head) const;
    void OpenNextSegment();
    bool SegmentReadable(std::int32_t index) const;

    // Declared so that destruction closes the decompressor, then the stream, then the lists.
    TKFList FKeyFrames;
    TCursorList FCursors;
    TVSRHeader FHeader{};
    std::int64_t FMaxPayload = 0; // a longer record is damage: no tile of the screen needs it
    std::int32_t FCurrentKeyFrame = -1;
    std::string FFileName;
    std::unique_ptr<TStream> FStream;
    std::unique_ptr<TZDecompressionStream> FDecompressor;
};

} // namespace vsr
