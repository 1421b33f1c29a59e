// GoogleTest entry with a QApplication, so tests can pump events, use timers
// and show widgets offscreen.
#include <gtest/gtest.h>

#include <QApplication>

#include "CommInt.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Ports closed by the last test leave event threads that free themselves
    // through the event queue; let them, so leak checks see a clean exit.
    TCommEventThread::ReapAll(5000);
    return result;
}
