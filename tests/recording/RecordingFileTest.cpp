// Recordings written by the project's writer and read back: segment after segment, seeks,
// refusals, and damaged data that must neither crash, hang nor allocate what the file lacks.
#include "recording/ScreenRecorderPlaybackFile.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

#include <sstream>

// Options name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vsr::test {
namespace {

constexpr std::uint32_t Stop = 0xFFFFFFFF; // StopTickCount as a seek result; no frame as a read
using TFrames = std::vector<std::pair<std::int32_t, std::size_t>>;
// Segments of records: time, the head's Size, payload bytes.
using TSegments = std::vector<std::vector<std::tuple<std::uint32_t, std::int32_t, std::size_t>>>;

struct TReadFrame {
    std::uint32_t Time = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t KeyFrame = -1; // CurrentKeyFrame after the read
    std::vector<std::byte> Payload;
};

// Every frame ReadFrame delivers, at most limit of them (a guard against endless reading). Checks
// that each payload comes back at position 0.
std::vector<TReadFrame> ReadAllFrames(TCustomScreenRecorderPlaybackFile& reader,
                                      std::size_t limit = 100000) {
    std::vector<TReadFrame> frames;
    while (frames.size() < limit) {
        TReadFrame frame;
        TMemoryStream payload;
        payload.SetSize(3); // a stale size and position must not leak into the result
        payload.SetPosition(2);
        if (!reader.ReadFrame(frame.Time, frame.X, frame.Y, payload))
            break;
        if (payload.Position() != 0)
            throw std::logic_error("ReadFrame left the payload position away from 0");
        frame.KeyFrame = reader.CurrentKeyFrame();
        frame.Payload.assign(payload.Memory().begin(), payload.Memory().end());
        frames.push_back(std::move(frame));
    }
    return frames;
}

class Reader : public ::testing::Test {
protected:
    // Payload bytes hold the segment's number.
    void Write(const TSegments& segments, const TRecordingOptions& options = {}) {
        TFileStream file(FFile, TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 16, 8, options);
        for (std::uint8_t i = 0; i < segments.size(); ++i) {
            writer.BeginKeyFrame(std::get<0>(segments[i][0]));
            for (const auto& [time, size, bytes] : segments[i])
                writer.AddRecord({time, 0, 0, size}, Bytes(bytes, i));
        }
        FLayout = writer.Finish({});
    }
    // count segments 10 s apart, each with a record at its start and one 5 s later.
    void WriteSegments(std::uint32_t count, const TRecordingOptions& options = {}) {
        TSegments segments;
        for (std::uint32_t t = 0; t < count * 10000; t += 10000)
            segments.push_back({{t, 4, 4}, {t + 5000, 4, 4}});
        Write(segments, options);
    }
    std::uint32_t NextTime(TCustomScreenRecorderPlaybackFile& reader) {
        const auto frames = ReadAllFrames(reader, 1);
        return frames.empty() ? Stop : frames[0].Time;
    }
    TFrames Frames() { // key frame and payload size of every frame read
        TScreenRecorderPlaybackFile reader(FFile);
        TFrames frames;
        for (const TReadFrame& frame : ReadAllFrames(reader, 10000))
            frames.emplace_back(frame.KeyFrame, frame.Payload.size());
        return frames;
    }

