// SPX streams: reading, seeking and writing them. The lazy library binding, the program's
// sound-library object and its set-up, and the encoder wrapper that measures frames through it.

#include "audio/Dlls.h"
#include "audio/SndKitSetup.h"
#include "audio/SoundIntervals.h"
#include "audio/SpxEncoder.h"
#include "audio/SpxFixture.h"
#include "audio/SpxStream.h"
#include "audio/SpxWriter.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"

#include <array>
#include <filesystem>
#include <ranges>

namespace vsr::test {
namespace {

using enum TSeekOrigin;
using enum TSpxSilences;

constexpr int FrameSamples = 160;

// The frame records of a stream made by the writer (between the header and the table).
std::vector<std::byte> FrameDataOf(const std::vector<std::byte>& spx) {
    return {spx.begin() + 22, spx.begin() + Get<std::int64_t>(spx, spx.size() - 8)};
}

// Frame data of `frames` records coded from a tone, none left out (quality 6, complexity 10).
std::vector<std::byte> ToneRecords(int frames, double hz = 440) {
    TSpxWriterSettings settings;
    settings.Silences = TSpxSilenceHandling::Code; // 20 ms a frame
    return FrameDataOf(
        TSpxWriter::Encode(Tone(static_cast<std::uint32_t>(frames) * 20, hz), settings));
}

// An SPX stream with magic and header (channels, rate, quality, complexity) around frameData,
// laid out as the format defines it.
std::vector<std::byte> BuildSpx(const std::vector<std::byte>& frameData,
                                const std::vector<TSpxSilence>& silences,
                                const std::array<std::int32_t, 4>& header = {1, 8000, 6, 10}) {
    std::vector<std::byte> out = Bytes("SPX1.1");
    for (const std::int32_t value : header)
        Put(out, value);
    out.insert(out.end(), frameData.begin(), frameData.end());
    const auto tableOffset = static_cast<std::int64_t>(out.size());
    Put(out, static_cast<std::int32_t>(silences.size()));
    for (const TSpxSilence& silence : silences) {
        Put(out, silence.Start);
        Put(out, silence.Length);
    }
    Put(out, tableOffset);
    return out;
}

// Reads in pieces of `piece` bytes until a Read returns 0.
std::vector<std::byte> ReadAll(TSpxStream& stream, std::size_t piece = 3200) {
    std::vector<std::byte> out;
    std::vector<std::byte> buffer(piece);
    while (const std::size_t got = stream.Read(buffer))
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    return out;
}

// Decodes frame records (quality 6, complexity 10) with a fresh decoder of the sound library,
// all in one call: the reference the stream's block-wise decoding must match.
std::vector<std::byte> DecodeDirect(std::span<const std::byte> records) {
    void* handle = nullptr;
    InitSpeexDecoder(1, &handle);
    StartSpeexDecoder(handle);
    SetDecoderChannels(handle, 1);
    SetDecoderRate(handle, 8000);
    SetDecoderQuality(handle, 6);
    SetDecoderComplexity(handle, 10);
    std::vector<std::byte> pcm(records.size() / 29 * FrameSamples * 2);
    const int bytes =
        SpeexMyDecode(handle, reinterpret_cast<const unsigned char*>(records.data()),
                      static_cast<int>(records.size()), reinterpret_cast<short*>(pcm.data()));
    DoneSpeexDecoder(&handle);
    pcm.resize(static_cast<std::size_t>(bytes));
    return pcm;
}

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

// A voice inside a larger file that is still arriving, as a streamed recording's is: reads
// stop where the bytes there decode to (a silence placed at that record included) and go on
// from there as more arrives; the bytes a position needs always decode that far.
TEST_F(SpxStream, InsideALargerFileReadsOnlyAsFarAsItsArrivedBytesDecode) {
    const std::vector<std::byte> records = ToneRecords(60);
    const std::vector<TSpxSilence> silences = {{0, 290}, {29 * 20, 580}, {29 * 60, 87}};
    const std::vector<std::byte> spx = BuildSpx(records, silences);
    std::vector<std::byte> file = Bytes("before the voice");
    const auto offset = std::ssize(file);
    file.insert(file.end(), spx.begin(), spx.end());
    std::ranges::copy(Bytes("after it"), std::back_inserter(file));
    WriteFileBytes(FPath = FDir.File("window"), file);
    TSpxStream stream(FPath, TFileMode::OpenRead, Load, {offset, std::ssize(spx)});
    std::int64_t arrived = 22;
    stream.SetArrived([&] { return arrived; });
    // Record bytes there, the frames (silent ones included) they decode to.
    const std::pair<std::int64_t, std::int64_t> steps[] = {
        {0, 10}, {28, 10}, {29, 11}, {29 * 20, 50}, {29 * 59, 89}, {29 * 60, 93}};
    std::vector<std::byte> read;
    for (const auto& [data, frames] : steps) {
        arrived = 22 + data;
        const std::vector<std::byte> more = ReadAll(stream, 1000);
        read.insert(read.end(), more.begin(), more.end());
        EXPECT_EQ(std::tuple(stream.Available(), std::ssize(read)),
                  std::tuple(frames * 320, frames * 320))
            << data;
    }
    EXPECT_EQ(read, Expected(records, silences, 0));
    const TSpxTimeline& timeline = stream.Timeline();
    for (std::int64_t position = 0; position <= stream.Size(); position += 160)
        EXPECT_GE(timeline.DecodedEnd(timeline.DataNeededFor(position)), position) << position;
    EXPECT_EQ(std::tuple(timeline.DataNeededFor(0), timeline.DataNeededFor(3200 + 1)),
              std::tuple(22 + 290, 22 + 29 + 290)); // a block beyond what the position needs
}

TEST_F(SpxStream, RejectsMalformedStreamsEndsReadsOfDamagedOnesAndIsReadOnly) {
    const std::vector<std::byte> records = ToneRecords(10), empty = BuildSpx({}, {});
    // Empty: the count at 22 and the table's offset at 26.
    const std::pair<const char*, std::vector<std::byte>> invalid[] = {
        {"quality 0", BuildSpx(records, {}, {1, 8000, 0, 10})},
        {"quality 11", BuildSpx(records, {}, {1, 8000, 11, 10})},
        {"complexity 11", BuildSpx(records, {}, {1, 8000, 6, 11})},
        {"channels 3", BuildSpx(records, {}, {3, 8000, 6, 10})},
        {"frame data one byte longer", BuildSpx(Bytes(10 * 29 + 1, 0), {})},
        {"short header", std::vector(empty.begin(), empty.begin() + 20)},
        {"no room for count and offset", std::vector(empty.begin(), empty.begin() + 33)},
        {"table offset inside the header", Patched(empty, 26, std::int64_t{21})},
        {"table offset past size - 12", Patched(empty, 26, std::int64_t{23})},
        {"count 1 at size - 12: a short record", Patched(empty, 22, 1)},
        // Fails on the missing records, not by allocating for them all.
        {"huge count", Patched(BuildSpx(records, {{0, 29}}), 22 + records.size(), 0x7FFFFFFF)}};
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

using SndKit = TSpxTest;

// Calls entry index of dll.
template <typename F = int()> auto Call(TDll& dll, int index) {
    return reinterpret_cast<F*>(dll.ProcNeeded(index))();
}

TEST_F(SndKit, DllLoadsAndBindsAtTheFirstCallsUnloadsAndReportsWhatIsMissingAtEveryCall) {
    std::string notices; // "L<file> " loaded, "U<file> " unloaded, "B<index> " bound
    Dlls().OnDllNotify = [&](TDll& library, TDllNotifyReason reason, int index) {
        const std::string file = std::filesystem::path(library.FileName()).filename();
        notices += Format("%c%s ", "LUB"[static_cast<int>(reason)],
                          index < 0 ? file : std::to_string(index));
    };
    TDll(VSR_SNDKIT_PATH, {"IsInitialized"}).Resolve(0); // destroyed: unregistered, unloaded
    TDll dll(VSR_SNDKIT_PATH,
             {"IsInitialized", "DeinitDll", "NoSuchRoutine", TDllEntry::ByOrdinal(7)});
    EXPECT_EQ(Dlls().Count(), 2) << "the program's library and this one";
    EXPECT_FALSE(dll.Loaded());
    Call(dll, 0);
    Call(dll, 0);
    Call<void()>(dll, 1);
    dll.Unload();
    Call(dll, 0);
    std::string upper = VSR_SNDKIT_PATH;
    std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return std::toupper(c); });
    dll.SetFileName(upper); // the same name: nothing changes
    SetStandIn(5, 160, 29, 0x2A);
    dll.SetFileName(VSR_STANDIN_SNDKIT_PATH); // unloads first, with the old name
    EXPECT_EQ(Call(dll, 0), 0x2A) << "the next call reaches the other library";
    EXPECT_EQ(notices, "Llibsndkit.so B0 Ulibsndkit.so Llibsndkit.so B0 B1 Ulibsndkit.so "
                       "Llibsndkit.so B0 Ulibsndkit.so Llibsndkit_standin.so B0 ");
    Dlls().OnDllNotify = nullptr;
    const std::string inLibrary = "\" in the library \"" VSR_SNDKIT_PATH "\"\r\n(";
    const std::string missing = "/nonexistent/libnothing.so";
    // File name, entry, the start of the message, a part of the system's reason in it.
    const std::tuple<std::string, int, std::string, std::string> rows[] = {
        {VSR_SNDKIT_PATH, 2, "Could not find the routine \"NoSuchRoutine" + inLibrary,
         "undefined symbol: NoSuchRoutine)"},
        {VSR_SNDKIT_PATH, 3, "Could not find the routine \"ordinal #7" + inLibrary, ")"},
        {VSR_SNDKIT_PATH, 4, "Could not find the routine \"DLL-entry index out of range (4)", ")"},
        {missing, 0, "Could not find the library: \"" + missing + "\"\r\n(", "libnothing.so"}};
    for (const auto& [file, index, start, reason] : rows) {
        dll.Unload();
        dll.SetFileName(file);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const std::string message = ErrorOf<EDllError>([&] { Call(dll, index); });
            EXPECT_EQ(message.find(start), 0u) << message;
            EXPECT_NE(message.find(reason, start.size()), std::string::npos) << message;
        }
        EXPECT_EQ(dll.Loaded(), index == 2 || index == 3) << "a bad index loads nothing";
    }
    dll.SetFileName(VSR_SNDKIT_PATH);
    EXPECT_NO_THROW(Call(dll, 0)) << "the other entries still work";
}

