#include "player/WebLink.h"

#include "shell/Trace.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace vsr {

TLinkKind ClassifyLink(const std::string& link) {
    const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool web =
        url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
    return web ? TLinkKind::Web : TLinkKind::Other;
}

void OpenWebLink(const std::string& link) {
    if (ClassifyLink(link) != TLinkKind::Web) {
        TraceFmt("Link not opened, not an http or https address: %s", link);
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(link), QUrl::StrictMode));
}

} // namespace vsr
