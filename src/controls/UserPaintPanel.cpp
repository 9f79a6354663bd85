#include "controls/UserPaintPanel.h"

#include <QPainter>

namespace vsr {

TUserPaintPanel::TUserPaintPanel(QWidget* parent) : QFrame(parent) {
    // Qt must not fill the background before paintEvent: OnPaint covers the panel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

TUserPaintPanel::~TUserPaintPanel() {
    OnPaint = nullptr;
}

void TUserPaintPanel::paintEvent(QPaintEvent* event) {
    if (!OnPaint) {
        {
            QPainter painter(this);
            painter.fillRect(rect(), palette().window());
        }
        QFrame::paintEvent(event);
        return;
    }
    QPainter painter(this);
    FCanvas = &painter;
    struct TReset {
        QPainter*& Canvas;
        ~TReset() { Canvas = nullptr; }
    } reset{FCanvas};
    OnPaint(*this);
}

} // namespace vsr
