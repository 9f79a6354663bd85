#include "controls/CustomSliderBar.h"

#include "controls/SliderMath.h"
#include "shell/Format.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace vsr {

TCustomSliderBar::TCustomSliderBar(QWidget* parent) : QWidget(parent) {
    // Not ClickFocus: Qt would focus the bar before OnMouseDown could abandon the press.
    // MouseDown takes the focus itself.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true); // the hand cursor follows the thumb without a button held
    resize(cDefaultWidth, cDefaultHeight);
    FRepeatTimer.setInterval(cRepeatInterval);
    connect(&FRepeatTimer, &QTimer::timeout, this, [this] { StepTowardsPointer(); });
}

TCustomSliderBar::~TCustomSliderBar() {
    // Events may refer to objects that are already gone.
    OnChange = nullptr;
    OnChangeEnd = nullptr;
    FRepeatTimer.stop();
}

void TCustomSliderBar::SetRange(std::int32_t min, std::int32_t max) {
    if (max <= min)
        return;
    FMin = min;
    FMax = max;
    const std::int64_t length = static_cast<std::int64_t>(max) - min;
    if (FFrequency > length)
        FFrequency = static_cast<std::int32_t>(length);
    update();
    SetPosition(FPosition);
}

void TCustomSliderBar::SetPosition(std::int32_t value) {
    value = std::clamp(value, FMin, FMax);
    if (value == FPosition)
        return;
    FPosition = value;
    update();
    Changed();
}

void TCustomSliderBar::SetFrequency(std::int32_t value) {
    const std::int64_t length = static_cast<std::int64_t>(FMax) - FMin;
    if (value < 1 || value > length)
        throw ESliderBar(Format(sSliderOutOfRange, 1, length));
    if (value == FFrequency)
        return;
    FFrequency = value;
    update();
}

void TCustomSliderBar::SetOrientation(TSliderOrientation value) {
    FOrientation = value;
    update();
}

void TCustomSliderBar::SetTickMarks(TTickMarks value) {
    FTickMarks = value;
    update();
}

void TCustomSliderBar::SetFocusRect(TFocusRect value) {
    FFocusRect = value;
    update();
}

QSize TCustomSliderBar::TrackSize() const {
    return FOrientation == TSliderOrientation::Horizontal ? size() : size().transposed();
}

QRect TCustomSliderBar::TrackRect() const {
    const QSize bar = TrackSize();
    return {cTrackMargin, cBandTop, std::max(0, bar.width() - 2 * cTrackMargin),
            std::max(0, bar.height() - 2 * cBandTop)};
}

int TCustomSliderBar::UsableLength() const {
    return std::max(0, TrackRect().width() - cThumbWidth);
}

int TCustomSliderBar::ThumbCentre() const {
    return CentreAt(FPosition);
}

int TCustomSliderBar::CentreAt(std::int32_t position) const {
    const std::int64_t offset = static_cast<std::int64_t>(std::clamp(position, FMin, FMax)) - FMin;
    const std::int64_t length = static_cast<std::int64_t>(FMax) - FMin;
    return cTrackMargin + cThumbWidth / 2 +
           static_cast<int>(DivRoundHalfEven(offset * UsableLength(), length));
}

QRect TCustomSliderBar::ThumbRect() const {
    return {ThumbCentre() - cThumbWidth / 2, 3, cThumbWidth, std::max(0, TrackSize().height() - 6)};
}

QPoint TCustomSliderBar::ToTrack(QPoint clientPos) const {
    if (FOrientation == TSliderOrientation::Horizontal)
        return clientPos;
    return {height() - 1 - clientPos.y(), clientPos.x()};
}

std::int32_t TCustomSliderBar::PositionAt(int x) const {
    const int usable = UsableLength();
    if (usable == 0)
        return FMin;
    const std::int64_t length = static_cast<std::int64_t>(FMax) - FMin;
    const std::int64_t along = x - cTrackMargin - cThumbWidth / 2;
    const std::int64_t value = FMin + DivRoundHalfEven(along * length, usable);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, FMin, FMax));
}

