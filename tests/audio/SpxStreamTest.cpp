#include "audio/SpxStream.h"
#include "audio/SpxTestData.h"
#include "support/CaptureTracer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace vsr::test {
namespace {

using TSpxStreamTest = TSpxTest;

std::unique_ptr<TSpxStream> Open(const std::string& path,
                                 TSpxSilences silences = TSpxSilences::Load) {
    return std::make_unique<TSpxStream>(path, TFileMode::OpenRead, silences);
}

std::vector<std::byte> Slice(const std::vector<std::byte>& bytes, std::int64_t from,
                             std::int64_t count) {
    return {bytes.begin() + from, bytes.begin() + from + count};
}

// Frame data of `frames` records built by repeating a short coded tone: every record is a
// valid Speex frame, and building a long stream stays cheap.
std::vector<std::byte> RepeatedRecords(int frames) {
    const std::vector<std::byte> base = ToneRecords(50);
    std::vector<std::byte> data;
    data.reserve(static_cast<std::size_t>(frames) * RecordBytes);
    while (data.size() < static_cast<std::size_t>(frames) * RecordBytes)
        data.insert(data.end(), base.begin(), base.end());
    data.resize(static_cast<std::size_t>(frames) * RecordBytes);
    return data;
}

// The recording whose numbers the stream's arithmetic is checked against.
TEST_F(TSpxStreamTest, LongRecordingHasTheExpectedSizesAndSilencePositions) {
    const std::vector<TSpxSilence> silences = {{0, 6090},      {75110, 1450},   {1108960, 870},
                                               {1110120, 580}, {1222640, 2030}, {1352560, 870}};
    const std::string path =
        WriteFile(FDir, "long.spx", BuildSpx(RepeatedRecords(47320), silences));
    TCaptureTracer tracer;
    auto stream = Open(path);

    EXPECT_EQ(stream->CompBlock(), 290);
    EXPECT_EQ(stream->PcmBlock(), 3200);
    EXPECT_EQ(stream->DataEnd() - stream->DataStart(), 1372280);
    EXPECT_EQ(stream->TotalSilence(), 11890);
    EXPECT_EQ(stream->Size(), 15273600);
    EXPECT_EQ(stream->Duration(), 954);
    ASSERT_NE(stream->Silences(), nullptr);
    ASSERT_EQ(stream->Silences()->Count(), 6u);
    EXPECT_EQ((*stream->Silences())[1].Start, 75110);
    EXPECT_EQ((*stream->Silences())[5].Length, 870);
    EXPECT_TRUE(tracer.Contains("Liniste: 0 - 6090"));
    EXPECT_TRUE(tracer.Contains("Liniste: 1352560 - 870"));

    // 210 silent frames come first, then the first frame's sound.
    std::vector<std::byte> head(67200 + 3200, std::byte{0x55});
    ASSERT_EQ(stream->Read(head), head.size());
    EXPECT_TRUE(AllZero(std::span(head).first(67200)));
    EXPECT_FALSE(AllZero(std::span(head).subspan(67200)));

    // The silence (75110, 1450) lies at 896000 and lasts 16000 bytes.
    EXPECT_EQ(stream->Seek(896000 - 3200, TSeekOrigin::Begin), 896000 - 3200);
    std::vector<std::byte> around(3200 + 16000 + 3200, std::byte{0x55});
    ASSERT_EQ(stream->Read(around), around.size());
    EXPECT_FALSE(AllZero(std::span(around).first(3200)));
    EXPECT_TRUE(AllZero(std::span(around).subspan(3200, 16000)));
    EXPECT_FALSE(AllZero(std::span(around).subspan(19200)));

    // The last silence (1352560, 870) lies behind all the others, 9600 bytes long.
    const std::int64_t lastStart = std::int64_t{1352560} * 3200 / 290 + (11890 - 870) * 3200 / 290;
    EXPECT_EQ(stream->Seek(lastStart, TSeekOrigin::Begin), 15046400);
    std::vector<std::byte> last(9600 + 3200, std::byte{0x55});
    ASSERT_EQ(stream->Read(last), last.size());
    EXPECT_TRUE(AllZero(std::span(last).first(9600)));
    EXPECT_FALSE(AllZero(std::span(last).subspan(9600)));

    EXPECT_EQ(stream->Seek(-3200, TSeekOrigin::End), stream->Size() - 3200);
    std::vector<std::byte> tail(20000);
    EXPECT_EQ(stream->Read(tail), 3200u);
    EXPECT_EQ(stream->Position(), stream->Size());
    EXPECT_EQ(stream->Read(tail), 0u);
}

TEST_F(TSpxStreamTest, DecodedDataEqualsTheLibrarysDecodingWithSilencesAsZeros) {
    const std::vector<std::byte> records = ToneRecords(60, 523);
    // Silences at the start, between records, twice at one place is not made by the writer,
    // so the table keeps to ascending, distinct starts.
    const std::vector<TSpxSilence> silences = {
        {0, 5 * 29}, {7 * 29, 12 * 29}, {33 * 29, 1 * 29}, {60 * 29, 3 * 29}};
    const std::string path = WriteFile(FDir, "s.spx", BuildSpx(records, silences));
    auto stream = Open(path);
    EXPECT_EQ(stream->Size(), (60 + 5 + 12 + 1 + 3) * 320);

    const std::vector<std::byte> direct = DecodeDirect(records);
    ASSERT_EQ(direct.size(), 60u * 320);
    std::vector<std::byte> expected;
    auto zeros = [&](int frames) { expected.insert(expected.end(), frames * 320, std::byte{0}); };
    auto data = [&](int fromFrame, int toFrame) {
        expected.insert(expected.end(), direct.begin() + fromFrame * 320,
                        direct.begin() + toFrame * 320);
    };
    zeros(5);
    data(0, 7);
    zeros(12);
    data(7, 33);
    zeros(1);
    data(33, 60);
    zeros(3);

    // Seeking to every block: zeros where silences are, and data decoded from the record at
    // the block on (a fresh stream's decoder starts there, like a fresh reference decoder).
    std::vector<int> timeline; // record of each decoded frame, -1 inside a silence
    auto addSilence = [&](int frames) { timeline.insert(timeline.end(), frames, -1); };
    auto addData = [&](int from, int to) {
        for (int record = from; record < to; ++record)
            timeline.push_back(record);
    };
    addSilence(5);
    addData(0, 7);
    addSilence(12);
    addData(7, 33);
    addSilence(1);
    addData(33, 60);
    addSilence(3);
    for (std::size_t frame = 0; frame < timeline.size(); frame += 10) {
        int firstRecord = 60;
        for (std::size_t f = frame; f < timeline.size() && firstRecord == 60; ++f)
            if (timeline[f] >= 0)
                firstRecord = timeline[f];
        const std::vector<std::byte> fresh =
            DecodeDirect(std::span(records).subspan(static_cast<std::size_t>(firstRecord) * 29));
        std::vector<std::byte> want;
        for (std::size_t f = frame; f < timeline.size(); ++f) {
            if (timeline[f] < 0)
                want.insert(want.end(), 320, std::byte{0});
            else
                want.insert(want.end(), fresh.begin() + (timeline[f] - firstRecord) * 320,
                            fresh.begin() + (timeline[f] - firstRecord + 1) * 320);
        }
        auto seeking = Open(path);
        ASSERT_EQ(seeking->Seek(static_cast<std::int64_t>(frame) * 320, TSeekOrigin::Begin),
                  static_cast<std::int64_t>(frame) * 320);
        EXPECT_EQ(ReadAll(*seeking, 999), want) << "seek to frame " << frame;
    }

    // Pieces that split blocks, silences and frames anywhere.
    for (const std::size_t piece : {3200u, 1000u, 77u, 100000u}) {
        auto fresh = Open(path);
        EXPECT_EQ(ReadAll(*fresh, piece), expected) << "piece " << piece;
    }
}

TEST_F(TSpxStreamTest, SplitReadDeliversTheSameBytesAndTheSecondPartNeedsNoFile) {
    const std::vector<std::byte> records = ToneRecords(30);
    const std::string path = WriteFile(FDir, "a.spx", BuildSpx(records, {}));
    std::vector<std::byte> whole(3200);
    ASSERT_EQ(Open(path)->Read(whole), 3200u);

    auto stream = Open(path);
    std::vector<std::byte> first(1000);
    std::vector<std::byte> second(2200);
    ASSERT_EQ(stream->Read(first), 1000u);
    // Taking the file's data away shows the second part comes from the decoded block.
    std::filesystem::resize_file(path, 0);
    ASSERT_EQ(stream->Read(second), 2200u);
    EXPECT_EQ(first, Slice(whole, 0, 1000));
    EXPECT_EQ(second, Slice(whole, 1000, 2200));
    EXPECT_EQ(stream->Position(), 3200);

    // The next block is gone with the file: the Read ends without delivering anything.
    std::vector<std::byte> more(3200);
    EXPECT_EQ(stream->Read(more), 0u);
    EXPECT_EQ(stream->Position(), 3200);
}

TEST_F(TSpxStreamTest, ReadsUpToTheEndInWholeRequests) {
    const std::vector<std::byte> records = ToneRecords(20);
    const std::string path = WriteFile(FDir, "w.spx", BuildSpx(records, {}));
    const std::vector<std::byte> direct = DecodeDirect(records);
    {
        auto stream = Open(path);
        std::vector<std::byte> all(6400);
        EXPECT_EQ(stream->Read(all), 6400u);
        EXPECT_EQ(all, direct);
    }
    {
        auto stream = Open(path);
        std::vector<std::byte> block(3200);
        EXPECT_EQ(stream->Read(block), 3200u);
        EXPECT_EQ(stream->Read(block), 3200u); // the last block, not an early end
        EXPECT_EQ(block, Slice(direct, 3200, 3200));
        EXPECT_EQ(stream->Read(block), 0u);
    }
    {
        const std::string shorter = WriteFile(FDir, "w15.spx", BuildSpx(ToneRecords(15), {}));
        auto stream = Open(shorter);
        std::vector<std::byte> block(3200);
        EXPECT_EQ(stream->Read(block), 3200u);
        EXPECT_EQ(stream->Read(block), 1600u);
        EXPECT_EQ(stream->Read(block), 0u);
    }
}

TEST_F(TSpxStreamTest, SeekRoundsToBlocksAndClamps) {
    // 15 frames: Size 4800 is not a whole number of blocks.
    const std::string path = WriteFile(FDir, "b.spx", BuildSpx(ToneRecords(15), {}));
    auto stream = Open(path);
    ASSERT_EQ(stream->Size(), 4800);
    EXPECT_EQ(stream->Seek(5000, TSeekOrigin::Begin), 3200);
    EXPECT_EQ(stream->Position(), 3200);
    EXPECT_EQ(stream->Seek(-1, TSeekOrigin::Begin), 0);
    EXPECT_EQ(stream->Seek(-3201, TSeekOrigin::Begin), 0);
    EXPECT_EQ(stream->Seek(1000000, TSeekOrigin::Begin), 4800);
    EXPECT_EQ(stream->Seek(std::numeric_limits<std::int64_t>::max(), TSeekOrigin::Current), 4800);
    EXPECT_EQ(stream->Seek(-1, TSeekOrigin::End), 3200);
    EXPECT_EQ(stream->Seek(-3200, TSeekOrigin::Current), 0);
    EXPECT_EQ(stream->Seek(3199, TSeekOrigin::Current), 0);
    stream->SetPlayPosition(3500);
    EXPECT_EQ(stream->Position(), 3200);

    stream->SetPlayPosition(0);
    EXPECT_EQ(ReadAll(*stream, 1000).size(), 4800u);
    EXPECT_EQ(stream->Position(), 4800);
    std::vector<std::byte> buffer(100);
    EXPECT_EQ(stream->Read(buffer), 0u);
    // Asking for the position through Seek moves it down to the last block boundary.
    EXPECT_EQ(stream->Seek(0, TSeekOrigin::Current), 3200);
    EXPECT_EQ(stream->Read(buffer), 100u);
}

TEST_F(TSpxStreamTest, SeekIntoSilenceGivesZerosToItsEndThenTheFrameAtItsStart) {
    const std::vector<std::byte> records = ToneRecords(50, 660);
    // Silence of 30 frames before record 20: decoded 6400 .. 16000.
    const std::string path = WriteFile(FDir, "c.spx", BuildSpx(records, {{20 * 29, 30 * 29}}));
    auto stream = Open(path);
    ASSERT_EQ(stream->Size(), 80 * 320);
    EXPECT_EQ(stream->Seek(9600, TSeekOrigin::Begin), 9600);
    std::vector<std::byte> got(6400 + 3200, std::byte{0x55});
    ASSERT_EQ(stream->Read(got), got.size());
    EXPECT_TRUE(AllZero(std::span(got).first(6400)));
    // A fresh decoder sees the same records from record 20 on.
    const std::vector<std::byte> fromStart = DecodeDirect(std::span(records).subspan(20 * 29));
    EXPECT_EQ(Slice(got, 6400, 3200), Slice(fromStart, 0, 3200));

    // Into the data before the silence: records 10..19, then the silence.
    auto other = Open(path);
    other->SetPlayPosition(3200);
    std::vector<std::byte> before(3200 + 9600, std::byte{0x55});
    ASSERT_EQ(other->Read(before), before.size());
    const std::vector<std::byte> fromTen =
        DecodeDirect(std::span(records).subspan(10 * 29, 10 * 29));
    EXPECT_EQ(Slice(before, 0, 3200), fromTen);
    EXPECT_TRUE(AllZero(std::span(before).subspan(3200)));

    // Exactly at the silence's start: a position equal to the start lies inside it.
    auto atStart = Open(path);
    atStart->SetPlayPosition(6400);
    std::vector<std::byte> whole(9600 + 3200, std::byte{0x55});
    ASSERT_EQ(atStart->Read(whole), whole.size());
    EXPECT_TRUE(AllZero(std::span(whole).first(9600)));
    EXPECT_EQ(Slice(whole, 9600, 3200), Slice(fromStart, 0, 3200));

    // Behind the silence: the frame data resumes at record 30.
    auto behind = Open(path);
    behind->SetPlayPosition(19200);
    std::vector<std::byte> later(3200);
    ASSERT_EQ(behind->Read(later), later.size());
    EXPECT_EQ(later, Slice(DecodeDirect(std::span(records).subspan(30 * 29)), 0, 3200));

    // Exactly at the silence's end: data of record 20 at once.
    auto atEnd = Open(path);
    atEnd->SetPlayPosition(16000);
    std::vector<std::byte> after(3200);
    ASSERT_EQ(atEnd->Read(after), after.size());
    EXPECT_EQ(after, Slice(fromStart, 0, 3200));
}

TEST_F(TSpxStreamTest, StreamWithoutFramesAndOneSilenceReadsAsZeros) {
    const std::string path = WriteFile(FDir, "z.spx", BuildSpx({}, {{0, 25 * 29}}));
    auto stream = Open(path);
    EXPECT_EQ(stream->Size(), 8000);
    std::vector<std::byte> buffer(10000, std::byte{0x55});
    ASSERT_EQ(stream->Read(buffer), 8000u);
    EXPECT_TRUE(AllZero(std::span(buffer).first(8000)));
    EXPECT_EQ(buffer[8000], std::byte{0x55});
    EXPECT_EQ(stream->Read(buffer), 0u);
}

TEST_F(TSpxStreamTest, StreamWithoutMagicHasNoSilenceTable) {
    const std::vector<std::byte> records = ToneRecords(25);
    std::vector<std::byte> bytes;
    for (const std::int32_t value : {1, 8000, 6, 10})
        PutInt32(bytes, value);
    bytes.insert(bytes.end(), records.begin(), records.end());
    const std::string path = WriteFile(FDir, "n.spx", bytes);

    TCaptureTracer tracer;
    auto stream = Open(path, TSpxSilences::Load);
    EXPECT_FALSE(stream->LoadSilences());
    EXPECT_EQ(stream->Silences(), nullptr);
    EXPECT_EQ(stream->DataStart(), 16);
    EXPECT_EQ(stream->DataEnd(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(stream->Size(), 25 * 320);
    EXPECT_EQ(ReadAll(*stream), DecodeDirect(records));
    for (const std::string& line : tracer.Lines())
        EXPECT_EQ(line.rfind("Liniste", 0), std::string::npos) << line;
}

TEST_F(TSpxStreamTest, SilencesCanBeIgnored) {
    const std::vector<std::byte> records = ToneRecords(20);
    const std::string path = WriteFile(FDir, "i.spx", BuildSpx(records, {{0, 290}}));
    auto stream = Open(path, TSpxSilences::Ignore);
    EXPECT_EQ(stream->Silences(), nullptr);
    EXPECT_EQ(stream->Size(), 20 * 320);
    EXPECT_EQ(ReadAll(*stream), DecodeDirect(records));
}

TEST_F(TSpxStreamTest, IsReadOnly) {
    const std::string path = WriteFile(FDir, "r.spx", BuildSpx(ToneRecords(10), {}));
    auto stream = Open(path);
    const std::byte data[4]{};
    try {
        stream->Write(data);
        FAIL() << "Write did not raise";
    } catch (const ESpxStream& e) {
        EXPECT_EQ(e.Message(), "Cannot write to a SPX file opened readonly");
    }
    try {
        stream->SetSize(0);
        FAIL() << "SetSize did not raise";
    } catch (const ESpxStream& e) {
        EXPECT_EQ(e.Message(), "Cannot set size of a SPX file opened readonly");
    }
    EXPECT_EQ(std::filesystem::file_size(path), 22u + 290 + 12);
}

void ExpectInvalid(const TTempDir& dir, const std::vector<std::byte>& bytes,
                   const std::string& what) {
    const std::string path = WriteFile(dir, "bad.spx", bytes);
    try {
        TSpxStream stream(path, TFileMode::OpenRead, TSpxSilences::Load);
        ADD_FAILURE() << what << ": opened";
    } catch (const ESpxStream& e) {
        EXPECT_EQ(e.Message(), "Invalid SPX file") << what;
    }
}

TEST_F(TSpxStreamTest, RejectsMalformedStreams) {
    const std::vector<std::byte> records = ToneRecords(10);
    ExpectInvalid(FDir, BuildSpx(records, {}, {1, 8000, 0, 10}), "quality 0");
    ExpectInvalid(FDir, BuildSpx(records, {}, {1, 8000, 11, 10}), "quality 11");
    ExpectInvalid(FDir, BuildSpx(records, {}, {1, 8000, 6, 11}), "complexity 11");
    ExpectInvalid(FDir, BuildSpx(records, {}, {1, 8000, 6, 0}), "complexity 0");
    ExpectInvalid(FDir, BuildSpx(records, {}, {3, 8000, 6, 10}), "channels 3");
    ExpectInvalid(FDir, BuildSpx(records, {}, {-1, 8000, 6, 10}), "channels -1");

    std::vector<std::byte> longer = records;
    longer.push_back(std::byte{0});
    ExpectInvalid(FDir, BuildSpx(longer, {}), "frame data one byte longer");

    std::vector<std::byte> header = BuildSpx({}, {});
    header.resize(20);
    ExpectInvalid(FDir, header, "short header");
    ExpectInvalid(FDir, {}, "empty file");

    std::vector<std::byte> noTrailer = BuildSpx({}, {});
    noTrailer.resize(22 + 11);
    ExpectInvalid(FDir, noTrailer, "no room for count and offset");

    std::vector<std::byte> before = BuildSpx(records, {});
    before.resize(before.size() - 8);
    PutInt64(before, 21);
    ExpectInvalid(FDir, before, "table offset inside the header");

    std::vector<std::byte> behind = BuildSpx(records, {});
    const auto size = static_cast<std::int64_t>(behind.size());
    behind.resize(behind.size() - 8);
    PutInt64(behind, size - 11);
    ExpectInvalid(FDir, behind, "table offset past size - 12");

    std::vector<std::byte> negative = BuildSpx(records, {});
    negative.resize(negative.size() - 8);
    PutInt64(negative, -1);
    ExpectInvalid(FDir, negative, "negative table offset");

    // Count 1 at size - 12: the record would overlap the trailer and is short.
    std::vector<std::byte> shortRecord = BuildSpx(records, {});
    shortRecord[shortRecord.size() - 12] = std::byte{1};
    ExpectInvalid(FDir, shortRecord, "count 1 with a short record");

    // A damaged huge count fails on the missing records without allocating for them all.
    std::vector<std::byte> hugeCount = BuildSpx(records, {{0, 29}});
    const std::size_t countAt = 22 + records.size();
    for (std::size_t i = 0; i < 4; ++i)
        hugeCount[countAt + i] = i == 3 ? std::byte{0x7F} : std::byte{0xFF};
    ExpectInvalid(FDir, hugeCount, "huge count");
}

TEST_F(TSpxStreamTest, AcceptsTheLimitsOfValidStreams) {
    const std::vector<std::byte> records = ToneRecords(10);
    {
        const std::string path = WriteFile(FDir, "rate0.spx", BuildSpx(records, {}, {1, 0, 6, 10}));
        TSpxStream stream(path, TFileMode::OpenRead, TSpxSilences::Load);
        EXPECT_EQ(stream.Rate(), 0);
        EXPECT_EQ(stream.Size(), 3200);
    }
    {
        // Count 0 right at size - 12, no frames at all.
        const std::vector<std::byte> bytes = BuildSpx({}, {});
        ASSERT_EQ(GetInt64(bytes, bytes.size() - 8), static_cast<std::int64_t>(bytes.size()) - 12);
        const std::string path = WriteFile(FDir, "empty.spx", bytes);
        TSpxStream stream(path, TFileMode::OpenRead, TSpxSilences::Load);
        EXPECT_EQ(stream.Size(), 0);
        EXPECT_EQ(stream.Duration(), 0);
        std::vector<std::byte> buffer(100);
        EXPECT_EQ(stream.Read(buffer), 0u);
    }
    {
        // Quality 1 and 10 have their own record sizes; both must divide the frame data.
        for (const std::int32_t quality : {1, 10}) {
            TSpxWriterSettings settings;
            settings.Quality = quality;
            settings.Silences = TSpxSilenceHandling::Code;
            std::vector<std::int16_t> pcm;
            AppendTone(pcm, 440, 12 * FrameSamples);
            const std::string path = WriteFile(FDir, "q.spx", TSpxWriter::Encode(pcm, settings));
            TSpxStream stream(path, TFileMode::OpenRead, TSpxSilences::Load);
            EXPECT_EQ(stream.Quality(), quality);
            EXPECT_EQ(stream.Size(), 12 * 320);
            EXPECT_EQ(ReadAll(stream).size(), 12u * 320);
        }
    }
}

TEST_F(TSpxStreamTest, ShortenedFileEndsTheReadWithWhatWasDelivered) {
    const std::vector<std::byte> records = ToneRecords(40);
    const std::vector<std::byte> bytes = BuildSpx(records, {{20 * 29, 10 * 29}});
    const std::string path = WriteFile(FDir, "t.spx", bytes);
    auto stream = Open(path);
    ASSERT_EQ(stream->Size(), 50 * 320);
    // Cut in the middle of record 15.
    std::filesystem::resize_file(path, 22 + 15 * 29 + 10);
    std::vector<std::byte> buffer(static_cast<std::size_t>(stream->Size()), std::byte{0x55});
    const std::size_t got = stream->Read(buffer);
    EXPECT_EQ(got, 15u * 320);
    EXPECT_EQ(stream->Position(), 15 * 320);
    EXPECT_EQ(stream->Read(buffer), 0u);
    // A seek into the silence still delivers its zeros; the data after it is gone.
    stream->SetPlayPosition(6400);
    std::fill(buffer.begin(), buffer.end(), std::byte{0x55});
    EXPECT_EQ(stream->Read(buffer), 3200u);
    EXPECT_TRUE(AllZero(std::span(buffer).first(3200)));
    EXPECT_EQ(stream->Position(), 9600);
    EXPECT_EQ(stream->Read(buffer), 0u);
}

TEST_F(TSpxStreamTest, WrongLengthBytesNeverOverrunTheBlock) {
    // Every length byte 0: the block's bytes would be 290 one-byte records per block.
    std::vector<std::byte> zeros(40 * 29, std::byte{0});
    {
        const std::string path = WriteFile(FDir, "z0.spx", BuildSpx(zeros, {{29, 29}}));
        auto stream = Open(path);
        std::vector<std::byte> buffer(static_cast<std::size_t>(stream->Size()) + 100);
        const std::size_t got = stream->Read(buffer);
        EXPECT_LE(got, static_cast<std::size_t>(stream->Size()));
        EXPECT_LE(stream->Position(), stream->Size());
        EXPECT_LE(got + ReadAll(*stream).size(), static_cast<std::size_t>(stream->Size()));
    }
    // Negative length bytes end decoding at once: nothing decodes, the Read ends.
    {
        const std::vector<std::byte> negative(40 * 29, std::byte{0x80});
        const std::string path = WriteFile(FDir, "z1.spx", BuildSpx(negative, {}));
        auto stream = Open(path);
        std::vector<std::byte> buffer(3200);
        EXPECT_EQ(stream->Read(buffer), 0u);
        EXPECT_EQ(stream->Read(buffer), 0u);
    }
    // Records of 128 bytes: two fit into each block's 290 bytes, the rest of a block is lost.
    {
        const std::vector<std::byte> large(40 * 29, std::byte{0x7F});
        const std::string path = WriteFile(FDir, "z3.spx", BuildSpx(large, {}));
        auto stream = Open(path);
        std::vector<std::byte> buffer(3200);
        EXPECT_EQ(stream->Read(buffer), 4u * 2 * 320);
        EXPECT_EQ(stream->Read(buffer), 0u);
    }
    // Real records whose length bytes claim shorter frames (28 -> 13).
    std::vector<std::byte> records = ToneRecords(40);
    for (std::size_t at = 0; at < records.size(); at += 29)
        records[at] = std::byte{13};
    {
        const std::string path = WriteFile(FDir, "z2.spx", BuildSpx(records, {}));
        auto stream = Open(path);
        std::vector<std::byte> all = ReadAll(*stream, 5000);
        EXPECT_LE(all.size(), static_cast<std::size_t>(stream->Size()));
        EXPECT_EQ(stream->Position(), static_cast<std::int64_t>(all.size()));
    }
}

TEST_F(TSpxStreamTest, SilenceBehindTheFrameDataDoesNotReadTheTableAsFrames) {
    const std::vector<std::byte> records = ToneRecords(20);
    // Start 100 records in, but only 20 records exist.
    const std::string path = WriteFile(FDir, "d.spx", BuildSpx(records, {{100 * 29, 290}}));
    auto stream = Open(path);
    EXPECT_EQ(stream->Size(), 30 * 320);
    std::vector<std::byte> buffer(static_cast<std::size_t>(stream->Size()));
    EXPECT_EQ(stream->Read(buffer), 20u * 320);
    EXPECT_EQ(Slice(buffer, 0, 20 * 320), DecodeDirect(records));
    EXPECT_EQ(stream->Read(buffer), 0u);
}

} // namespace
} // namespace vsr::test
