#pragma once
// TCustomSliderBar: a generic slider with its own painting, the base of the player's seek bar.
//
// Scale: Position always lies within [Min, Max], Min < Max, and Frequency (the tick spacing
// and the size of one keyboard or click step) within [1, Max - Min].
//
// Mouse: OnMouseDown runs first and may abandon the press by setting its press argument to
// TMousePress::Abort; the bar then ignores the press silently (the player does this for
// every press, so its bar only displays). Otherwise a left press on the thumb drags it, and a
// left press beside the thumb steps by Frequency towards the pointer at once and every
// cRepeatInterval while held. The release ends either and fires OnChangeEnd.
//
// Geometry is laid out along the track: on a vertical bar the horizontal layout is turned a
// quarter so that Min lies at the bottom (Up increases). Main thread only.

#include "shell/Exception.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string_view>

class QPainter;

namespace vsr {

inline constexpr std::string_view sSliderOutOfRange = "Out of range %d-%d";

class ESliderBar : public Exception {
public:
    using Exception::Exception;
};

enum class TSliderOrientation { Horizontal, Vertical };
enum class TTickMarks { Hidden, Shown };
enum class TFocusRect { Hidden, Shown };
// Set by an OnMouseDown handler to abandon the press before the bar acts on it.
enum class TMousePress { Handle, Abort };

struct TSliderMouse {
    Qt::MouseButton Button = Qt::NoButton;
    Qt::KeyboardModifiers Modifiers;
    QPoint Pos; // client coordinates
};

class TCustomSliderBar : public QWidget {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TCustomSliderBar& sender)>;
    using TMouseEvent = std::function<void(TCustomSliderBar& sender, const TSliderMouse& mouse)>;
    using TMouseDownEvent = std::function<void(TCustomSliderBar& sender, const TSliderMouse& mouse,
                                               TMousePress& press)>;

    static constexpr int cRepeatInterval = 400;
    static constexpr int cDefaultWidth = 150;
    static constexpr int cDefaultHeight = 40;
    // Layout along the track, in pixels.
    static constexpr int cTrackMargin = 5;
    static constexpr int cThumbWidth = 12;
    static constexpr int cBandTop = 7; // the track's inside spans [cBandTop, breadth - cBandTop)

    explicit TCustomSliderBar(QWidget* parent = nullptr);
    ~TCustomSliderBar() override;

    std::int32_t Min() const { return FMin; }
    std::int32_t Max() const { return FMax; }
    std::int32_t Position() const { return FPosition; }
    std::int32_t Frequency() const { return FFrequency; }
    // A range whose max is not above min is ignored.
    void SetRange(std::int32_t min, std::int32_t max);
    void SetMin(std::int32_t value) { SetRange(value, FMax); }
    void SetMax(std::int32_t value) { SetRange(FMin, value); }
    // Clamped into [Min, Max]; OnChange fires when the value changed.
    void SetPosition(std::int32_t value);
    // ESliderBar "Out of range 1-(Max - Min)" outside [1, Max - Min].
    void SetFrequency(std::int32_t value);

    TSliderOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TSliderOrientation value);
    TTickMarks TickMarks() const { return FTickMarks; }
    void SetTickMarks(TTickMarks value);
    TFocusRect FocusRect() const { return FFocusRect; }
    void SetFocusRect(TFocusRect value);
    // Tab stop: the bar takes the keyboard focus (by Tab, or by a press it acts on) unless its
    // focus policy is set to NoFocus.
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }

    bool Dragging() const { return FTracking == TTracking::Drag; }
    bool Repeating() const { return FTracking == TTracking::Step; }

    // Geometry in track coordinates (x along the track, y across it).
    QSize TrackSize() const;
    QRect TrackRect() const;
    int UsableLength() const;
    int ThumbCentre() const;
    // Where the thumb's centre would be at position (clamped into [Min, Max]).
    int CentreAt(std::int32_t position) const;
    QRect ThumbRect() const;
    // Widget coordinates to track coordinates.
    QPoint ToTrack(QPoint clientPos) const;
    // The Position whose thumb centre lies at x (track coordinates).
    virtual std::int32_t PositionAt(int x) const;

    QSize sizeHint() const override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChangeEnd;
    // Fired by the base paint-extras hook.
    TNotifyEvent OnPaint;
    TMouseDownEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseEvent OnMouseMove;

protected:
    // Painting steps, in track coordinates, called in this order by paintEvent.
    virtual void PaintBackground(QPainter& painter);
    virtual void PaintExtras(QPainter& painter);
    virtual void PaintTrack(QPainter& painter);
    virtual void PaintTicks(QPainter& painter);
    virtual void PaintThumb(QPainter& painter);
    virtual void PaintFocusRect(QPainter& painter);

    virtual void Changed();
    virtual void ChangeEnd();
    virtual void MouseDown(const TSliderMouse& mouse);
    virtual void MouseMove(const TSliderMouse& mouse);
    virtual void MouseUp(const TSliderMouse& mouse);
    // One step of Frequency towards the pointer, while it lies beside the thumb.
    virtual void StepTowardsPointer();

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class TTracking { None, Drag, Step };

    static TSliderMouse MouseOf(const QMouseEvent& event);
    void EndTracking();
    bool OnThumb(QPoint trackPos) const;
    void UpdateCursor(QPoint trackPos);

    std::int32_t FMin = 0;
    std::int32_t FMax = 100;
    std::int32_t FPosition = 0;
    std::int32_t FFrequency = 10;
    TSliderOrientation FOrientation = TSliderOrientation::Horizontal;
    TTickMarks FTickMarks = TTickMarks::Shown;
    TFocusRect FFocusRect = TFocusRect::Shown;
    TTracking FTracking = TTracking::None;
    int FDragOffset = 0;    // pointer x minus thumb centre at the press
    int FStepDirection = 0; // +1 towards Max, -1 towards Min
    QPoint FPointer;        // latest pointer position while held, track coordinates
    QTimer FRepeatTimer;
};

} // namespace vsr