// The player writes its library to a "Tmp" file and uses it unless it cannot be loaded (a
// temporary folder mounted without the right to run code) or was not written (a full or
// missing folder): then the library beside the executable.
TEST_F(SndKit, SetupUsesTheTmpCopyWhenItLoadsAndOtherwiseTheLibraryBesideTheExecutable) {
    TEnvScope tmp("TMPDIR", FDir.Path().string());
    const std::vector<std::byte> library = ReadFileBytes(VSR_SNDKIT_PATH);
    const std::string copy = WriteSndKitCopy(library);
    EXPECT_TRUE(copy.starts_with(FDir.File("Tmp")) && ReadFileBytes(copy) == library) << copy;
    ChooseSndKitFile(copy, "/nowhere/libsndkit.so");
    EXPECT_EQ(SndKitLibrary().FileName(), copy);
    EXPECT_FALSE(SndKitLibrary().Loaded()) << "the first codec call loads it";
    const std::string broken = FDir.File("Tmpbroken");
    WriteFileBytes(broken, Bytes(4096, 0x90));
    TCaptureTracer trace;
    TEnvScope missing("TMPDIR", FDir.File("missing"));
    for (const std::string& tried : {broken, WriteSndKitCopy(library)}) {
        ChooseSndKitFile(tried, SndKitBesideExecutable());
        EXPECT_EQ(SndKitLibrary().FileName(),
                  std::filesystem::canonical("/proc/self/exe").parent_path() / "libsndkit.so");
    }
    EXPECT_TRUE(trace.Lines().at(0).starts_with("Cannot load the sound library from \"" + broken));
}

