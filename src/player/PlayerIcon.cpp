#include "player/PlayerIcon.h"

#include <QDir>

// The resource lives in a static library; the linker keeps it only when it is named.
static void InitIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace vsr {

QIcon PlayerIcon() {
    static const bool initialised = (InitIconResource(), true);
    (void)initialised;
    QIcon icon;
    for (const QString& name : QDir(":/icons").entryList({"vsrplayer-*.png"}))
        icon.addFile(":/icons/" + name);
    return icon;
}

} // namespace vsr
