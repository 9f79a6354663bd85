#pragma once
// TUserPaintPanel: a panel whose whole picture is drawn by its OnPaint event; the player draws
// the video on it. The background is never erased before painting, so the picture does not
// flicker. Without OnPaint it paints as a plain panel in its window colour. Main thread only.

#include <QFrame>

#include <functional>

class QPainter;

namespace vsr {

class TUserPaintPanel : public QFrame {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TUserPaintPanel& sender)>;

    explicit TUserPaintPanel(QWidget* parent = nullptr);
    ~TUserPaintPanel() override;

    // The painter of the panel while OnPaint runs, otherwise nullptr.
    QPainter* Canvas() const { return FCanvas; }

    TNotifyEvent OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPainter* FCanvas = nullptr;
};

} // namespace vsr
