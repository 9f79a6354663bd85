#include "audio/SpxStream.h"
#include "audio/SpxFixture.h"
#include "support/CaptureTracer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace vsr::test {
namespace {

class TSpxStreamTest : public TSpxTest {
protected:
    std::unique_ptr<TSpxStream> Open(const std::vector<std::byte>& bytes,
                                     TSpxSilences silences = TSpxSilences::Load) {
        FPath = WriteFile(FDir, "s" + std::to_string(FFiles++) + ".spx", bytes);
        return Reopen(silences);
    }
    // The last file again, with a fresh decoder.
    std::unique_ptr<TSpxStream> Reopen(TSpxSilences silences = TSpxSilences::Load) {
        return std::make_unique<TSpxStream>(FPath, TFileMode::OpenRead, silences);
    }
    std::string FPath; // of the last stream opened
    int FFiles = 0;
};

std::vector<std::byte> Slice(std::span<const std::byte> bytes, std::int64_t from,
                             std::int64_t count) {
    const auto part =
        bytes.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    return {part.begin(), part.end()};
}

// Reads exactly count bytes from the stream's position, with a sentinel in the buffer.
std::vector<std::byte> ReadBytes(TSpxStream& stream, std::size_t count) {
    std::vector<std::byte> buffer(count, std::byte{0x55});
    EXPECT_EQ(stream.Read(buffer), count);
    return buffer;
}

// The records of frame `from` on, decoded by a fresh decoder, as a stream's resync gives them.
std::vector<std::byte> DecodedFrom(const std::vector<std::byte>& records, int from) {
    return DecodeDirect(std::span(records).subspan(static_cast<std::size_t>(from) * 29));
}

// The recording whose numbers the stream's arithmetic is checked against.
TEST_F(TSpxStreamTest, LongRecordingHasTheExpectedSizesAndSilencePositions) {
    // Valid records repeated: a long stream stays cheap to build.
    const std::vector<std::byte> base = ToneRecords(50);
    std::vector<std::byte> records;
    while (records.size() < 47320u * 29)
        records.insert(records.end(), base.begin(), base.end());
    records.resize(47320u * 29);
    TCaptureTracer tracer;
    auto stream = Open(BuildSpx(records, {{0, 6090},
                                          {75110, 1450},
                                          {1108960, 870},
                                          {1110120, 580},
                                          {1222640, 2030},
                                          {1352560, 870}}));
    EXPECT_EQ(stream->CompBlock(), 290);
    EXPECT_EQ(stream->PcmBlock(), 3200);
    EXPECT_EQ(stream->TotalSilence(), 11890);
    EXPECT_EQ(stream->Size(), 15273600);
    EXPECT_EQ(stream->Duration(), 954);
    ASSERT_EQ(stream->Silences()->Count(), 6u);
    EXPECT_EQ((*stream->Silences())[1].Start, 75110);
    EXPECT_TRUE(tracer.Contains("Liniste: 0 - 6090"));
    EXPECT_TRUE(tracer.Contains("Liniste: 1352560 - 870"));

    // 210 silent frames come first, then the first frame's sound.
    const auto head = ReadBytes(*stream, 67200 + 3200);
    EXPECT_TRUE(AllZero(std::span(head).first(67200)));
    EXPECT_FALSE(AllZero(std::span(head).subspan(67200)));

    // The silence (75110, 1450) lies at 896000 and lasts 16000 bytes.
    EXPECT_EQ(stream->Seek(896000 - 3200, TSeekOrigin::Begin), 896000 - 3200);
    const auto around = ReadBytes(*stream, 3200 + 16000 + 3200);
    EXPECT_FALSE(AllZero(std::span(around).first(3200)));
    EXPECT_TRUE(AllZero(std::span(around).subspan(3200, 16000)));
    EXPECT_FALSE(AllZero(std::span(around).subspan(19200)));

    // The last silence lies behind all the others, 9600 bytes long.
    EXPECT_EQ(stream->Seek((1352560 + 11890 - 870) * 3200LL / 290, TSeekOrigin::Begin), 15046400);
    const auto last = ReadBytes(*stream, 9600 + 3200);
    EXPECT_TRUE(AllZero(std::span(last).first(9600)));
    EXPECT_FALSE(AllZero(std::span(last).subspan(9600)));
}

TEST_F(TSpxStreamTest, DecodedDataEqualsTheLibrarysDecodingWithSilencesAsZeros) {
    const std::vector<std::byte> records = ToneRecords(60, 523);
    Open(BuildSpx(records, {{0, 5 * 29}, {7 * 29, 12 * 29}, {33 * 29, 29}, {60 * 29, 3 * 29}}));
    // The record of each decoded frame, -1 inside a silence.
    std::vector<int> timeline(5, -1);
    for (const auto& [from, to, silent] : {std::tuple{0, 7, 12}, {7, 33, 1}, {33, 60, 3}}) {
        for (int record = from; record < to; ++record)
            timeline.push_back(record);
        timeline.insert(timeline.end(), silent, -1);
    }
    // From a frame on: zeros in the silences, and the records decoded from the first one behind
    // the frame (a fresh stream's resync starts there, like a fresh reference decoder).
    const auto wantFrom = [&](std::size_t frame) {
        const auto first = std::find_if(timeline.begin() + static_cast<std::ptrdiff_t>(frame),
                                        timeline.end(), [](int r) { return r >= 0; });
        const int firstRecord = first == timeline.end() ? 60 : *first;
        const std::vector<std::byte> fresh = DecodedFrom(records, firstRecord);
        std::vector<std::byte> want;
        for (std::size_t f = frame; f < timeline.size(); ++f) {
            if (timeline[f] < 0)
                want.insert(want.end(), 320, std::byte{0});
            else
                want.insert(want.end(), fresh.begin() + (timeline[f] - firstRecord) * 320,
                            fresh.begin() + (timeline[f] - firstRecord + 1) * 320);
        }
        return want;
    };
    for (std::size_t frame = 0; frame < timeline.size(); frame += 10) {
        auto stream = Reopen();
        ASSERT_EQ(stream->Seek(static_cast<std::int64_t>(frame) * 320, TSeekOrigin::Begin),
                  static_cast<std::int64_t>(frame) * 320);
        EXPECT_EQ(ReadAll(*stream, 999), wantFrom(frame)) << "seek to frame " << frame;
    }
    // Pieces that split blocks, silences and frames anywhere.
    for (const std::size_t piece : {77u, 100000u})
        EXPECT_EQ(ReadAll(*Reopen(), piece), wantFrom(0)) << "piece " << piece;
}

TEST_F(TSpxStreamTest, SplitReadDeliversTheSameBytesAndTheSecondPartNeedsNoFile) {
    const std::vector<std::byte> records = ToneRecords(30);
    const std::vector<std::byte> whole = DecodeDirect(records);
    auto stream = Open(BuildSpx(records, {}));
    EXPECT_EQ(ReadBytes(*stream, 1000), Slice(whole, 0, 1000));
    // Taking the file's data away shows the second part comes from the decoded block.
    std::filesystem::resize_file(FPath, 0);
    EXPECT_EQ(ReadBytes(*stream, 2200), Slice(whole, 1000, 2200));
    // The next block is gone with the file: the Read ends without delivering anything.
    std::vector<std::byte> more(3200);
    EXPECT_EQ(stream->Read(more), 0u);
    EXPECT_EQ(stream->Position(), 3200);
}

TEST_F(TSpxStreamTest, SeekRoundsToBlocksAndClamps) {
    // 15 frames: Size 4800 is not a whole number of blocks.
    const std::vector<std::byte> records = ToneRecords(15);
    auto stream = Open(BuildSpx(records, {}));
    ASSERT_EQ(stream->Size(), 4800);
    EXPECT_EQ(stream->Seek(5000, TSeekOrigin::Begin), 3200);
    EXPECT_EQ(stream->Position(), 3200);
    EXPECT_EQ(stream->Seek(-1, TSeekOrigin::Begin), 0);
    EXPECT_EQ(stream->Seek(1000000, TSeekOrigin::Begin), 4800);
    EXPECT_EQ(stream->Seek(std::numeric_limits<std::int64_t>::max(), TSeekOrigin::Current), 4800);
    EXPECT_EQ(stream->Seek(-1, TSeekOrigin::End), 3200);
    EXPECT_EQ(stream->Seek(3199, TSeekOrigin::Current), 3200);
    EXPECT_EQ(stream->Seek(-3201, TSeekOrigin::Current), 0);
    stream->SetPlayPosition(3500);
    EXPECT_EQ(stream->Position(), 3200);

    // Whole blocks up to the last, shorter one, then the end.
    stream->SetPlayPosition(0);
    EXPECT_EQ(ReadBytes(*stream, 3200), Slice(DecodeDirect(records), 0, 3200));
    std::vector<std::byte> buffer(3200);
    EXPECT_EQ(stream->Read(buffer), 1600u);
    EXPECT_EQ(stream->Read(buffer), 0u);
    EXPECT_EQ(stream->Position(), 4800);
    // Asking for the position through Seek moves it down to the last block boundary.
    EXPECT_EQ(stream->Seek(0, TSeekOrigin::Current), 3200);
    EXPECT_EQ(stream->Read(buffer), 1600u);
}

TEST_F(TSpxStreamTest, SeekIntoSilenceGivesZerosToItsEndThenTheFrameAtItsStart) {
    const std::vector<std::byte> records = ToneRecords(50, 660);
    // Silence of 30 frames before record 20: decoded 6400 .. 16000.
    ASSERT_EQ(Open(BuildSpx(records, {{20 * 29, 30 * 29}}))->Size(), 80 * 320);
    const std::vector<std::byte> fromTwenty = Slice(DecodedFrom(records, 20), 0, 3200);
    struct TCase {
        std::int64_t Position;
        std::int64_t Zeros;
        std::vector<std::byte> DataBefore; // decoded before the zeros
        std::vector<std::byte> DataAfter;
    };
    const TCase cases[] = {
        {9600, 6400, {}, fromTwenty},                                     // inside
        {6400, 9600, {}, fromTwenty},                                     // at the start: inside
        {3200, 9600, DecodeDirect(Slice(records, 10 * 29, 10 * 29)), {}}, // before
        {16000, 0, {}, fromTwenty},                                       // at the end
        {19200, 0, {}, Slice(DecodedFrom(records, 30), 0, 3200)},         // behind
    };
    for (const TCase& c : cases) {
        auto stream = Reopen();
        stream->SetPlayPosition(c.Position);
        const std::int64_t before = static_cast<std::int64_t>(c.DataBefore.size());
        const auto got =
            ReadBytes(*stream, static_cast<std::size_t>(before + c.Zeros) + c.DataAfter.size());
        EXPECT_EQ(Slice(got, 0, before), c.DataBefore) << c.Position;
        EXPECT_TRUE(AllZero(std::span(got).subspan(before, c.Zeros))) << c.Position;
        EXPECT_EQ(Slice(got, before + c.Zeros, static_cast<std::int64_t>(c.DataAfter.size())),
                  c.DataAfter)
            << c.Position;
    }
}

TEST_F(TSpxStreamTest, StreamWithoutFramesAndOneSilenceReadsAsZeros) {
    auto stream = Open(BuildSpx({}, {{0, 25 * 29}}));
    EXPECT_EQ(stream->Size(), 8000);
    std::vector<std::byte> buffer(10000, std::byte{0x55});
    ASSERT_EQ(stream->Read(buffer), 8000u);
    EXPECT_TRUE(AllZero(std::span(buffer).first(8000)));
    EXPECT_EQ(buffer[8000], std::byte{0x55});
    EXPECT_EQ(stream->Read(buffer), 0u);
}

TEST_F(TSpxStreamTest, WithoutMagicOrWhenIgnoredNoSilencesApply) {
    const std::vector<std::byte> records = ToneRecords(25);
    std::vector<std::byte> bytes;
    for (const std::int32_t value : {1, 8000, 6, 10})
        Put(bytes, value);
    bytes.insert(bytes.end(), records.begin(), records.end());
    TCaptureTracer tracer;
    auto stream = Open(bytes, TSpxSilences::Load);
    EXPECT_FALSE(stream->LoadSilences());
    EXPECT_EQ(stream->Silences(), nullptr);
    EXPECT_EQ(stream->DataStart(), 16);
    EXPECT_EQ(stream->DataEnd(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(ReadAll(*stream), DecodeDirect(records));
    EXPECT_TRUE(tracer.Lines().empty());

    auto ignoring = Open(BuildSpx(records, {{0, 290}}), TSpxSilences::Ignore);
    EXPECT_EQ(ignoring->Silences(), nullptr);
    EXPECT_EQ(ReadAll(*ignoring), DecodeDirect(records));
}

TEST_F(TSpxStreamTest, IsReadOnly) {
    auto stream = Open(BuildSpx(ToneRecords(10), {}));
    const std::byte data[4]{};
    const auto messageOf = [](auto action) {
        try {
            action();
        } catch (const ESpxStream& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf([&] { stream->Write(data); }),
              "Cannot write to a SPX file opened readonly");
    EXPECT_EQ(messageOf([&] { stream->SetSize(0); }),
              "Cannot set size of a SPX file opened readonly");
    EXPECT_EQ(std::filesystem::file_size(FPath), 22u + 290 + 12);
}

TEST_F(TSpxStreamTest, RejectsMalformedStreamsAndAcceptsTheLimits) {
    const std::vector<std::byte> records = ToneRecords(10);
    const auto withTrailer = [&](std::int64_t offset) {
        std::vector<std::byte> bytes = BuildSpx(records, {});
        bytes.resize(bytes.size() - 8);
        Put(bytes, offset);
        return bytes;
    };
    std::vector<std::byte> longer = records;
    longer.push_back(std::byte{0});
    const std::vector<std::byte> empty = BuildSpx({}, {});
    std::vector<std::byte> countOne = empty; // Count 1 at size - 12: its record is short
    countOne[countOne.size() - 12] = std::byte{1};
    // A damaged huge count fails on the missing records without allocating for them all.
    std::vector<std::byte> hugeCount = BuildSpx(records, {{0, 29}});
    for (std::size_t i = 0; i < 4; ++i)
        hugeCount[22 + records.size() + i] = i == 3 ? std::byte{0x7F} : std::byte{0xFF};
    const std::pair<const char*, std::vector<std::byte>> invalid[] = {
        {"quality 0", BuildSpx(records, {}, {1, 8000, 0, 10})},
        {"quality 11", BuildSpx(records, {}, {1, 8000, 11, 10})},
        {"complexity 11", BuildSpx(records, {}, {1, 8000, 6, 11})},
        {"channels 3", BuildSpx(records, {}, {3, 8000, 6, 10})},
        {"frame data one byte longer", BuildSpx(longer, {})},
        {"short header", Slice(empty, 0, 20)},
        {"no room for count and offset", Slice(empty, 0, 33)},
        {"table offset inside the header", withTrailer(21)},
        {"table offset past size - 12", withTrailer(22 + 290 + 1)},
        {"count 1 with a short record", countOne},
        {"huge count", hugeCount},
    };
    for (const auto& [what, bytes] : invalid) {
        try {
            Open(bytes);
            ADD_FAILURE() << what << ": opened";
        } catch (const ESpxStream& e) {
            EXPECT_EQ(e.Message(), "Invalid SPX file") << what;
        }
    }

    EXPECT_EQ(Open(BuildSpx(records, {}, {1, 0, 6, 10}))->Size(), 3200) << "rate 0";
    auto nothing = Open(empty); // Count 0 right at size - 12, no frames at all
    EXPECT_EQ(nothing->Size(), 0);
    std::vector<std::byte> buffer(100);
    EXPECT_EQ(nothing->Read(buffer), 0u);
}

// Damaged input that the open checks do not catch: every Read ends, within its buffers.
TEST_F(TSpxStreamTest, ShortenedFileEndsTheReadWithWhatWasDelivered) {
    auto stream = Open(BuildSpx(ToneRecords(40), {{20 * 29, 10 * 29}}));
    ASSERT_EQ(stream->Size(), 50 * 320);
    std::filesystem::resize_file(FPath, 22 + 15 * 29 + 10); // in the middle of record 15
    std::vector<std::byte> buffer(static_cast<std::size_t>(stream->Size()), std::byte{0x55});
    EXPECT_EQ(stream->Read(buffer), 15u * 320);
    EXPECT_EQ(stream->Position(), 15 * 320);
    EXPECT_EQ(stream->Read(buffer), 0u);
    // A seek into the silence still delivers its zeros; the data after it is gone.
    stream->SetPlayPosition(6400);
    EXPECT_TRUE(AllZero(ReadBytes(*stream, 3200)));
    EXPECT_EQ(stream->Read(buffer), 0u);
    EXPECT_EQ(stream->Position(), 9600);
}

TEST_F(TSpxStreamTest, WrongLengthBytesNeverOverrunTheBlock) {
    // Every length byte 0: a block's 290 bytes would decode to 290 frames.
    auto zeros = Open(BuildSpx(std::vector<std::byte>(40 * 29, std::byte{0}), {{29, 29}}));
    std::vector<std::byte> buffer(static_cast<std::size_t>(zeros->Size()) + 100);
    const std::size_t got = zeros->Read(buffer);
    EXPECT_LE(got + ReadAll(*zeros).size(), static_cast<std::size_t>(zeros->Size()));
    EXPECT_LE(zeros->Position(), zeros->Size());
    // Negative length bytes: nothing decodes, and the Read ends.
    auto negative = Open(BuildSpx(std::vector<std::byte>(40 * 29, std::byte{0x80}), {}));
    EXPECT_EQ(negative->Read(buffer), 0u);
    EXPECT_EQ(negative->Read(buffer), 0u);
}

TEST_F(TSpxStreamTest, SilenceBehindTheFrameDataDoesNotReadTheTableAsFrames) {
    const std::vector<std::byte> records = ToneRecords(20);
    auto stream = Open(BuildSpx(records, {{100 * 29, 290}})); // only 20 records exist
    EXPECT_EQ(stream->Size(), 30 * 320);
    std::vector<std::byte> buffer(static_cast<std::size_t>(stream->Size()));
    EXPECT_EQ(stream->Read(buffer), 20u * 320);
    EXPECT_EQ(Slice(buffer, 0, 20 * 320), DecodeDirect(records));
    EXPECT_EQ(stream->Read(buffer), 0u);
}

} // namespace
} // namespace vsr::test
