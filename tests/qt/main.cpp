// Runs the GUI tests inside a QApplication, on the offscreen platform unless told otherwise,
// with the Qt message queue installed as the player installs it.
#include "platform/qt/QtMessageQueue.h"

#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Silent real-time sound output, also when the test runner did not set it.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication application(argc, argv);
    vsr::InstallQtMessageQueue();
    return RUN_ALL_TESTS();
}
