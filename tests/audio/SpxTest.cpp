#include "audio/SoundIntervals.h"
#include "audio/SpxFixture.h"
#include "audio/SpxStream.h"
#include "audio/SpxWriter.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"

#include <filesystem>
#include <limits>
#include <ranges>

namespace vsr::test {
namespace {

using enum TSeekOrigin;
using enum TSpxSilences;

class SpxStream : public TSpxTest {
protected:
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
    const auto behind = std::find_if(timeline.begin() + static_cast<std::ptrdiff_t>(from),
                                     timeline.end(), [](int r) { return r >= 0; });
    const int first = behind == timeline.end() ? count : *behind;
    const std::vector<std::byte> fresh = DecodeDirect(std::span(records).subspan(first * 29u));
    std::vector<std::byte> want;
    for (std::size_t f = from; f < timeline.size(); ++f) {
        if (timeline[f] < 0)
            want.insert(want.end(), 320, std::byte{0});
        else
            want.insert(want.end(), fresh.begin() + (timeline[f] - first) * 320,
                        fresh.begin() + (timeline[f] - first + 1) * 320);
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
    // From a position: sound, zeros, then sound again.
    const std::size_t rows[][3] = {{0, 0, 67200}, {892800, 3200, 16000}, {15046400, 0, 9600}};
    for (const auto& [at, sound, zeros] : rows) {
        stream->SetPlayPosition(static_cast<std::int64_t>(at));
        const std::vector<std::byte> got = ReadOnce(*stream, sound + zeros + 3200);
        EXPECT_FALSE(sound > 0 && AllZero(std::span(got).first(sound))) << at;
        EXPECT_TRUE(AllZero(std::span(got).subspan(sound, zeros))) << at;
        EXPECT_FALSE(AllZero(std::span(got).subspan(sound + zeros))) << at;
    }
}

// From every block boundary, in one Read and in pieces that split blocks and silences.
TEST_F(SpxStream, DeliversTheDecodedRecordsWithSilencesAsZerosFromEverySeekTarget) {
    const std::vector<std::byte> tone = ToneRecords(60, 523), sound = ToneRecords(25);
    const std::vector<TSpxSilence> silences = {
        {0, 5 * 29}, {7 * 29, 12 * 29}, {33 * 29, 29}, {60 * 29, 3 * 29}};
    const std::vector<std::byte> plain = BuildSpx(sound, {});
    const std::vector<std::byte> bare(plain.begin() + 6, plain.end() - 12); // no magic, no table
    // Made by the writer: 25 frames of sound, 25 left out, 25, 15 left out.
    const auto written =
        TSpxWriter::Encode(Joined({Tone(500), Silence(500), Tone(500), Silence(300)}));
    const std::vector<TSpxSilence> writtenSilences = {{25 * 29, 25 * 29}, {50 * 29, 15 * 29}};
    // The stream, how it is opened, and the records and silences it holds.
    const std::tuple<std::vector<std::byte>, TSpxSilences, std::vector<std::byte>,
                     std::vector<TSpxSilence>>
        rows[] = {{BuildSpx(tone, silences), Load, tone, silences},
                  {bare, Load, sound, {}},
                  {BuildSpx(sound, {{0, 290}}), Ignore, sound, {}},
                  {BuildSpx(sound, {}, {1, 0, 6, 10}), Load, sound, {}}, // rate 0
                  {BuildSpx({}, {}), Load, {}, {}}, // no frames, count 0 at size - 12
                  {BuildSpx({}, {{0, 725}}), Load, {}, {{0, 725}}},
                  {written, Load, FrameDataOf(written), writtenSilences},
                  {BuildSpx(sound, {{2900, 290}}), Load, sound, {}}}; // behind the frames
    for (const auto& [bytes, load, records, modelled] : rows) {
        for (std::int64_t at = 0; at == 0 || at < Open(bytes, load)->Size(); at += 3200) {
            for (const std::size_t piece : {0u, 77u}) { // 0: in one Read
                auto stream = Open(bytes, load);
                EXPECT_EQ(stream->Seek(at + 3199, Begin), at) << "down to the block boundary";
                EXPECT_EQ(piece ? ReadAll(*stream, piece) : ReadOnce(*stream),
                          Expected(records, modelled, at / 320))
                    << "stream of " << bytes.size() << " from " << at << " in pieces of " << piece;
            }
        }
    }
}

TEST_F(SpxStream, SeeksRoundToBlocksAndClampAndASplitReadNeedsNoFile) {
    const std::vector<std::byte> records = ToneRecords(15); // Size 4800: not whole blocks
    auto stream = Open(BuildSpx(records, {}));
    const std::tuple<std::int64_t, TSeekOrigin, std::int64_t> seeks[] = {
        {5000, Begin, 3200},        {-1, Begin, 0},  {1000000, Begin, 4800},
        {INT64_MAX, Current, 4800}, {-1, End, 3200}, {3199, Current, 3200},
        {-3201, Current, 0}};
    for (const auto& [offset, origin, want] : seeks)
        EXPECT_EQ(stream->Seek(offset, origin), want) << offset;
    stream->SetPlayPosition(3500);
    EXPECT_EQ(stream->Position(), 3200);
    // To the end; then asking for the position moves it down to the last block boundary.
    EXPECT_EQ(ReadAll(*stream).size(), 1600u);
    EXPECT_EQ(stream->Seek(0, Current), 3200);
    // 1000 bytes and then 2200 are the first block; the second Read takes what is decoded.
    const std::vector<std::byte> whole = DecodeDirect(records);
    stream = Open(BuildSpx(records, {}));
    EXPECT_EQ(ReadOnce(*stream, 1000), std::vector(whole.begin(), whole.begin() + 1000));
    std::filesystem::resize_file(FPath, 0);
    EXPECT_EQ(ReadOnce(*stream, 2200), std::vector(whole.begin() + 1000, whole.begin() + 3200));
}

TEST_F(SpxStream, RejectsMalformedStreamsAndIsReadOnly) {
    const std::vector<std::byte> records = ToneRecords(10), empty = BuildSpx({}, {});
    // bytes with value written at, counted from the end when negative.
    const auto patched = [](std::vector<std::byte> bytes, std::ptrdiff_t at, auto value) {
        const auto* raw = reinterpret_cast<const std::byte*>(&value);
        const std::size_t first = at < 0 ? bytes.size() - static_cast<std::size_t>(-at) : at;
        for (std::size_t i = 0; i < sizeof value; ++i)
            bytes.at(first + i) = raw[i];
        return bytes;
    };
    std::vector<std::byte> longer = records;
    longer.push_back(std::byte{0});
    const std::pair<const char*, std::vector<std::byte>> invalid[] = {
        {"quality 0", BuildSpx(records, {}, {1, 8000, 0, 10})},
        {"quality 11", BuildSpx(records, {}, {1, 8000, 11, 10})},
        {"complexity 11", BuildSpx(records, {}, {1, 8000, 6, 11})},
        {"channels 3", BuildSpx(records, {}, {3, 8000, 6, 10})},
        {"frame data one byte longer", BuildSpx(longer, {})},
        {"short header", std::vector(empty.begin(), empty.begin() + 20)},
        {"no room for count and offset", std::vector(empty.begin(), empty.begin() + 33)},
        {"table offset inside the header", patched(empty, -8, std::int64_t{21})},
        {"table offset past size - 12", patched(empty, -8, std::int64_t{23})},
        {"count 1 at size - 12: a short record", patched(empty, -12, 1)},
        // Fails on the missing records, not by allocating for them all.
        {"huge count", patched(BuildSpx(records, {{0, 29}}), 312, 0x7FFFFFFF)}};
    for (const auto& [what, bytes] : invalid)
        EXPECT_EQ(ErrorOf<ESpxStream>([&] { Open(bytes); }), "Invalid SPX file") << what;
    auto stream = Open(BuildSpx(records, {}));
    EXPECT_EQ(ErrorOf<ESpxStream>([&] { stream->Write(records); }),
              "Cannot write to a SPX file opened readonly");
    EXPECT_EQ(ErrorOf<ESpxStream>([&] { stream->SetSize(0); }),
              "Cannot set size of a SPX file opened readonly");
    EXPECT_EQ(SoundIntervals(*stream), (std::vector<TSoundInterval>{{0, 3200}}));
    EXPECT_TRUE(SoundIntervals(*Open(BuildSpx(records, {}), Ignore)).empty());
}

// Damage the open checks cannot see: every Read ends, and stays within its buffers.
TEST_F(SpxStream, DamagedFrameDataEndsReadsWithinTheirBuffers) {
    auto cut = Open(BuildSpx(ToneRecords(40), {{20 * 29, 10 * 29}}));
    std::filesystem::resize_file(FPath, 22 + 15 * 29 + 10); // in the middle of record 15
    EXPECT_EQ(ReadAll(*cut, 50 * 320).size(), 15u * 320);
    cut->SetPlayPosition(6400); // the silence still plays; the data behind it is gone
    EXPECT_EQ(ReadAll(*cut), std::vector<std::byte>(3200));
    // Length bytes 0 (a block would decode to 290 frames) or negative (nothing decodes).
    for (const std::uint8_t length : {0x00, 0x80}) {
        auto wrong = Open(BuildSpx(std::vector(40 * 29, std::byte{length}), {{29, 29}}));
        EXPECT_LE(ReadAll(*wrong).size(), 41u * 320) << int{length};
    }
}

using SpxWriter = TSpxTest;
using TTable = std::vector<std::pair<int, int>>;

// The silence table as (Start, Length) pairs, in frame records.
TTable TableOf(const std::vector<std::byte>& spx, int recordBytes) {
    const auto at = static_cast<std::size_t>(Get<std::int64_t>(spx, spx.size() - 8));
    TTable table(Get<std::uint32_t>(spx, at));
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = {Get<int>(spx, at + 4 + 8 * i) / recordBytes,
                    Get<int>(spx, at + 8 + 8 * i) / recordBytes};
    return table;
}

// Runs of silent frames (every sample within the threshold) of at least the minimum length
// are left out and listed as silences; the stream decodes them as zeros (see the stream's
// tests). PCM may come as bytes in pieces of any size, and the stream into any target.
TEST_F(SpxWriter, LeavesOutRunsOfWholeSilentFramesOfTheMinimumLength) {
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
    // Pcm, settings, silences (start and length in frames), frame records kept.
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
        EXPECT_EQ(TableOf(spx, writer.EncodedFrameBytes()), table) << pcm.size();
        EXPECT_EQ(FrameDataOf(spx).size(), records * writer.EncodedFrameBytes()) << pcm.size();
        EXPECT_EQ(Get<std::int32_t>(spx, 14), settings.Quality);
    }
}

TEST_F(SpxWriter, RejectsBadSettingsAndWritesAfterFinish) {
    for (const auto& [quality, complexity, minimum] :
         {std::array{0, 10, 3}, {11, 10, 3}, {6, 0, 3}, {6, 11, 3}, {6, 10, 0}})
        EXPECT_THROW(TSpxWriter({quality, complexity, TSpxSilenceHandling::LeaveOut, 64, minimum}),
                     ESpxWriter);
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
