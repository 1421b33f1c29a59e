// The event thread and the dispatch of device events to the port's handlers.
// Against the recording fake, with a real event thread and real hand-overs.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include <QElapsedTimer>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

using Dispatch = FakePortTest;

TEST_F(Dispatch, EveryBitOfOneMaskInOrdinalOrder) {
    Port->SetMonitorEvents(EventBit(evRing));  // keeps the thread out of this test
    THandlerLog& log = OpenLogged();
    Api.Receive("abc");
    Api.SetLineErrors(CE_FRAME | CE_OVERRUN);
    Port->HandleCommEvent(nullptr, EV_ALL);
    const std::vector<std::string> expected = {"break", "cts",  "dsr",    "error 10", "ring",
                                               "rlsd",  "rxchar 3", "rxflag", "txempty"};
    EXPECT_EQ(log.Calls, expected);
    EXPECT_EQ(Api.Count("ClearCommError"), 1);
}

TEST_F(Dispatch, OnlyTheBitsOfTheMaskAndNoRxCharOnAnEmptyQueue) {
    Port->SetMonitorEvents(EventBit(evRing));
    THandlerLog& log = OpenLogged();
    Port->HandleCommEvent(nullptr, EV_RXCHAR | EV_RXFLAG | EV_CTS);
    EXPECT_EQ(log.Calls, (std::vector<std::string>{"cts", "rxflag"}));
    log.Calls.clear();
    Port->HandleCommEvent(nullptr, 0);  // still reads and clears the device's error flags
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_EQ(Api.Count("ClearCommError"), 2);
}

TEST_F(Dispatch, OnErrorGetsOnlyFlagsNoEarlierCallCleared) {
    Port->SetMonitorEvents(EventBit(evRing));
    THandlerLog& log = OpenLogged();
    Api.SetLineErrors(CE_RXPARITY);
    Port->HandleCommEvent(nullptr, EV_ERR);
    Api.SetLineErrors(CE_FRAME);
    EXPECT_EQ(Port->InQueCount(), 0);  // takes the flags with it
    Port->HandleCommEvent(nullptr, EV_ERR);
    EXPECT_EQ(log.Calls, (std::vector<std::string>{"error 4", "error 0"}));
}

TEST_F(Dispatch, ClosedPortDispatchesNothing) {
    THandlerLog log;
    log.Bind(*Port);
    Port->HandleCommEvent(nullptr, EV_ALL);
    EXPECT_TRUE(log.Calls.empty());
}

// ------------------------------------------------------------------ through the event thread

TEST_F(Dispatch, ReceivedCharsAndEventCharComeInOneDispatchOnTheMainThread) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->EventChars()->SetEvtChar('\n');
    Port->Open();
    EXPECT_EQ(Api.AppliedDcbs().back().EvtChar, '\n');
    THandlerLog log;
    log.Bind(*Port);
    AwaitPendingWait();
    Api.Receive("ab\n");
    ASSERT_TRUE(WaitFor([&] { return log.Calls.size() >= 2; }));
    EXPECT_EQ(log.Calls, (std::vector<std::string>{"rxchar 3", "rxflag"}));
    EXPECT_TRUE(log.AllOnMainThread);
    EXPECT_EQ(Api.Count("ClearCommError"), 1);
}

TEST_F(Dispatch, HandlersAreLookedUpWhenTheDispatchRuns) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    std::vector<int32_t> counts;
    AwaitPendingWait();
    Api.Receive("a");  // no handler yet
    ASSERT_TRUE(WaitFor([&] { return Api.Count("ClearCommError") == 1; }));
    Port->OnRxChar = [&](TObject* sender, int32_t count) {
        EXPECT_EQ(sender, static_cast<TObject*>(Port.get()));
        counts.push_back(count);
    };
    AwaitPendingWait();
    Api.Receive("b");
    ASSERT_TRUE(WaitFor([&] { return !counts.empty(); }));
    EXPECT_EQ(counts, std::vector<int32_t>{2});  // nobody read the first byte

    QueueHandOverOf("c");
    Port->OnRxChar = nullptr;  // cleared after the event, before its dispatch
    ASSERT_TRUE(WaitFor([&] { return Api.Count("ClearCommError") == 3; }));
    EXPECT_EQ(counts.size(), 1u);
}

