#include "audio/SoundIntervals.h"
#include "SpxFixture.h"

namespace vsr {
namespace {

using SoundIntervalsTest = test::TSpxTest;

TEST_F(SoundIntervalsTest, StretchesBetweenTheSilencesInDecodedBytes) {
    int files = 0;
    const auto intervals = [&](const std::vector<TSpxSilence>& silences, int frames,
                               TSpxSilences load = TSpxSilences::Load) {
        const auto spx = test::BuildSpx(test::ToneRecords(frames), silences);
        TSpxStream stream(test::WriteFile(FDir, std::to_string(++files), spx), TFileMode::OpenRead,
                          load);
        return SoundIntervals(stream);
    };
    // Silences (0, 6090) and (75110, 1450) of 29-byte records: decoded 0..67,200 and
    // 896,000..912,000, so the first stretch with sound is empty.
    const std::int32_t size = (6090 + 1450 + 2600 * 29) * 3200 / 290;
    EXPECT_EQ(intervals({{0, 6090}, {75110, 1450}}, 2600),
              (std::vector<TSoundInterval>{{0, 0}, {67200, 896000}, {912000, size}}));
    // A trailing silence leaves an empty last stretch.
    EXPECT_EQ(intervals({{290, 580}}, 10), (std::vector<TSoundInterval>{{0, 3200}, {9600, 9600}}));
    // No silences give one stretch; silences not loaded give none.
    EXPECT_EQ(intervals({}, 20), (std::vector<TSoundInterval>{{0, 6400}}));
    EXPECT_TRUE(intervals({{0, 29}}, 20, TSpxSilences::Ignore).empty());
}

} // namespace
} // namespace vsr
