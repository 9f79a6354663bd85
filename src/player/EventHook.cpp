#include "player/EventHook.h"

#include <QEvent>

#include <utility>

namespace vsr {

TEventHook::TEventHook(QObject* owner, TBeforeEvent beforeEvent)
    : QObject(owner), FBeforeEvent(std::move(beforeEvent)) {}

void TEventHook::Attach(QObject* target) {
    target->installEventFilter(this);
}

bool TEventHook::eventFilter(QObject* watched, QEvent* event) {
    if (FBeforeEvent && FBeforeEvent(event))
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace vsr
