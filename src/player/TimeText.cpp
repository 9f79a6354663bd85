#include "player/TimeText.h"

#include <QLabel>
#include <QRegularExpression>

namespace vsr {

namespace {

const QString cOneLine = QStringLiteral(" / ");
// Room for the label's own margins and a little air on either side.
constexpr int cPadding = 8;

int TextWidth(const QLabel& label, const QString& text) {
    return label.fontMetrics().horizontalAdvance(text) + cPadding;
}

} // namespace

QString TimeText(const QLabel& label, const QString& elapsed, const QString& total) {
    const QString line = elapsed + cOneLine + total;
    // Qt breaks label lines at a line feed.
    return TextWidth(label, line) <= label.width() ? line : elapsed + '\n' + total;
}

void RefitTimeText(QLabel& label) {
    static const QRegularExpression separator(QStringLiteral("\n| / "));
    const QStringList parts = label.text().split(separator);
    if (parts.size() == 2)
        label.setText(TimeText(label, parts[0], parts[1]));
}

int OneLineTimeWidth(const QLabel& label) {
    return TextWidth(label, QStringLiteral("0:00:00") + cOneLine + QStringLiteral("0:00:00"));
}

} // namespace vsr
