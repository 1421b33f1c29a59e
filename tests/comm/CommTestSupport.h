// Helpers shared by the port tests: event pumping, process counters, a pty,
// and a port over the recording fake provider.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CommInt.h"
#include "ConsoleLine.h"
#include "FakeCommApi.h"

// Processes events until `done` or `timeoutMs`; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Processes events for `ms`.
void PumpFor(int ms);
// Sleeps without processing events, so queued hand-overs stay queued.
void SleepMs(int ms);
// Checks `done` until it holds or `timeoutMs` passed, without processing events.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

size_t OpenFdCount();
size_t ThreadCount();
// CPU time used by the whole process, in milliseconds.
double ProcessCpuMs();
bool OnMainThread();


// The far end of a pseudo-terminal: the port opens SlavePath(), the test uses the master.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    int Master() const { return FMaster; }
    void Send(const std::string& bytes);
    // Reads until `count` bytes came or `timeoutMs` passed.
    std::string Receive(size_t count, int timeoutMs = 3000);
    // Reads whatever arrives until nothing came for `quietMs`.
    std::string Drain(int quietMs = 100);
    void CloseMaster();

private:
    int FMaster = -1;
    std::string FSlavePath;
};

// A port over the fake provider. TearDown destroys the port and waits until
// every handle of the fake is closed again (the event thread freed itself).
class FakePortTest : public ::testing::Test {
protected:
    void TearDown() override;
    // Waits until the event thread of the open port is waiting on the device.
    void AwaitPendingWait();
    // Waits, without processing events, until the event thread has queued a hand-over.
    void AwaitQueuedHandOver(int completedWaitsBefore);

    TFakeCommApi Api;
    commapi::TScopedCommApi Scope{Api};
    std::unique_ptr<TComm> Port = std::make_unique<TComm>();
};

// Records handler calls as short texts, in order.
struct THandlerLog {
    void Bind(TCustomComm& port);
    std::vector<std::string> Calls;
    bool AllOnMainThread = true;
};
