#include "tests/support/Wait.h"

#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

namespace testsupport {

namespace {

void RunEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool Await(const std::function<bool()>& done, int timeoutMs, void (*between)()) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return done();
        between();
    }
    return true;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) { return Await(done, timeoutMs, RunEvents); }

bool WaitWithoutEvents(const std::function<bool()>& done, int timeoutMs) {
    return Await(done, timeoutMs, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}

void PumpFor(int ms) { WaitFor([] { return false; }, ms); }

}  // namespace testsupport
