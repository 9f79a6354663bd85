// vsrplayer: the player window. "vsrplayer FILE" opens FILE once the window is shown.
#include "audio/SndKitLibrary.h"
#include "audio/SndKitSetup.h"
#include "platform/qt/QtMessageQueue.h"
#include "player/SRPlaybackDlg.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstddef>
#include <span>
#include <string>

namespace {

// The sound library travels inside the executable; it is loaded from a temporary copy.
std::string WriteSndKitFromResource() {
    QFile resource(":/libsndkit.so");
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = resource.readAll();
    return vsr::WriteSndKitCopy(std::as_bytes(std::span(bytes.constData(), bytes.size())));
}

void ChooseSndKit(const std::string& copy) {
    if (copy.empty())
        vsr::SndKitLibrary().SetFileName(vsr::SndKitBesideExecutable());
    else
        vsr::ChooseSndKitFile(copy, vsr::SndKitBesideExecutable());
}

int RunWindow(QApplication& application, const std::string& copy, int argc, char** argv) {
    vsr::TSRPlaybackDlg window;
    window.SetSndKitCopy(copy);
    window.show();
    if (argc > 1) {
        const std::string name = argv[1];
        QTimer::singleShot(0, &window, [&window, name] { window.OpenRecording(name); });
    }
    return application.exec();
}

} // namespace

int main(int argc, char** argv) {
    // SDL's audio start would otherwise take over SIGINT and SIGTERM, so that the player
    // could no longer be ended by them.
    qputenv("SDL_NO_SIGNAL_HANDLERS", "1");
    QApplication application(argc, argv);
    vsr::InstallQtMessageQueue();
    const std::string copy = WriteSndKitFromResource();
    ChooseSndKit(copy);
    const int result = RunWindow(application, copy, argc, argv);
    vsr::FinishSndKitLibrary();
    return result;
}
