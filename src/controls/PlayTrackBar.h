#pragma once
// TPlayTrackBar: the player's seek bar. A slider that paints its Intervals in blue under the
// thumb; the player fills them with the stretches of the voice track that have sound. Its Marks
// are short ticks above the track (where the text searched for appears).

#include "controls/CustomSliderBar.h"
#include "controls/IntervalList.h"

#include <QColor>
#include <QSize>

#include <cstdint>
#include <vector>

namespace vsr {

// One interval's rectangle in client pixels; Right and Bottom are exclusive.
struct TIntervalBand {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TIntervalBand&) const = default;
};

inline constexpr int cIntervalMargin = 5;
inline constexpr int cIntervalTop = 7;
inline const QColor cIntervalColor{0, 0, 255};
inline const QColor cMarkColor{255, 128, 0};
inline constexpr int cMarkWidth = 2;

// The rectangle of one interval on a bar of the given client size whose scale runs from 0 to
// max (the bar's Min is taken as 0). Needs max > 0.
TIntervalBand IntervalBand(const TInterval& interval, std::int32_t max, QSize client);
// The rectangles of all intervals in list order; none when max is not above 0.
std::vector<TIntervalBand> IntervalBands(const TIntervalList& intervals, std::int32_t max,
                                         QSize client);

class TPlayTrackBar : public TCustomSliderBar {
    Q_OBJECT

public:
    explicit TPlayTrackBar(QWidget* parent = nullptr);
    ~TPlayTrackBar() override;

    TIntervalList& Intervals() { return FIntervals; }
    const TIntervalList& Intervals() const { return FIntervals; }
    // Positions on the bar's scale, repainted at once.
    void SetMarks(std::vector<std::int32_t> positions);
    const std::vector<std::int32_t>& Marks() const { return FMarks; }

protected:
    // Paints the intervals instead of firing OnPaint.
    void PaintExtras(QPainter& painter) override;

private:
    TIntervalList FIntervals;
    std::vector<std::int32_t> FMarks;
};

} // namespace vsr
