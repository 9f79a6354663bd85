#pragma once
// TEventHook: sees the events of one object before the object handles them, so that a window
// can react to what happens in a control it does not own the class of (the menu opening and
// closing, mouse moves over the picture).

#include <QObject>

#include <functional>

class QEvent;

namespace vsr {

class TEventHook : public QObject {
public:
    // Returns true to stop the event from reaching the object.
    using TBeforeEvent = std::function<bool(QEvent* event)>;

    TEventHook(QObject* owner, TBeforeEvent beforeEvent);
    // Watches target until it or this hook goes.
    void Attach(QObject* target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TBeforeEvent FBeforeEvent;
};

} // namespace vsr
