// A program that closes a port and ends without processing events again, the
// way a program leaves its message loop: its stopped event thread, possibly
// waiting on a hand-over that will never run, must still be freed by the end
// of the application. Exits 0 when the thread is gone (its event handle, the
// last handle of the fake, is closed), 1 when it is not.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QCoreApplication>

#include "comm/CommInt.h"
#include "tests/fake/FakeCommApi.h"

namespace {

// Checks `done` until it holds or 10 s passed, without processing events.
template <class TDone>
bool WaitWithoutEvents(TDone done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    TFakeCommApi fake;  // outlives the application, so its handles tell what was freed
    {
        QCoreApplication app(argc, argv);
        commapi::TScopedCommApi scope(fake);
        TComm port;
        port.SetDeviceName("COM1");
        port.Open();
        if (!WaitWithoutEvents([&] { return fake.HasPendingWait(); })) {
            std::fputs("the event thread never waited\n", stderr);
            std::_Exit(2);
        }
        // A completed wait: the thread queues its hand-over to the main thread,
        // which closes the port without ever processing it.
        fake.Receive("x");
        if (!WaitWithoutEvents([&] { return fake.Count("GetOverlappedResult") > 0; })) {
            std::fputs("the wait never completed\n", stderr);
            std::_Exit(2);
        }
        port.Close();
    }
    const int left = fake.OpenHandles();
    if (left != 0) {
        std::fprintf(stderr, "%d handle(s) left: the stopped event thread was not freed\n", left);
        std::_Exit(1);  // the thread may still use the fake: no destructors now
    }
    return 0;
}