QSize TCustomSliderBar::sizeHint() const {
    const QSize horizontal(cDefaultWidth, cDefaultHeight);
    return FOrientation == TSliderOrientation::Horizontal ? horizontal : horizontal.transposed();
}

// Painting -----------------------------------------------------------------------------------

void TCustomSliderBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (FOrientation == TSliderOrientation::Vertical) {
        // Track x runs from the bottom up, track y from left to right.
        painter.translate(0, height());
        painter.rotate(-90);
    }
    PaintBackground(painter);
    PaintExtras(painter);
    PaintTrack(painter);
    if (FTickMarks == TTickMarks::Shown)
        PaintTicks(painter);
    PaintThumb(painter);
    if (FFocusRect == TFocusRect::Shown && hasFocus())
        PaintFocusRect(painter);
}

void TCustomSliderBar::PaintBackground(QPainter& painter) {
    painter.fillRect(QRect(QPoint(0, 0), TrackSize()), palette().window());
}

void TCustomSliderBar::PaintExtras(QPainter&) {
    if (OnPaint)
        OnPaint(*this);
}

void TCustomSliderBar::PaintTrack(QPainter& painter) {
    // A sunken outline only: the inside stays transparent so that the extras show through.
    const QRect outline = TrackRect().adjusted(-1, -1, 0, 0);
    if (outline.width() < 1 || outline.height() < 1)
        return;
    const int right = outline.left() + outline.width();
    const int bottom = outline.top() + outline.height();
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(outline.left(), outline.top(), right, outline.top());
    painter.drawLine(outline.left(), outline.top(), outline.left(), bottom);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(outline.left(), bottom, right, bottom);
    painter.drawLine(right, outline.top(), right, bottom);
}

void TCustomSliderBar::PaintTicks(QPainter& painter) {
    const std::int64_t length = static_cast<std::int64_t>(FMax) - FMin;
    const int usable = UsableLength();
    const int top = TrackSize().height() - 5;
    const int base = cTrackMargin + cThumbWidth / 2;
    painter.setPen(palette().color(QPalette::WindowText));
    auto tick = [&](std::int64_t offset) {
        const int x = base + static_cast<int>(DivRoundHalfEven(offset * usable, length));
        painter.drawLine(x, top, x, top + 2);
    };
    // Ticks denser than the pixels would only smear the bar: then only its ends are marked.
    if (length / FFrequency <= usable)
        for (std::int64_t offset = 0; offset < length; offset += FFrequency)
            tick(offset);
    tick(0);
    tick(length);
}

void TCustomSliderBar::PaintThumb(QPainter& painter) {
    const QRect thumb = ThumbRect();
    if (thumb.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.setBrush(palette().color(isEnabled() ? QPalette::Button : QPalette::Mid));
    painter.drawRect(thumb.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(thumb.left() + 1, thumb.top() + 1, thumb.right() - 1, thumb.top() + 1);
    painter.drawLine(thumb.left() + 1, thumb.top() + 1, thumb.left() + 1, thumb.bottom() - 1);
    painter.setPen(palette().color(QPalette::Dark));
    const int centre = thumb.left() + cThumbWidth / 2;
    painter.drawLine(centre, thumb.top() + 4, centre, thumb.bottom() - 4);
    painter.restore();
}

void TCustomSliderBar::PaintFocusRect(QPainter& painter) {
    painter.save();
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(0, 0), TrackSize()).adjusted(0, 0, -1, -1));
    painter.restore();
}

// Notifications ------------------------------------------------------------------------------

void TCustomSliderBar::Changed() {
    if (OnChange)
        OnChange(*this);
}

void TCustomSliderBar::ChangeEnd() {
    if (OnChangeEnd)
        OnChangeEnd(*this);
}

void TCustomSliderBar::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void TCustomSliderBar::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

// Keyboard -----------------------------------------------------------------------------------

