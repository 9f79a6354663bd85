#include "player/ButtonGlyphs.h"

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

} // namespace

QPixmap GlyphPixmap(TGlyph glyph, TGlyphState state) {
    QPixmap pixmap(cGlyphSize, cGlyphSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawShapes(painter, glyph, state == TGlyphState::Enabled ? cEnabledColour : cDisabledColour,
               state);
    return pixmap;
}

QIcon GlyphIcon(TGlyph glyph) {
    QIcon icon;
    icon.addPixmap(GlyphPixmap(glyph, TGlyphState::Enabled), QIcon::Normal);
    icon.addPixmap(GlyphPixmap(glyph, TGlyphState::Disabled), QIcon::Disabled);
    return icon;
}

} // namespace vsr
