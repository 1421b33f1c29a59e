// Write and Read waits, time-outs that cancel the transfer, and the thin
// synchronisation wrappers. Against the recording fake.
#include <gtest/gtest.h>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

using Transfers = FakePortTest;

TEST_F(Transfers, CompletedTransfersReturnTheirCount) {
    Port->Open();
    const char frame[3] = {'R', 1, 0};
    EXPECT_EQ(Port->Write(frame, 3), 3);
    EXPECT_EQ(Api.Written(), std::string("R\1\0", 3));
    Api.Receive("xyz");
    char in[8] = {};
    EXPECT_EQ(Port->Read(in, 8), 3);
    EXPECT_EQ(std::string(in, 3), "xyz");
    EXPECT_EQ(Port->Read(in, 8), 0) << "nothing waiting: 0 at once, not a time-out";
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
}

TEST_F(Transfers, TimedOutWriteIsCancelledBeforeItReturns) {
    Port->SetWriteTimeout(30);
    Port->Open();
    Api.SetWritesPending(true);
    char frame[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(Port->Write(frame, 4), -1);
    EXPECT_FALSE(Api.HasPendingTransfer()) << "the device keeps no pointer to the caller's buffer";
    EXPECT_FALSE(Api.CompletePendingWrite());
    EXPECT_EQ(Api.Written(), "");
    ASSERT_EQ(Api.Count("CancelIoEx"), 1);
    const auto waits = Api.CallsOf("GetOverlappedResult");
    ASSERT_FALSE(waits.empty());
    EXPECT_EQ(waits.back().arg, 1u) << "waits for the cancellation";
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);

    Api.SetWritesPending(false);
    EXPECT_EQ(Port->Write(frame, 4), 4) << "the next transfer starts afresh";
}

TEST_F(Transfers, TimedOutReadIsCancelledBeforeItReturns) {
    Port->SetReadTimeout(30);
    Port->Open();
    Api.SetReadsPending(true);
    char in[4] = {};
    EXPECT_EQ(Port->Read(in, 4), -1);
    EXPECT_FALSE(Api.HasPendingTransfer());
    EXPECT_EQ(Api.Count("CancelIoEx"), 1);
}

TEST_F(Transfers, AnyWaitResultButSignaledIsATimeOut) {
    Port->SetWriteTimeout(77);
    Port->Open();
    Api.SetWritesPending(true);
    char frame[1] = {'a'};
    for (const DWORD result : {WAIT_ABANDONED, WAIT_FAILED, DWORD(0x1234)}) {
        Api.ForceWaitResult(77, result, ERROR_INVALID_HANDLE);
        EXPECT_EQ(Port->Write(frame, 1), -1) << result;
        EXPECT_FALSE(Api.HasPendingTransfer());
    }
}

// ------------------------------------------------------------------ CommObjs

using SyncObjects = FakePortTest;

TEST_F(SyncObjects, WaitForMapsEveryOutcome) {
    TSimpleEvent event(Api);
    ASSERT_NE(event.Handle(), nullptr);
    EXPECT_EQ(Api.CallsOf("CreateEventA").back().arg, 1u) << "manual reset, clear, unnamed";

    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    EXPECT_TRUE(event.SetEvent());
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled) << "manual reset stays signalled";
    EXPECT_TRUE(event.ResetEvent());
    EXPECT_EQ(event.WaitFor(10), wrTimeout);

    Api.ForceWaitResult(0, WAIT_ABANDONED, 0);
    EXPECT_EQ(event.WaitFor(0), wrAbandoned);
    Api.ForceWaitResult(0, 0x1234, 77);
    EXPECT_EQ(event.WaitFor(0), wrError);
    EXPECT_EQ(event.LastError(), 0u) << "only a failed wait stores the system code";
    Api.ForceWaitResult(0, WAIT_FAILED, ERROR_INVALID_HANDLE);
    EXPECT_EQ(event.WaitFor(0), wrError);
    EXPECT_EQ(event.LastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SyncObjects, HandleIsClosedWithTheObject) {
    HANDLE handle;
    {
        TEvent event(false, true, Api);
        handle = event.Handle();
        EXPECT_EQ(event.WaitFor(0), wrSignaled);
        EXPECT_EQ(event.WaitFor(0), wrTimeout) << "automatic reset";
    }
    const auto closes = Api.CallsOf("CloseHandle");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, handle);
}

TEST_F(SyncObjects, CriticalSectionEntersAndLeaves) {
    TCriticalSection section(Api);
    section.Enter();
    section.Enter();  // the owner may enter again
    EXPECT_EQ(Api.CriticalSectionDepth(), 2);
    section.Leave();
    section.Leave();
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
}

}  // namespace
