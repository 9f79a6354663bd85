#include "audio/SoundIntervals.h"
#include "SpxTestData.h"

namespace vsr {
namespace {

using test::TSpxTest;

class SoundIntervalsTest : public TSpxTest {};

// Silences (0, 6090) and (75110, 1450) of 29-byte records: decoded 0..67,200 and
// 896,000..912,000, so the first stretch with sound is empty.
TEST_F(SoundIntervalsTest, StretchesBetweenTheSilencesInDecodedBytes) {
    const auto frames = test::ToneRecords(2600);
    const auto file =
        test::WriteFile(FDir, "a.spx", test::BuildSpx(frames, {{0, 6090}, {75110, 1450}}));
    TSpxStream stream(file, TFileMode::OpenRead, TSpxSilences::Load);
    const std::int64_t size = (6090 + 1450 + 2600 * 29) * 3200 / 290;
    ASSERT_EQ(stream.Size(), size);
    const std::vector<TSoundInterval> expected = {
        {0, 0}, {67200, 896000}, {912000, static_cast<std::int32_t>(size)}};
    EXPECT_EQ(SoundIntervals(stream), expected);
}

TEST_F(SoundIntervalsTest, NoSilencesGiveOneStretchAndNoTableGivesNone) {
    const auto frames = test::ToneRecords(20);
    const auto withMagic = test::WriteFile(FDir, "m.spx", test::BuildSpx(frames, {}));
    TSpxStream stream(withMagic, TFileMode::OpenRead, TSpxSilences::Load);
    EXPECT_EQ(SoundIntervals(stream), (std::vector<TSoundInterval>{{0, 6400}}));

    TSpxStream ignored(withMagic, TFileMode::OpenRead, TSpxSilences::Ignore);
    EXPECT_TRUE(SoundIntervals(ignored).empty());
}

TEST_F(SoundIntervalsTest, ATrailingSilenceLeavesAnEmptyLastStretch) {
    const auto frames = test::ToneRecords(10);
    const auto file = test::WriteFile(FDir, "t.spx", test::BuildSpx(frames, {{290, 580}}));
    TSpxStream stream(file, TFileMode::OpenRead, TSpxSilences::Load);
    EXPECT_EQ(SoundIntervals(stream), (std::vector<TSoundInterval>{{0, 3200}, {9600, 9600}}));
}

} // namespace
} // namespace vsr