TEST_F(Dispatch, RaisingHandlerEndsDeliveryUntilReopen) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    int calls = 0;
    Port->OnRxChar = [&](TObject*, int32_t) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    AwaitPendingWait();
    const int handlesWithThread = Api.OpenHandles();
    Api.Receive("x");
    // The thread ends and frees itself (its event handle is closed); the main thread goes on.
    ASSERT_TRUE(WaitFor([&] { return Api.OpenHandles() == handlesWithThread - 1; }));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(Api.HasPendingWait());
    Api.Receive("y");
    PumpFor(200);
    EXPECT_EQ(calls, 1) << "no delivery after the handler raised";
    EXPECT_TRUE(Port->Enabled());
    EXPECT_EQ(Port->InQueCount(), 2);

    Port->Close();  // safe although the thread is gone
    Port->OnRxChar = [&](TObject*, int32_t) { ++calls; };
    Port->Open();
    AwaitPendingWait();
    Api.Receive("z");
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }));
}

TEST_F(Dispatch, TheThreadWaitsUntilItsHandOverRanBeforeWaitingAgain) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    int calls = 0;
    Port->OnRxChar = [&](TObject*, int32_t) { ++calls; };
    AwaitPendingWait();
    const int waitsStarted = Api.Count("WaitCommEvent");
    QueueHandOverOf("x");
    SleepMs(150);  // no events processed: the call stays queued
    EXPECT_EQ(Api.Count("WaitCommEvent"), waitsStarted) << "the thread went on before its call ran";
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
    EXPECT_TRUE(WaitFor([&] { return Api.HasPendingWait(); })) << "no new wait after the call ran";
    EXPECT_EQ(Api.Count("WaitCommEvent"), waitsStarted + 1);
}

TEST_F(Dispatch, CloseWithAHandOverPendingReturnsAtOnceAndNothingRunsAfter) {
    Port->SetMonitorEvents(consoleline::Events);
    THandlerLog& log = OpenLogged();
    QueueHandOverOf("x");
    const int clearsBefore = Api.Count("ClearCommError");
    QElapsedTimer clock;
    clock.start();
    Port->Close();
    EXPECT_LT(clock.elapsed(), 1000);
    PumpFor(200);
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_EQ(Api.Count("ClearCommError"), clearsBefore);
}

TEST_F(Dispatch, DestroyingThePortWithAHandOverPendingIsSafe) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    int calls = 0;
    Port->OnRxChar = [&](TObject*, int32_t) { ++calls; };
    QueueHandOverOf("x");
    Port.reset();
    PumpFor(200);
    EXPECT_EQ(calls, 0);
}

TEST_F(Dispatch, HandlerMayCloseThePortMidDispatch) {
    Port->SetMonitorEvents(EventBit(evRing));
    THandlerLog& log = OpenLogged();
    Api.Receive("a");
    Port->OnRxChar = [&](TObject*, int32_t) {
        log.Calls.push_back("rxchar");
        Port->Close();
    };
    Port->HandleCommEvent(nullptr, EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY);
    EXPECT_EQ(log.Calls, std::vector<std::string>{"rxchar"}) << "nothing after Close";
}

TEST_F(Dispatch, StopWakeUpIsNoDeviceEvent) {
    Port->SetMonitorEvents(consoleline::Events);
    THandlerLog& log = OpenLogged();
    AwaitPendingWait();
    Port->Close();
    ASSERT_TRUE(WaitFor([&] { return Api.OpenHandles() == 1; }));  // the port's own event remains
    EXPECT_EQ(Api.Count("ClearCommError"), 0);
    EXPECT_TRUE(log.Calls.empty());
}