// Through the stand-in, which logs the calls. Finishing deinitialises only a library that
// reports itself initialised (in the low byte). The encoder: the calls' order, the measured
// frame of silence, and the release of the encoder also when it was refused or measured
// nothing (sizes that would become divisors). No library at all, or one without the entries:
// finishing lets nothing escape, and the encoder reports the library's error.
TEST_F(SndKit, FinishAndTheEncoderCallTheLibraryInOrderAndReleaseOnEveryOutcome) {
    SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH);
    for (const auto& [initialized, log] : {std::pair{0x100, ""}, {0x101, "Deinit;"}}) {
        SetStandIn(5, 160, 29, initialized);
        FinishSndKitLibrary();
        EXPECT_EQ(StandInLog(), log);
    }
    const std::string set = "Init(1);Start;Channels(2);Rate(11025);Quality(7);Complexity(3);";
    const std::string refused = "Cannot initialize speex encoder";
    const std::tuple<int, int, int, std::string, std::string> rows[] = {
        {0, 160, 29, "320 29", set + "FrameSize;Encode(silent,320);Done(handle);"},
        {5, 160, 29, refused, "Init(1);Done(null);"},
        {0, 0, 29, refused, set + "FrameSize;Done(handle);"},
        {0, 160, 0, refused, set + "FrameSize;Encode(silent,320);Done(handle);"}};
    for (const auto& [init, frameSize, encoded, result, log] : rows) {
        SetStandIn(init, frameSize, encoded, 0);
        std::string sizes;
        const std::string error = ErrorOf<ESpxEncoder>([&] {
            const TSpxEncoder encoder(2, 11025, 7, 3);
            sizes = Format("%d %d", encoder.FrameBytes(), encoder.EncodedFrameBytes());
        });
        EXPECT_EQ(sizes.empty() ? error : sizes, result);
        EXPECT_EQ(StandInLog(), log);
    }
    for (const char* file : {"", "libc.so.6"}) {
        SndKitLibrary().SetFileName(file);
        EXPECT_NO_THROW(FinishSndKitLibrary());
        EXPECT_EQ(SndKitLibrary().Loaded(), *file != 0);
        EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), EDllError) << file;
    }
}

} // namespace
} // namespace vsr::test
