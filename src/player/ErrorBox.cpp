#include "player/ErrorBox.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <utility>

namespace vsr {

namespace {

TErrorBoxHook& Hook() {
    static TErrorBoxHook hook;
    return hook;
}

void StandardErrorBox(QWidget* parent, const std::string& text) {
    const QString title = parent ? parent->windowTitle() : QString();
    QMessageBox box(QMessageBox::Critical, title, QString::fromStdString(text), QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace

void ShowErrorBox(QWidget* parent, const std::string& text) {
    if (Hook())
        Hook()(parent, text);
    else
        StandardErrorBox(parent, text);
}

TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

} // namespace vsr
