// Painting the picture: FBitmap stretched into the play panel with its aspect kept, the
// recorded cursor on top and black bars around it; the panel's layout; header and trailer
// pictures drawn into FBitmap.
#include "player/SRPlaybackDlg.h"

#include "controls/UserPaintPanel.h"
#include "recording/Picture.h"
#include "render/Drawing.h"

#include <QAction>
#include <QPainter>
#include <QScrollArea>

namespace vsr {

namespace {

QRect ToQRect(const TRect& rect) {
    return QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}

// FBitmap's pixels as an image, without copying; valid while the bitmap is locked.
QImage WrapBitmap(const TBitmap32& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                  bitmap.StrideBytes(), QImage::Format_RGB32);
}

} // namespace

// Stretched, the picture is fitted into the panel less one pixel each way; at natural size it
// is copied 1:1, all of it.
TRect TSRPlaybackDlg::FitRect() const {
    if (!MStretch->isChecked())
        return {0, 0, FBitmap->Width(), FBitmap->Height()};
    return vsr::FitRect(PlayPanel->width(), PlayPanel->height(), FBitmap->Width(),
                        FBitmap->Height());
}

void TSRPlaybackDlg::PlayPanelPaint(TUserPaintPanel& sender) {
    QPainter& canvas = *sender.Canvas();
    if (!FBitmap) {
        canvas.fillRect(sender.rect(), Qt::black);
        return;
    }
    const auto lock = FBitmap->CanvasLock();
    const TRect fit = FitRect();
    if (!FBitmap->Empty() && !fit.Empty()) {
        canvas.drawImage(ToQRect(fit), WrapBitmap(*FBitmap));
        const TRect cursor = CursorRect(FCursorX, FCursorY, CursorImg.width(), CursorImg.height(),
                                        fit, FBitmap->Width(), FBitmap->Height());
        if (!cursor.Empty())
            canvas.drawImage(ToQRect(cursor), CursorImg);
    }
    for (const TRect& bar : BlackBars(fit, sender.width(), sender.height()))
        if (!bar.Empty())
            canvas.fillRect(ToQRect(bar), Qt::black);
}

// Stretched: the panel fills the scroll box. Natural size: the panel takes the picture's size,
// centred in the visible area, and the scroll box scrolls when it is larger.
void TSRPlaybackDlg::UpdateLayout() {
    if (MStretch->isChecked()) {
        ScrollBox1->setWidgetResizable(true);
        return;
    }
    if (!FBitmap)
        return;
    ScrollBox1->setWidgetResizable(false);
    PlayPanel->resize(FBitmap->Width(), FBitmap->Height());
}

void TSRPlaybackDlg::DrawCentred(const TPicture* picture) {
    if (!picture || picture->Empty() || !FBitmap)
        return;
    const TScreenPicture& image = picture->Image();
    vsr::DrawCentred(*FBitmap, PackedPixels(image.Width, image.Height, image.Pixels));
    PlayPanel->update();
}

} // namespace vsr
