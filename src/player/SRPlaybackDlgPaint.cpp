// Painting the picture: FBitmap stretched into the play panel with its aspect kept, the
// recorded cursor on top and black bars around it; the panel's layout; header and trailer
// pictures drawn into FBitmap. Full screen, a picture larger than the play area is fitted
// into it rather than scrolled, so that the controls never cover its bottom.
#include "player/SRPlaybackDlg.h"

#include "player/BitmapImage.h"

#include "controls/UserPaintPanel.h"
#include "recording/Picture.h"
#include "render/Drawing.h"

#include <QAction>
#include <QPainter>
#include <QScrollArea>

#include <utility>

namespace vsr {

namespace {

QRect ToQRect(const TRect& rect) {
    return QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}

// Whether the picture is fitted into the play area: stretched, or full screen and too large.
bool Fitted(const QAction& stretch, bool fullScreen, const QScrollArea& area,
            const TBitmap32* bitmap) {
    if (stretch.isChecked())
        return true;
    return fullScreen && bitmap &&
           (bitmap->Width() > area.width() || bitmap->Height() > area.height());
}

} // namespace

// Stretched, the picture is fitted into the panel less one pixel each way; at natural size it
// is copied 1:1, all of it.
TRect TSRPlaybackDlg::FitRect() const {
    if (!Fitted(*MStretch, FFullScreen, *ScrollBox1, FBitmap.get()))
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
        // Scaled pictures are filtered; a 1:1 copy stays exact.
        canvas.setRenderHint(QPainter::SmoothPixmapTransform,
                             fit.Width() != FBitmap->Width() || fit.Height() != FBitmap->Height());
        canvas.drawImage(ToQRect(fit), WrapBitmap(*FBitmap));
        const TRect cursor = CursorRect(FCursorX, FCursorY, CursorImg.width(), CursorImg.height(),
                                        fit, FBitmap->Width(), FBitmap->Height());
        if (!cursor.Empty())
            canvas.drawImage(ToQRect(cursor), CursorImg);
        FPaintedCursor = cursor;
        PaintOutline(canvas, fit);
    }
    for (const TRect& bar : BlackBars(fit, sender.width(), sender.height()))
        if (!bar.Empty())
            canvas.fillRect(ToQRect(bar), Qt::black);
}

// The panel's parts that changed since the last paint: what the loop drew, and the cursor's
// old and new places when it moved (a filtered cursor reaches one pixel further).
void TSRPlaybackDlg::RepaintChanges() {
    TRect dirty;
    {
        const std::lock_guard lock(FDirtyLock);
        dirty = std::exchange(FDirty, {});
    }
    if (!FBitmap)
        return;
    const TRect fit = FitRect();
    TRect region = ShownRect(dirty, fit, FBitmap->Width(), FBitmap->Height());
    const TRect cursor = CursorRect(FCursorX, FCursorY, CursorImg.width(), CursorImg.height(), fit,
                                    FBitmap->Width(), FBitmap->Height());
    if (cursor != FPaintedCursor) {
        const auto grown = [](const TRect& r) {
            return r.Empty() ? r : TRect{r.Left - 1, r.Top - 1, r.Right + 1, r.Bottom + 1};
        };
        region = UnionRect(region, UnionRect(grown(cursor), grown(FPaintedCursor)));
    }
    if (!region.Empty())
        PlayPanel->update(ToQRect(region));
}

// Fitted: the panel fills the scroll box. Natural size: the panel takes the picture's size,
// centred in the visible area, and the scroll box scrolls when it is larger. Called again
// when the scroll box's size changes.
void TSRPlaybackDlg::UpdateLayout() {
    if (Fitted(*MStretch, FFullScreen, *ScrollBox1, FBitmap.get())) {
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
