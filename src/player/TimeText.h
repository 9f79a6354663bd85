#pragma once
// The text of the time display: "elapsed / total" on one line where the label is wide enough
// for it, else elapsed above total.

#include <QString>

class QLabel;

namespace vsr {

QString TimeText(const QLabel& label, const QString& elapsed, const QString& total);

// The label's present text laid out again for its present width.
void RefitTimeText(QLabel& label);

// The width the label needs for the widest one-line text of times below 10 hours.
int OneLineTimeWidth(const QLabel& label);

} // namespace vsr
