// Runs the GUI tests inside a QApplication, on the offscreen platform unless told otherwise,
// with the Qt message queue installed as the player installs it.
#include "platform/qt/QtMessageQueue.h"

#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing must print nothing but the tests (Qt warns at start-up when XDG_RUNTIME_DIR is
    // missing, which would break test discovery).
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Silent real-time sound output, also when the test runner did not set it.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication application(argc, argv);
    vsr::InstallQtMessageQueue();
    return RUN_ALL_TESTS();
}
