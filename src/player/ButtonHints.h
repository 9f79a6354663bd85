#pragma once
// The transport buttons' tool tips: the hint of each button with the keys that do the same,
// shown above the controls panel so that the captions under the buttons stay readable.

#include <QKeySequence>

#include <span>

class QWidget;

namespace vsr {

struct TButtonKeys {
    const char* Button; // object name
    QKeySequence Keys;
};

// The buttons whose tool tips name keys; the others show their hint alone.
std::span<const TButtonKeys> ButtonKeys();

// Every button on panel gets its hint (the status tip, or a translated tool tip) as tool tip,
// followed by its keys in parentheses. Called once the language file's texts are on it.
void AddKeysToToolTips(QWidget& panel);

// Shows button's tool tip with its bottom edge just above panel.
void ShowToolTipAbove(QWidget& button, const QWidget& panel);

} // namespace vsr
