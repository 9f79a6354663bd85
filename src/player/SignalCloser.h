#pragma once
// Ends the player on SIGTERM, SIGINT and SIGHUP as closing its window does, so that what the
// window owns (the temporary files among it) is released. The signal handler only writes the
// signal's number to a pipe; the event loop reads it and closes every window. The handlers
// reset themselves: a second signal ends the program at once.
//
// One instance at a time, made and destroyed on the main thread after the QApplication.

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vsr {

class TSignalCloser : public QObject {
public:
    TSignalCloser();
    ~TSignalCloser() override; // the default actions again
    TSignalCloser(const TSignalCloser&) = delete;
    TSignalCloser& operator=(const TSignalCloser&) = delete;

private:
    void SignalArrived();

    int FPipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace vsr
