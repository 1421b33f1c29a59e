// Helpers shared by the port tests: process counters, a busy main thread,
// and a port over the recording fake provider.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CommInt.h"
#include "link/ConsoleLine.h"
#include "tests/fake/FakeCommApi.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Wait.h"

using testsupport::PumpFor;
using testsupport::TPtyPair;
using testsupport::WaitFor;
using testsupport::WaitWithoutEvents;

// Sleeps without processing events, so queued hand-overs stay queued: the
// main thread is busy.
void SleepMs(int ms);

size_t OpenFdCount();
size_t ThreadCount();
// CPU time used by the whole process, in milliseconds.
double ProcessCpuMs();
bool OnMainThread();

// Every OnRxChar of the port reads what it is told of; what it read, a read
// that failed and a lost line land in the log.
void ReadIntoLog(TComm& port, std::vector<std::string>& log);

// Runs `action`, expecting ECommError with exactly `text` and `code`.
template <class F>
void ExpectCommError(F action, const std::string& text, int32_t code) {
    try {
        action();
        ADD_FAILURE() << "no error raised, expected: " << text;
    } catch (const ECommError& e) {
        EXPECT_EQ(std::string(e.what()), text);
        EXPECT_EQ(e.ErrorCode, code);
    }
}


// A port with the console's line set-up, not yet open, on the slave of a
// pty whose master the test holds.
class PtyPortTest : public ::testing::Test {
protected:
    PtyPortTest() {
        consoleline::Configure(Port);
        Port.SetDeviceName(Pty.SlavePath());
    }

    TPtyPair Pty;
    TComm Port;
};

// Records handler calls as short texts, in order.
struct THandlerLog {
    void Bind(TCustomComm& port);
    std::vector<std::string> Calls;
    bool AllOnMainThread = true;
};

// A port over the fake provider. TearDown destroys the port and waits until
// every handle of the fake is closed again (the event thread freed itself).
class FakePortTest : public ::testing::Test {
protected:
    void TearDown() override;
    // Opens the port with every handler recording into the log.
    THandlerLog& OpenLogged() {
        Port->Open();
        Log.Bind(*Port);
        return Log;
    }
    // Waits until the event thread of the open port is waiting on the device.
    void AwaitPendingWait();
    // Waits, without processing events, until the event thread has queued a hand-over.
    void AwaitQueuedHandOver(int completedWaitsBefore);
    // Once the thread waits, `bytes` arrive and their hand-over is queued
    // (not yet run: no events are processed here).
    void QueueHandOverOf(const char* bytes);

    TFakeCommApi Api;
    commapi::TScopedCommApi Scope{Api};
    THandlerLog Log;  // outlives the port, whose handlers write into it
    std::unique_ptr<TComm> Port = std::make_unique<TComm>();
};

