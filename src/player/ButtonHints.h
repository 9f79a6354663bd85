#pragma once
// The transport buttons' tool tips: the hint of each button with the keys that do the same,
// shown above the controls panel so that the captions under the buttons stay readable.

#include <QString>

#include <functional>

class QWidget;

namespace vsr {

// Every button on panel gets its hint (the status tip, or a translated tool tip) as tool tip,
// followed by keysOf(its object name) in parentheses when there are keys. Called once the
// language file's texts are on it.
void AddKeysToToolTips(QWidget& panel, const std::function<QString(const QString&)>& keysOf);

// Shows button's tool tip with its bottom edge just above panel.
void ShowToolTipAbove(QWidget& button, const QWidget& panel);

} // namespace vsr
