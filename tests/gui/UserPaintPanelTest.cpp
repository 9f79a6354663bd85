// TUserPaintPanel: OnPaint draws the whole panel; nothing is erased before it.
#include "controls/UserPaintPanel.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace vsr {
namespace {

const QColor cSentinel(255, 0, 255);

// Renders the panel over a picture filled with the sentinel colour, as Qt paints a window:
// Qt fills the background first unless the panel declares that it paints everything itself.
QImage RenderOverSentinel(TUserPaintPanel& panel) {
    QImage image(panel.size(), QImage::Format_RGB32);
    image.fill(cSentinel);
    panel.render(&image);
    return image;
}

TEST(UserPaintPanel, OnPaintDrawsWithTheSenderAndItsCanvas) {
    TUserPaintPanel panel;
    panel.resize(80, 40);
    int paints = 0;
    panel.OnPaint = [&](TUserPaintPanel& sender) {
        EXPECT_EQ(&sender, &panel);
        ASSERT_NE(sender.Canvas(), nullptr);
        sender.Canvas()->fillRect(0, 0, 40, 40, Qt::red);
        ++paints;
    };
    const QImage image = RenderOverSentinel(panel);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(panel.Canvas(), nullptr);
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::red));
    // Not drawn by OnPaint, so not erased either.
    EXPECT_EQ(image.pixelColor(60, 10), cSentinel);
    EXPECT_EQ(image.pixelColor(79, 39), cSentinel);
}

TEST(UserPaintPanel, WithoutOnPaintItPaintsAsAPlainPanel) {
    TUserPaintPanel panel;
    panel.resize(80, 40);
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, Qt::black);
    panel.setPalette(palette);
    const QImage image = RenderOverSentinel(panel);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(60, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(79, 39), QColor(Qt::black));
}

} // namespace
} // namespace vsr
