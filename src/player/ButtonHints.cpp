#include "player/ButtonHints.h"

#include <QApplication>
#include <QToolButton>
#include <QToolTip>

namespace vsr {

namespace {

constexpr int cTipGap = 2;

// Qt's tool tip window; Qt itself names it so for style sheets.
QWidget* VisibleToolTip() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible())
            return widget;
    return nullptr;
}

} // namespace

std::span<const TButtonKeys> ButtonKeys() {
    static const TButtonKeys keys[] = {{"PlayButton", QKeySequence(Qt::Key_Space)},
                                       {"PauseButton", QKeySequence(Qt::Key_Space)},
                                       {"ToStartButton", QKeySequence(Qt::Key_Home)},
                                       {"LoadButton", QKeySequence(Qt::CTRL | Qt::Key_O)}};
    return keys;
}

void AddKeysToToolTips(QWidget& panel) {
    for (QToolButton* button : panel.findChildren<QToolButton*>()) {
        QString tip = button->toolTip().isEmpty() ? button->statusTip() : button->toolTip();
        for (const TButtonKeys& keys : ButtonKeys())
            if (button->objectName() == QLatin1String(keys.Button))
                tip += QStringLiteral(" (%1)").arg(keys.Keys.toString(QKeySequence::NativeText));
        button->setToolTip(tip);
    }
}

void ShowToolTipAbove(QWidget& button, const QWidget& panel) {
    const QPoint corner = button.mapToGlobal(QPoint(0, 0));
    QToolTip::showText(corner, button.toolTip(), &button);
    if (QWidget* tip = VisibleToolTip())
        tip->move(corner.x(), panel.mapToGlobal(QPoint(0, 0)).y() - tip->height() - cTipGap);
}

} // namespace vsr
