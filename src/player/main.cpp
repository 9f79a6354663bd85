// vsrplayer: the player window. "--help" and "--version" print and end; "/install" and
// "/uninstall" register or unregister the player and end without a window; otherwise the window
// opens the file or address given as argument, or the recording appended to the program file.
#include "app/Registration.h"
#include "audio/SndKitLibrary.h"
#include "audio/SndKitSetup.h"
#include "platform/TempFiles.h"
#include "platform/qt/QtMessageQueue.h"
#include "player/PlayerHelp.h"
#include "player/PlayerIcon.h"
#include "player/PlayerStartUp.h"
#include "player/SRPlaybackDlg.h"
#include "player/SignalCloser.h"
#include "shell/Trace.h"

#include <QApplication>
#include <QFile>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

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

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

int RunWindow(QApplication& application, const vsr::TPlayerStartUp& startUp) {
    // Files of runs that ended without cleaning up (killed, crashed): the sound library's copy,
    // voice tracks and download buffers.
    if (const int orphans = vsr::RemoveOrphanedTempFiles({"Tmp", "spx", "vsr"}))
        vsr::TraceFmt("Removed %d temporary files of ended runs", orphans);
    const vsr::TSignalCloser signalCloser;
    const std::string copy = WriteSndKitFromResource();
    ChooseSndKit(copy);
    int result = 0;
    {
        vsr::TSRPlaybackDlg window(startUp);
        window.SetSndKitCopy(copy);
        window.show();
        result = application.exec();
    }
    vsr::FinishSndKitLibrary();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // SDL's audio start would otherwise take over SIGINT and SIGTERM, so that the player
    // could no longer be ended by them.
    qputenv("SDL_NO_SIGNAL_HANDLERS", "1");
    // Asked from a terminal, perhaps without a display: no window, no registration.
    if (const auto text = vsr::PlayerInformationAsked(Arguments(argc, argv))) {
        std::fputs(text->c_str(), stdout);
        return 0;
    }
    try {
        if (vsr::RunInstallSwitches(Arguments(argc, argv), vsr::ExePath()) !=
            vsr::TSwitchAction::None)
            return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vsrplayer: %s\n", error.what());
        return 1;
    }
    QApplication application(argc, argv);
    // The desktop matches the window to the installed entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName("vsrplayer");
    QApplication::setWindowIcon(vsr::PlayerIcon());
    // Qt has taken its own options (-style, -platform, ...) out of argv: what is left is ours.
    const vsr::TPlayerStartUp startUp{Arguments(argc, argv), vsr::ExePath(),
                                      vsr::TStartUpMode::Program};
    vsr::InstallQtMessageQueue();
    return RunWindow(application, startUp);
}