TEST_F(Dispatch, FinalPurgeNeverReachesALaterDevice) {
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    const HANDLE first = Port->Handle();
    AwaitPendingWait();
    Port->Close();
    Port->Open();
    const HANDLE second = Port->Handle();
    ASSERT_NE(first, second);
    ASSERT_TRUE(WaitFor([&] { return Api.OpenHandles() == 3; }));  // old thread gone
    const auto purges = Api.CallsOf("PurgeComm");
    ASSERT_EQ(purges.size(), 1u);
    EXPECT_EQ(purges[0].arg, 0x000Fu);
    EXPECT_EQ(purges[0].handle, first);
}

TEST_F(Dispatch, FailingWaitsDoNotSpin) {
    Api.Fail("WaitCommEvent", ERROR_INVALID_PARAMETER);
    Port->Open();
    PumpFor(400);
    const int waits = Api.Count("WaitCommEvent");
    EXPECT_GE(waits, 2) << "the wait is retried";
    EXPECT_LE(waits, 20) << "but not in a busy loop";
    QElapsedTimer clock;
    clock.start();
    Port->Close();
    ASSERT_TRUE(WaitFor([&] { return Api.OpenHandles() == 1; }));
    EXPECT_LT(clock.elapsed(), 2000) << "Stop cuts the pause short";
}

TEST_F(Dispatch, FailedWaitsReportALostLineOncePerOpen) {
    struct Case {
        DWORD code;
        bool lost;
    };
    const Case cases[] = {{ERROR_GEN_FAILURE, true},        {ERROR_DEV_NOT_EXIST, true},
                          {ERROR_BAD_COMMAND, true},        {ERROR_DEVICE_NOT_CONNECTED, true},
                          {ERROR_DEVICE_REMOVED, true},     {ERROR_INVALID_HANDLE, false},
                          {ERROR_ACCESS_DENIED, false},     {ERROR_OPERATION_ABORTED, false},
                          {ERROR_INVALID_PARAMETER, false}};
    Port->SetMonitorEvents(consoleline::Events);
    THandlerLog log;
    log.Bind(*Port);
    for (const Case& c : cases) {
        log.Calls.clear();
        Api.Fail("WaitCommEvent", c.code);
        Port->Open();
        const auto waits = [&] {
            const auto calls = Api.CallsOf("WaitCommEvent");
            const HANDLE device = Port->Handle();
            return std::count_if(calls.begin(), calls.end(), [&](const auto& w) { return w.handle == device; });
        };
        // A report is answered before the next wait: three more waits, no second report.
        ASSERT_TRUE(WaitFor([&] { return waits() >= 4; })) << c.code;
        const std::vector<std::string> expected = {"lost " + std::to_string(c.code)};
        EXPECT_EQ(log.Calls, c.lost ? expected : std::vector<std::string>{}) << c.code;
        Port->Close();
    }
    EXPECT_TRUE(log.AllOnMainThread);
    EXPECT_TRUE(IsLineGoneError(ERROR_DEVICE_REMOVED));
    EXPECT_FALSE(IsLineGoneError(-1));
}

TEST_F(Dispatch, WaitEndingWithALostDeviceIsReported) {
    Port->SetMonitorEvents(consoleline::Events);
    THandlerLog& log = OpenLogged();
    AwaitPendingWait();
    Api.Fail("GetOverlappedResult", ERROR_DEVICE_NOT_CONNECTED, 1);
    Api.RaiseEvents(EV_BREAK);
    ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }));
    EXPECT_EQ(log.Calls, std::vector<std::string>{"lost 1167"});
}

TEST_F(Dispatch, NoMonitoredEventsDoNotSpin) {
    Port->SetMonitorEvents(0);
    Port->Open();
    EXPECT_EQ(Api.CommMask(), 0u);
    PumpFor(300);
    EXPECT_LE(Api.Count("WaitCommEvent"), 20);
}

}  // namespace
