#include "player/SignalCloser.h"

#include "shell/Trace.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vsr {

namespace {

constexpr int cSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile std::sig_atomic_t gWriteEnd = -1;

extern "C" void WriteSignal(int number) {
    const char byte = static_cast<char>(number);
    (void)!::write(gWriteEnd, &byte, 1); // async-signal-safe; a full pipe loses nothing needed
}

} // namespace

TSignalCloser::TSignalCloser() {
    if (::pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        Trace("No signal pipe: signals end the player without closing it");
        return;
    }
    gWriteEnd = FPipe[1];
    FNotifier = std::make_unique<QSocketNotifier>(FPipe[0], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] { SignalArrived(); });
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : cSignals)
        ::sigaction(number, &action, nullptr);
}

TSignalCloser::~TSignalCloser() {
    for (const int number : cSignals)
        std::signal(number, SIG_DFL);
    FNotifier.reset();
    gWriteEnd = -1;
    for (const int fd : FPipe)
        if (fd >= 0)
            ::close(fd);
}

void TSignalCloser::SignalArrived() {
    char number = 0;
    while (::read(FPipe[0], &number, 1) == 1)
        TraceFmt("Signal %d: closing the player", int{number});
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

} // namespace vsr
