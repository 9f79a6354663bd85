#include "audio/SoundIntervals.h"
#include "audio/SpxFixture.h"
#include "audio/SpxStream.h"
#include "audio/SpxWriter.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"

#include <filesystem>
#include <ranges>

namespace vsr::test {
namespace {

using enum TSeekOrigin;
using enum TSpxSilences;

struct SpxStream : TSpxTest {
    // bytes as a new file, opened with a fresh decoder.
    std::unique_ptr<TSpxStream> Open(const std::vector<std::byte>& bytes,
                                     TSpxSilences load = Load) {
        WriteFileBytes(FPath = FDir.File(std::to_string(++FFiles)), bytes);
        return std::make_unique<TSpxStream>(FPath, TFileMode::OpenRead, load);
    }
    std::string FPath;
    int FFiles = 0;
};

// What one Read of up to count bytes delivers.
std::vector<std::byte> ReadOnce(TSpxStream& stream, std::size_t count = 1 << 20) {
    std::vector<std::byte> bytes(count);
    bytes.resize(stream.Read(bytes));
    return bytes;
}

// What a stream of 29-byte records with silences of whole records delivers from decoded frame
// `from` on: zeros in the silences, elsewhere the records as the library decodes them afresh
// from the first one behind `from` (where a seek starts decoding).
std::vector<std::byte> Expected(const std::vector<std::byte>& records,
                                const std::vector<TSpxSilence>& silences, std::size_t from) {
    const int count = static_cast<int>(records.size() / 29);
    std::vector<int> timeline; // the record of each decoded frame, -1 in a silence
    for (int record = 0, next = 0; record <= count; ++record) {
        for (; next < std::ssize(silences) && silences[next].Start == record * 29; ++next)
            timeline.insert(timeline.end(), silences[next].Length / 29, -1);
        timeline.push_back(record);
    }
    timeline.pop_back(); // the end of the records
    // A seek target behind the records delivers nothing.
    const auto rest = std::span(timeline).subspan(std::min(from, timeline.size()));
    const auto behind = std::ranges::find_if(rest, [](int r) { return r >= 0; });
    const int first = behind == rest.end() ? count : *behind;
    const std::vector<std::byte> fresh = DecodeDirect(std::span(records).subspan(first * 29u));
    const std::vector<std::byte> zeros(320);
    std::vector<std::byte> want;
    for (const int record : rest) {
        const auto frame = record < 0 ? zeros.begin() : fresh.begin() + (record - first) * 320;
        want.insert(want.end(), frame, frame + 320);
    }
    return want;
}

TEST_F(SpxStream, LongRecordingHasTheWorkedSizesAndSilencePositions) {
    std::vector<std::byte> records; // 47320 records: a short tone repeated, cheap to build
    for (const std::vector<std::byte> tone = ToneRecords(40); records.size() < 47320u * 29;)
        records.insert(records.end(), tone.begin(), tone.end());
    TCaptureTracer tracer;
    const std::vector<TSpxSilence> silences = {{0, 6090},      {75110, 1450},   {1108960, 870},
                                               {1110120, 580}, {1222640, 2030}, {1352560, 870}};
    auto stream = Open(BuildSpx(records, silences));
    EXPECT_EQ(Format("%d %d %d %d %d", stream->CompBlock(), stream->PcmBlock(),
                     stream->TotalSilence(), stream->Size(), stream->Duration()),
              "290 3200 11890 15273600 954");
    EXPECT_TRUE(tracer.Contains("Liniste: 1352560 - 870"));
    // The stretches with sound that the seek bar marks, in decoded bytes.
    // clang-format off
    const std::vector<TSoundInterval> intervals = {{0, 0}, {67200, 896000}, {912000, 12320000},
        {12329600, 12342400}, {12348800, 13590400}, {13612800, 15046400}, {15056000, 15273600}};
    // clang-format on
    EXPECT_EQ(SoundIntervals(*stream), intervals);
    stream->SetPlayPosition(896000); // the second silence
    EXPECT_EQ(ReadOnce(*stream, 16000), std::vector<std::byte>(16000));
}

// Seeks round down to blocks and stay within the stream. Reads deliver from every block
// boundary, in one Read and in pieces that split blocks and silences.
TEST_F(SpxStream, SeeksRoundToBlocksAndReadsDeliverTheRecordsWithSilencesAsZeros) {
    const std::vector<std::byte> tone = ToneRecords(60, 523), sound = ToneRecords(25);
    const std::vector<std::byte> plain = BuildSpx(sound, {});
    auto stream = Open(plain); // Size 8000: not whole blocks
    const std::tuple<std::int64_t, TSeekOrigin, std::int64_t> seeks[] = {
        {5000, Begin, 3200},        {-1, Begin, 0},  {1000000, Begin, 8000},
        {INT64_MAX, Current, 8000}, {-1, End, 6400}, {1599, Current, 6400},
        {-3201, Current, 0}};
    for (const auto& [offset, origin, want] : seeks)
        EXPECT_EQ(stream->Seek(offset, origin), want) << offset;
    stream->SetPlayPosition(3500);
    EXPECT_EQ(stream->Position(), 3200);
    // To the end; then asking for the position moves it down to the last block boundary.
    EXPECT_EQ(ReadAll(*stream).size(), 4800u);
    EXPECT_EQ(stream->Seek(0, Current), 6400);
    const std::vector<TSpxSilence> silences = {
        {0, 5 * 29}, {7 * 29, 12 * 29}, {33 * 29, 29}, {60 * 29, 3 * 29}};
    // Made by the writer: 25 frames of sound, 25 left out, 25, 15 left out.
    const auto written =
        TSpxWriter::Encode(Joined({Tone(500), Silence(500), Tone(500), Silence(300)}));
    // The stream, how it is opened, and the records and silences it holds.
    const std::tuple<std::vector<std::byte>, TSpxSilences, std::vector<std::byte>,
                     std::vector<TSpxSilence>>
        rows[] = {{BuildSpx(tone, silences), Load, tone, silences},
                  {std::vector(plain.begin() + 6, plain.end() - 12), Load, sound, {}}, // bare
                  {BuildSpx(sound, {{0, 290}}), Ignore, sound, {}},
                  {BuildSpx(sound, {}, {1, 0, 6, 10}), Load, sound, {}}, // rate 0
                  {BuildSpx({}, {}), Load, {}, {}}, // no frames, count 0 at size - 12
                  {BuildSpx({}, {{0, 725}}), Load, {}, {{0, 725}}},
                  {written, Load, FrameDataOf(written), {{25 * 29, 25 * 29}, {50 * 29, 15 * 29}}},
                  {BuildSpx(sound, {{2900, 290}}), Load, sound, {}}}; // behind the frames
    for (const auto& [bytes, load, records, modelled] : rows) {
        for (std::int64_t at = 0; at == 0 || at < Open(bytes, load)->Size(); at += 3200) {
            for (const std::size_t piece : {0u, 77u}) { // 0: in one Read
                stream = Open(bytes, load);
                EXPECT_EQ(stream->Seek(at + 3199, Begin), at) << "down to the block boundary";
                EXPECT_EQ(piece ? ReadAll(*stream, piece) : ReadOnce(*stream),
                          Expected(records, modelled, at / 320))
                    << "stream of " << bytes.size() << " from " << at << " in pieces of " << piece;
            }
        }
    }
}

TEST_F(SpxStream, RejectsMalformedStreamsEndsReadsOfDamagedOnesAndIsReadOnly) {
    const std::vector<std::byte> records = ToneRecords(10), empty = BuildSpx({}, {});
    // bytes with value written fromEnd bytes before their end.
    const auto patched = [](std::vector<std::byte> bytes, std::size_t fromEnd, auto value) {
        std::memcpy(&bytes.at(bytes.size() - fromEnd), &value, sizeof value);
        return bytes;
    };
    const std::pair<const char*, std::vector<std::byte>> invalid[] = {
        {"quality 0", BuildSpx(records, {}, {1, 8000, 0, 10})},
        {"quality 11", BuildSpx(records, {}, {1, 8000, 11, 10})},
        {"complexity 11", BuildSpx(records, {}, {1, 8000, 6, 11})},
        {"channels 3", BuildSpx(records, {}, {3, 8000, 6, 10})},
        {"frame data one byte longer", BuildSpx(Bytes(10 * 29 + 1, 0), {})},
        {"short header", std::vector(empty.begin(), empty.begin() + 20)},
        {"no room for count and offset", std::vector(empty.begin(), empty.begin() + 33)},
        {"table offset inside the header", patched(empty, 8, std::int64_t{21})},
        {"table offset past size - 12", patched(empty, 8, std::int64_t{23})},
        {"count 1 at size - 12: a short record", patched(empty, 12, 1)},
        // Fails on the missing records, not by allocating for them all.
        {"huge count", patched(BuildSpx(records, {{0, 29}}), 20, 0x7FFFFFFF)}};
    for (const auto& [what, bytes] : invalid)
        EXPECT_EQ(ErrorOf<ESpxStream>([&] { Open(bytes); }), "Invalid SPX file") << what;
    auto stream = Open(BuildSpx(records, {}));
    EXPECT_EQ(ErrorOf<ESpxStream>([&] { stream->Write(records); }),
              "Cannot write to a SPX file opened readonly");
    EXPECT_EQ(ErrorOf<ESpxStream>([&] { stream->SetSize(0); }),
              "Cannot set size of a SPX file opened readonly");
    EXPECT_EQ(SoundIntervals(*stream), (std::vector<TSoundInterval>{{0, 3200}}));
    EXPECT_TRUE(SoundIntervals(*Open(BuildSpx(records, {}), Ignore)).empty());
    // Damage the open checks cannot see: every Read ends, and stays within its buffers.
    auto cut = Open(BuildSpx(ToneRecords(40), {{20 * 29, 10 * 29}}));
    std::filesystem::resize_file(FPath, 22 + 15 * 29 + 10); // in the middle of record 15
    EXPECT_EQ(ReadAll(*cut, 50 * 320).size(), 15u * 320);
    cut->SetPlayPosition(6400); // the silence still plays; the data behind it is gone
    EXPECT_EQ(ReadAll(*cut), std::vector<std::byte>(3200));
    // A frame header naming mode 9 plays as silence, reported in the trace, not on stderr.
    auto damaged = ToneRecords(10);
    damaged[3 * 29 + 1] = std::byte{0x48};
    TCaptureTracer tracer;
    ::testing::internal::CaptureStderr();
    const auto pcm = ReadAll(*Open(BuildSpx(damaged, {})));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(tracer.Contains("SndKit: 1 damaged voice frame(s) played as silence"));
    ASSERT_EQ(pcm.size(), 10u * 320);
    EXPECT_EQ(std::ranges::count(std::span(pcm).subspan(3 * 320, 320), std::byte{0}), 320);
    // Length bytes 0 (a block would decode to 290 frames) or negative (nothing decodes).
    for (const std::uint8_t length : {0x00, 0x80}) {
        auto wrong = Open(BuildSpx(std::vector(40 * 29, std::byte{length}), {{29, 29}}));
        EXPECT_LE(ReadAll(*wrong).size(), 41u * 320) << int{length};
    }
}

using SpxWriter = SpxStream;
using TTable = std::vector<std::pair<int, int>>; // silences: start and length in frames

// Runs of silent frames (every sample within the threshold) of at least the minimum length
// are left out and listed as silences; the stream decodes them as zeros (see the stream's
// tests). PCM may come as bytes in pieces of any size, and the stream into any target. Settings
// out of range, and PCM after the finish, are refused.
TEST_F(SpxWriter, LeavesOutRunsOfWholeSilentFramesAndRejectsBadSettingsAndLateWrites) {
    std::vector<std::int16_t> quiet(12 * FrameSamples, 64); // within the threshold 64...
    for (std::size_t i = 1; i < quiet.size(); i += 2)
        quiet[i] = -64;
    std::vector<std::int16_t> peak = quiet;
    peak[5 * FrameSamples] = -65; // ...but here frame 5 has sound
    const auto quietRuns = Joined({quiet, Tone(100, 500), peak, Tone(100, 500)});
    // Tones of 25 frames, pauses of 25, 5 and 15 frames.
    const auto pauses =
        Joined({Tone(500), Silence(500), Tone(500), Silence(100), Tone(500), Silence(300)});
    using enum TSpxSilenceHandling;
    // Pcm, settings, silences, frame records kept.
    const std::tuple<std::vector<std::int16_t>, TSpxWriterSettings, TTable, std::size_t> rows[] = {
        {quietRuns, {}, {{0, 12}}, 5 + 12 + 5},
        {quietRuns, {6, 10, LeaveOut, 65}, {{0, 12}, {5, 12}}, 10},
        {quietRuns, {6, 10, LeaveOut, 63}, {}, 34},
        {pauses, {}, {{25, 25}, {80, 15}}, 80},
        {pauses, {1, 3}, {{25, 25}, {80, 15}}, 80},
        {pauses, {10, 3, LeaveOut, 64, 5}, {{25, 25}, {50, 5}, {75, 15}}, 75},
        {pauses, {6, 10, Code}, {}, 120},
        // Samples 1000..4999 are silent: frames 7..30 lie wholly inside.
        {Joined({Tone(125), Silence(500), Tone(375)}), {}, {{7, 24}}, 26},
        // A last partial frame is padded with zeros; a silent one too.
        {Joined({Tone(200), Silence(125)}), {6, 10, LeaveOut, 64, 5}, {{10, 7}}, 10},
        {Tone(125), {}, {}, 7},
        {{}, {}, {}, 0}};
    for (const auto& [pcm, settings, table, records] : rows) {
        const std::vector<std::byte> spx = TSpxWriter::Encode(pcm, settings);
        const auto bytes = std::as_bytes(std::span(pcm));
        TSpxWriter writer(settings);
        for (std::size_t at = 0; at < bytes.size(); at += 7)
            writer.WritePcm(bytes.subspan(at, std::min<std::size_t>(7, bytes.size() - at)));
        TMemoryStream stream;
        writer.Finish(stream);
        EXPECT_TRUE(std::ranges::equal(stream.Memory(), spx)) << pcm.size();
        const auto rb = writer.EncodedFrameBytes();
        const auto parsed = Open(spx);
        const TRecordSilenceList& silences = *parsed->Silences();
        TTable got;
        for (std::size_t i = 0; i < silences.Count(); ++i)
            got.emplace_back(silences[i].Start / rb, silences[i].Length / rb);
        EXPECT_EQ(got, table) << pcm.size();
        EXPECT_EQ(FrameDataOf(spx).size(), records * rb) << pcm.size();
        EXPECT_EQ(Get<std::int32_t>(spx, 14), settings.Quality);
    }
    for (const TSpxWriterSettings& bad :
         {TSpxWriterSettings{0}, {11}, {6, 0}, {6, 11}, {6, 10, LeaveOut, 64, 0}})
        EXPECT_THROW(TSpxWriter{bad}, ESpxWriter);
    TSpxWriter writer;
    writer.Finish();
    EXPECT_THROW(writer.Write(Tone(20)), ESpxWriter);
    EXPECT_THROW(writer.Finish(), ESpxWriter);
    // A library whose frame records would hold no frame data.
    SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH);
    SetStandIn(0, 160, 1, 0);
    EXPECT_THROW(TSpxWriter(), ESpxWriter);
}

} // namespace
} // namespace vsr::test
