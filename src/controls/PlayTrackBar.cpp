#include "controls/PlayTrackBar.h"

#include <QPainter>

#include <algorithm>
#include <limits>

namespace vsr {
namespace {

int ToPixel(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

TIntervalBand IntervalBand(const TInterval& interval, std::int32_t max, QSize client) {
    const std::int64_t width = client.width() - 2 * cIntervalMargin;
    return {ToPixel(interval.Start * width / max + cIntervalMargin), cIntervalTop,
            ToPixel(interval.End * width / max + cIntervalMargin), client.height() - cIntervalTop};
}

std::vector<TIntervalBand> IntervalBands(const TIntervalList& intervals, std::int32_t max,
                                         QSize client) {
    std::vector<TIntervalBand> bands;
    // A scale that ends at or below 0 has no room for intervals and would divide by zero.
    if (max <= 0)
        return bands;
    bands.reserve(intervals.Count());
    for (std::size_t i = 0; i < intervals.Count(); ++i)
        if (const TInterval* interval = intervals.Item(i))
            bands.push_back(IntervalBand(*interval, max, client));
    return bands;
}

TPlayTrackBar::TPlayTrackBar(QWidget* parent) : TCustomSliderBar(parent) {
    FIntervals.OnChange = [this](TFreeList<TInterval>&) { update(); };
}

TPlayTrackBar::~TPlayTrackBar() {
    FIntervals.OnChange = nullptr;
}

void TPlayTrackBar::SetMarks(std::vector<std::int32_t> positions) {
    FMarks = std::move(positions);
    update();
}

void TPlayTrackBar::PaintExtras(QPainter& painter) {
    for (const TIntervalBand& band : IntervalBands(FIntervals, Max(), TrackSize())) {
        // An empty or reversed interval leaves no mark.
        if (band.Right <= band.Left || band.Bottom <= band.Top)
            continue;
        painter.fillRect(QRect(band.Left, band.Top, band.Right - band.Left, band.Bottom - band.Top),
                         cIntervalColor);
    }
    // Above the track's outline, centred where the thumb would stand, so that a seek to a
    // mark puts the thumb on it.
    for (const std::int32_t mark : FMarks)
        painter.fillRect(QRect(CentreAt(mark) - cMarkWidth / 2, 0, cMarkWidth, cBandTop - 1),
                         cMarkColor);
}

} // namespace vsr
