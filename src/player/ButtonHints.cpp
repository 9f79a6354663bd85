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

void AddKeysToToolTips(QWidget& panel, const std::function<QString(const QString&)>& keysOf) {
    for (QToolButton* button : panel.findChildren<QToolButton*>()) {
        QString tip = button->toolTip().isEmpty() ? button->statusTip() : button->toolTip();
        if (const QString keys = keysOf(button->objectName()); !keys.isEmpty())
            tip += QStringLiteral(" (%1)").arg(keys);
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