    TTempDir FDir;
    std::string FFile = FDir.File("r.vsr");
    TRecordingLayout FLayout;
};

TEST_F(Reader, ReadsSegmentAfterSegmentTracingEachOpening) {
    WriteSegments(3);
    TScreenRecorderPlaybackFile reader(FFile), other(FFile); // other reads into a buffer
    int opened = 0;
    reader.OnKeyFrame = [&](auto& sender) { EXPECT_EQ(sender.CurrentKeyFrame(), opened++); };
    TCaptureTracer trace;
    TReadFrame out{0, 0, 0, -1, Bytes(99, 0)}; // the buffer comes back at the payload's size
    const auto read = [&] { return other.ReadFrameToBuffer(out.Time, out.X, out.Y, out.Payload); };
    for (std::uint32_t i = 0; i < 6; ++i) {
        const auto frames = ReadAllFrames(reader, 1);
        ASSERT_EQ(frames.size(), 1u);
        const TReadFrame& frame = frames[0];
        EXPECT_EQ(std::tuple(frame.Time, frame.KeyFrame, frame.Payload, reader.NeedsNextSegment()),
                  std::tuple(i / 2 * 10000 + i % 2 * 5000, static_cast<std::int32_t>(i / 2),
                             Bytes(4, static_cast<std::uint8_t>(i / 2)),
                             i % 2 == 1)); // once delivered
        EXPECT_TRUE(read() && out.Time == frame.Time && out.Payload == frame.Payload);
    }
    EXPECT_EQ(std::tuple(NextTime(reader), read(), opened), std::tuple(Stop, false, 3));
    // Each reader traces each opening, the first from -1 to 0.
    EXPECT_EQ(std::tuple(trace.Lines().size(), trace.CountOf("Next KeyFrame: -1 -> 0")),
              std::tuple(8, 2));
}

// Steps of "op argument returns next": op t is SeekTime(argument), f and b SeekKeyFrame forward
// and backward, r only reads; next is the time of the frame read after the step; S stands for
// StopTickCount, and for no frame. Entry 0 of the recording of 3 holds StartTickCount, which
// counts as 0.
TEST_F(Reader, SeeksLandOnKeyFramesAndReturnWhereReadingResumes) {
    const std::pair<std::uint32_t, std::string> cases[] = {
        {94, "t 15000 20000 20000  t 10000 10000 10000  t 0 0 0 "
             // 94 entries give steps of 5; back from segment 2 resumes at segment 0
             "f 0 50000 50000  b 0 0 0  t 20000 20000 20000  b 0 0 0 "
             // forward to the last segment, past it, and clamped at it
             "t 880000 880000 880000  f 0 930000 930000  f 0 S S  t 910000 910000 910000  f 0 S S "
             // beyond the last key frame reading goes on in the open segment
             "t 30000 30000 30000  t 930001 S 35000"},
        // count / 20 rounded half to even: 2.5 to 2, 3.5 to 4, 0.15 to 0, then 1
        {50, "r 0 0 0  f 0 20000 20000  b 0 0 0"},
        {70, "r 0 0 0  f 0 40000 40000  b 0 0 0"},
        {3, "t 1 10000 10000  t 0 0 0  t 20000 20000 20000  b 0 10000 10000  b 0 0 0"},
        {0, "r 0 0 S  t 0 S S  f 0 S S  b 0 S S"}};
    for (const auto& [segments, script] : cases) {
        using enum TFirstEntryTime;
        WriteSegments(segments, {.StartTickCount = 45602125,
                                 .FirstEntryTime = segments == 3 ? StartTickCount : Zero});
        TScreenRecorderPlaybackFile reader(FFile);
        EXPECT_EQ(segments && reader.KeyFrames()[0].Time == 45602125, segments == 3);
        const auto time = [&](const std::string& text) -> std::uint32_t {
            return text == "S" ? reader.Header().StopTickCount : std::stoul(text);
        };
        std::istringstream steps(script);
        std::string op, argument, returns, next;
        while (steps >> op >> argument >> returns >> next) {
            const std::uint32_t result = op == "t"   ? reader.SeekTime(time(argument))
                                         : op == "r" ? time(returns)
                                                     : reader.SeekKeyFrame(op == "f");
            EXPECT_EQ(std::tuple(result, NextTime(reader)),
                      std::tuple(time(returns), next == "S" ? Stop : time(next)))
                << segments << " segments, " << op << " " << argument;
        }
    }
}

TEST_F(Reader, RefusesFilesThatAreNoRecordingOrWhoseTracksAreDamaged) {
    WriteSegments(2);
    const auto good = ReadFileBytes(FFile);
    const std::vector<TCursorEntry> cursors{{0, 1, 1}, {5, 2, 2}};
    const auto refused = [&](auto damageFile) {
        damageFile();
        EXPECT_EQ(ErrorOf([&] { TScreenRecorderPlaybackFile reader(FFile); }), sInvalidSRFile);
        WriteFileBytes(FFile, good);
    };
    for (std::int64_t i = 0; i < 6; ++i) // every byte of the magic
        refused([&] { PatchFile(FFile, i, Bytes(1, 'x')); });
    for (const std::size_t size : {0, 71})
        refused([&] { WriteFileBytes(FFile, std::span(good).first(size)); });
    // Counts beyond their streams; offsets outside the file; a damaged index stream.
    for (const std::int32_t count : {3, INT32_MAX, -1}) {
        refused([&] { ReplaceKeyFrameIndex(FFile, count, FLayout.KeyFrames); });
        refused([&] { ReplaceCursorTrack(FFile, count, cursors); });
    }
    for (const std::int64_t offset : {-1L, FLayout.Size, FLayout.Size + 10, 1L << 62, 20L})
        refused([&] { PatchValue(FFile, offsetof(TVSRHeader, KeyFrameIndexOffset), offset); });
    refused([&] { PatchValue(FFile, offsetof(TVSRHeader, CursorTrackOffset), FLayout.Size + 1); });
    refused([&] { PatchFile(FFile, FLayout.KeyFrameIndexOffset + 2, Bytes(1, 0xFF)); });
    // Screens the off-screen picture could not be allocated for: empty, negative, too wide
    // or high, or too many pixels in all.
    const std::pair<std::int32_t, std::int32_t> screens[] = {
        {0, 8}, {16, -1}, {16385, 8}, {16, 16385}, {16384, 16384}, {INT32_MIN, INT32_MIN}};
    for (const auto& [width, height] : screens)
        refused([&] {
            PatchValue(FFile, offsetof(TVSRHeader, Width), width);
            PatchValue(FFile, offsetof(TVSRHeader, Height), height);
        });
    // Bytes 6 and 7 are not part of the magic; fewer entries than stored is no damage.
    PatchFile(FFile, 6, Bytes("x\xFF"));
    ReplaceCursorTrack(FFile, 1, cursors);
    TScreenRecorderPlaybackFile reader(FFile);
    EXPECT_EQ(std::tuple(reader.KeyFrames().Count(), reader.Cursors().Count()), std::tuple(2, 1));
}

TEST_F(Reader, DamagedSizesInsideSegmentsSkipOrStopCleanly) {
    // The rest of the segment after the head is 10 + 16 + 4 bytes: 31 is one byte too many.
    // The damaged record and the rest of its segment are skipped. Segment 0 is a good record, the
    // damaged head with its payload and a good record; segment 1 one good record.
    for (const std::int32_t size : {-5, 1 << 30, INT32_MAX, 31}) {
        Write({{{0, 4, 4}, {100, size, 10}, {200, 4, 4}}, {{10000, 4, 4}}});
        EXPECT_EQ(Frames(), (TFrames{{0, 4}, {1, 4}})) << size;
    }
    // A payload no tile of this 16 x 8 screen can use (one of 256 x 256 32-bit pixels with its
    // header at most) is not read, although the segment holds it.
    for (const std::int32_t size : {262184, 262185}) {
        Write({{{0, 4, 4}, {100, size, std::size_t(size)}, {200, 4, 4}}, {{10000, 4, 4}}});
        const TFrames read{{0, 4}, {0, 262184}, {0, 4}, {1, 4}}, skipped{{0, 4}, {1, 4}};
        EXPECT_EQ(Frames(), size == 262184 ? read : skipped) << size;
    }
    // The index promises more than the data holds: the cut payload comes back empty.
    Write({{{0, 4, 4}, {100, 1000, 10}, {200, 4, 4}}, {{10000, 4, 4}}});
    FLayout.KeyFrames[0].Size = 16 + 4 + 16 + 1000;
    ReplaceKeyFrameIndex(FFile, 1, {FLayout.KeyFrames[0]});
    EXPECT_EQ(Frames(), (TFrames{{0, 4}, {0, 0}}));
    // An entry too small for a record (its segment is skipped); entries whose segment lies
    // outside the file, or whose Size is 0, end reading there.
    Write({{{0, 4, 4}, {100, 4, 4}, {200, 4, 4}}, {{10000, 4, 4}}});
    const TFrames three{{0, 4}, {0, 4}, {0, 4}};
    const std::tuple<std::size_t, std::int64_t TKeyFrameEntry::*, std::int64_t, TFrames> entries[] =
        {{0, &TKeyFrameEntry::Size, -1, {{1, 4}}},
         {1, &TKeyFrameEntry::Offset, 1L << 40, three},
         {1, &TKeyFrameEntry::Offset, -5, three},
         {1, &TKeyFrameEntry::Size, 0, three},
         {1, &TKeyFrameEntry::Offset, FLayout.Size + 99999, three}};
    for (const auto& [entry, field, value, frames] : entries) {
        auto changed = FLayout.KeyFrames;
        changed[entry].*field = value;
        ReplaceKeyFrameIndex(FFile, 2, changed);
        EXPECT_EQ(Frames(), frames) << value;
    }
    // A damaged segment raises the zlib layer's error out of ReadFrame.
    ReplaceKeyFrameIndex(FFile, 2, FLayout.KeyFrames);
    PatchFile(FFile, FLayout.KeyFrames[1].Offset + 2, Bytes(1, 0xFF));
    EXPECT_NE(ErrorOf<EZDecompressionError>([&] { Frames(); }).find("damaged"), std::string::npos);
}

} // namespace
} // namespace vsr::test