void TCustomSliderBar::keyPressEvent(QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool horizontal = FOrientation == TSliderOrientation::Horizontal;
    int delta = 0;
    switch (event->key()) {
    case Qt::Key_Home:
        SetPosition(FMin);
        return;
    case Qt::Key_End:
        SetPosition(FMax);
        return;
    case Qt::Key_Right:
        delta = horizontal ? 1 : 0;
        break;
    case Qt::Key_Left:
        delta = horizontal ? -1 : 0;
        break;
    case Qt::Key_Up:
        delta = horizontal ? 0 : 1;
        break;
    case Qt::Key_Down:
        delta = horizontal ? 0 : -1;
        break;
    default:
        break;
    }
    if (delta == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    SetPosition(SteppedValue(FPosition, FFrequency, delta, FMin, FMax));
}

// Mouse --------------------------------------------------------------------------------------

TSliderMouse TCustomSliderBar::MouseOf(const QMouseEvent& event) {
    return {event.button(), event.modifiers(), event.position().toPoint()};
}

void TCustomSliderBar::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const TSliderMouse mouse = MouseOf(*event);
    TMousePress press = TMousePress::Handle;
    if (OnMouseDown)
        OnMouseDown(*this, mouse, press);
    if (press == TMousePress::Abort)
        return;
    MouseDown(mouse);
}

void TCustomSliderBar::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const TSliderMouse mouse = MouseOf(*event);
    UpdateCursor(ToTrack(mouse.Pos));
    if (OnMouseMove)
        OnMouseMove(*this, mouse);
    MouseMove(mouse);
}

void TCustomSliderBar::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const TSliderMouse mouse = MouseOf(*event);
    if (OnMouseUp)
        OnMouseUp(*this, mouse);
    MouseUp(mouse);
}

void TCustomSliderBar::MouseDown(const TSliderMouse& mouse) {
    if (mouse.Button != Qt::LeftButton || FTracking != TTracking::None)
        return;
    if (TabStop())
        setFocus(Qt::MouseFocusReason);
    const QPoint pos = ToTrack(mouse.Pos);
    const QRect thumb = ThumbRect();
    if (OnThumb(pos)) {
        FTracking = TTracking::Drag;
        FDragOffset = pos.x() - ThumbCentre();
        return;
    }
    FTracking = TTracking::Step;
    FPointer = pos;
    // The direction is kept while held, so that a step larger than the thumb cannot make
    // the thumb swing back and forth around the pointer.
    FStepDirection = pos.x() < thumb.left() ? -1 : 1;
    StepTowardsPointer();
    FRepeatTimer.start();
}

void TCustomSliderBar::MouseMove(const TSliderMouse& mouse) {
    const QPoint pos = ToTrack(mouse.Pos);
    if (FTracking == TTracking::Drag)
        SetPosition(PositionAt(pos.x() - FDragOffset));
    else if (FTracking == TTracking::Step)
        FPointer = pos;
}

void TCustomSliderBar::MouseUp(const TSliderMouse& mouse) {
    if (mouse.Button == Qt::LeftButton && FTracking != TTracking::None)
        EndTracking();
}

void TCustomSliderBar::StepTowardsPointer() {
    if (FTracking != TTracking::Step)
        return;
    const QRect thumb = ThumbRect();
    const bool beside =
        FStepDirection < 0 ? FPointer.x() < thumb.left() : FPointer.x() > thumb.right();
    if (!beside)
        return;
    const std::int64_t value = static_cast<std::int64_t>(FPosition) +
                               static_cast<std::int64_t>(FStepDirection) * FFrequency;
    SetPosition(static_cast<std::int32_t>(std::clamp<std::int64_t>(value, FMin, FMax)));
}

void TCustomSliderBar::EndTracking() {
    FRepeatTimer.stop();
    FTracking = TTracking::None;
    ChangeEnd();
}

bool TCustomSliderBar::OnThumb(QPoint trackPos) const {
    // The whole column of the thumb counts, so that a press just above or below it still grips.
    const QRect thumb = ThumbRect();
    return trackPos.x() >= thumb.left() && trackPos.x() <= thumb.right();
}

void TCustomSliderBar::UpdateCursor(QPoint trackPos) {
    if (OnThumb(trackPos) || FTracking == TTracking::Drag)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

} // namespace vsr
