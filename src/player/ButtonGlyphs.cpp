#include "player/ButtonGlyphs.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vsr {

namespace {

const QColor cEnabledColour(0x20, 0x20, 0x20);
const QColor cDisabledColour(0xA0, 0xA0, 0xA0);
const QColor cFolderColour(0xE0, 0xB0, 0x40);

// A triangle pointing right (or left) inside the box x .. x + w, vertically centred.
QPolygonF Triangle(double x, double w, bool pointsRight) {
    const double top = 5;
    const double bottom = cGlyphSize - 5;
    const double mid = cGlyphSize / 2.0;
    if (pointsRight)
        return QPolygonF({QPointF(x, top), QPointF(x + w, mid), QPointF(x, bottom)});
    return QPolygonF({QPointF(x + w, top), QPointF(x, mid), QPointF(x + w, bottom)});
}

void DrawFolder(QPainter& painter, const QColor& ink, TGlyphState state) {
    painter.setPen(QPen(ink, 1));
    painter.setBrush(state == TGlyphState::Enabled ? cFolderColour : cDisabledColour.lighter(120));
    QPainterPath folder;
    folder.moveTo(3, 6);
    folder.lineTo(8, 6);
    folder.lineTo(10, 8);
    folder.lineTo(18, 8);
    folder.lineTo(18, 16);
    folder.lineTo(3, 16);
    folder.closeSubpath();
    painter.drawPath(folder);
}

void DrawShapes(QPainter& painter, TGlyph glyph, const QColor& ink, TGlyphState state) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    switch (glyph) {
    case TGlyph::ToStart:
        painter.drawRect(QRectF(5, 5, 2, cGlyphSize - 10));
        painter.drawPolygon(Triangle(7, 9, false));
        break;
    case TGlyph::Rewind:
        painter.drawPolygon(Triangle(2, 8, false));
        painter.drawPolygon(Triangle(10, 8, false));
        break;
    case TGlyph::Play:
        painter.drawPolygon(Triangle(6, 10, true));
        break;
    case TGlyph::Pause:
        painter.drawRect(QRectF(5, 5, 4, cGlyphSize - 10));
        painter.drawRect(QRectF(12, 5, 4, cGlyphSize - 10));
        break;
    case TGlyph::Stop:
        painter.drawRect(QRectF(5, 5, cGlyphSize - 10, cGlyphSize - 10));
        break;
    case TGlyph::FastForward:
        painter.drawPolygon(Triangle(3, 8, true));
        painter.drawPolygon(Triangle(11, 8, true));
        break;
    case TGlyph::Load:
        DrawFolder(painter, ink, state);
        break;
    }
}

// The glyph drawn into rect, whatever its size.
void PaintGlyph(QPainter& painter, const QRectF& rect, TGlyph glyph, TGlyphState state) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / cGlyphSize, rect.height() / cGlyphSize);
    DrawShapes(painter, glyph, state == TGlyphState::Enabled ? cEnabledColour : cDisabledColour,
               state);
    painter.restore();
}

TGlyphState StateOf(QIcon::Mode mode) {
    return mode == QIcon::Disabled ? TGlyphState::Disabled : TGlyphState::Enabled;
}

// Draws the glyph at the pixel size asked for, so that it stays sharp at any scaling.
class TGlyphEngine : public QIconEngine {
public:
    explicit TGlyphEngine(TGlyph glyph) : FGlyph(glyph) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        PaintGlyph(*painter, rect, FGlyph, StateOf(mode));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PaintGlyph(painter, QRectF(QPointF(0, 0), size), FGlyph, StateOf(mode));
        return pixmap;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TGlyphEngine(FGlyph); }

private:
    TGlyph FGlyph;
};

} // namespace

QPixmap GlyphPixmap(TGlyph glyph, TGlyphState state, qreal devicePixelRatio) {
    const int side = qRound(cGlyphSize * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        PaintGlyph(painter, QRectF(0, 0, side, side), glyph, state);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon GlyphIcon(TGlyph glyph) {
    // QIcon owns its engine.
    return QIcon(new TGlyphEngine(glyph));
}

} // namespace vsr
