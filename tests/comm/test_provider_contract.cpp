// What the port relies on from a provider, checked on the recording fake, on
// the Linux provider over a pseudo-terminal, and on its network devices
// (raw TCP and RFC 2217) against a server played by the test: wherever the
// port's logic is tested against the fake, the fake must behave as the real
// line does, and a network line as a local one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/comm/CommTestSupport.h"
#include "tests/support/NetPeer.h"

using namespace commapi;

namespace {

// The fake: bytes arrive and transfers are held through its own scripting.
class TFakeLine {
public:
    TCommApi& Api() { return FFake; }
    std::string DeviceName() const { return "COM1"; }
    void Arrive(const std::string& bytes) { FFake.Receive(bytes); }
    // Reads from now on stay pending until aborted.
    bool HoldReads(HANDLE) {
        FFake.SetReadsPending(true);
        return true;
    }
    // What a write must carry to stay pending until aborted.
    std::string HeldWriteData() {
        FFake.SetWritesPending(true);
        return "held";
    }
    std::string Sent(size_t) const { return FFake.Written(); }

private:
    TFakeCommApi FFake;
};

// The Linux provider on a real line; the line's far end is the subclass's.
class TLinuxLine {
public:
    TCommApi& Api() { return LinuxProvider(); }
    // No time-outs at all: a read waits for its full count, and none is coming.
    bool HoldReads(HANDLE file) {
        const COMMTIMEOUTS none{};
        return Api().SetCommTimeouts(file, &none) != 0;
    }
};

// The Linux provider on a pty: bytes arrive through the master.
class TPtyLine : public TLinuxLine {
public:
    std::string DeviceName() const { return FPty.SlavePath(); }
    void Arrive(const std::string& bytes) { FPty.SendText(bytes); }
    // More than the pty buffers while nobody reads the master.
    std::string HeldWriteData() { return std::string(size_t(1) << 20, 'w'); }
    std::string Sent(size_t count) { return FPty.ReceiveText(count); }

private:
    TPtyPair FPty;
};

// The Linux provider's network device: bytes arrive from the server.
template <testsupport::TNetPeer::EMode Mode>
class TNetLine : public TLinuxLine {
public:
    std::string DeviceName() const { return FPeer.Name(); }
    void Arrive(const std::string& bytes) { FPeer.SendText(bytes); }
    // More than the socket buffers hold while the server reads nothing.
    std::string HeldWriteData() {
        FPeer.Hold(true);
        return std::string(size_t(16) << 20, 'w');
    }
    std::string Sent(size_t count) { return FPeer.ReceiveText(count); }

private:
    testsupport::TNetPeer FPeer{Mode};
};
using TSocketLine = TNetLine<testsupport::TNetPeer::EMode::Raw>;
using TRfc2217Line = TNetLine<testsupport::TNetPeer::EMode::Rfc2217>;

template <class TLine>
class ProviderContract : public ::testing::Test {
protected:
    void SetUp() override {
        File = Api().CreateFileA(Line.DeviceName().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE) << "error " << TCommApi::GetLastError();
        // The port's read time-outs: a read returns at once with what has arrived.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        ASSERT_TRUE(Api().SetCommTimeouts(File, &timeouts));
    }

    // The device first: its pending transfers end before their records and events go.
    void TearDown() override {
        if (File != INVALID_HANDLE_VALUE) Api().CloseHandle(File);
        for (const auto& ov : Records) Api().CloseHandle(ov->hEvent);
    }

    TCommApi& Api() { return Line.Api(); }

    // A transfer record with its own manual-reset event, as the port uses.
    OVERLAPPED& NewRecord() {
        Records.push_back(std::make_unique<OVERLAPPED>());
        Records.back()->hEvent = Api().CreateEventA(nullptr, 1, 0, nullptr);
        return *Records.back();
    }

    // Each call's outcome: ERROR_SUCCESS when it returned TRUE, else its error.
    DWORD Result(BOOL ok) { return ok ? ERROR_SUCCESS : TCommApi::GetLastError(); }
    DWORD StartWait(DWORD* mask, OVERLAPPED& ov) { return Result(Api().WaitCommEvent(File, mask, &ov)); }
    DWORD StartRead(void* buffer, DWORD count, DWORD* read, OVERLAPPED& ov) {
        return Result(Api().ReadFile(File, buffer, count, read, &ov));
    }
    DWORD StartWrite(const std::string& data, OVERLAPPED& ov) {
        DWORD written = 0;
        return Result(Api().WriteFile(File, data.data(), DWORD(data.size()), &written, &ov));
    }
    DWORD Purge(DWORD flags) { return Result(Api().PurgeComm(File, flags)); }
    DWORD Cancel(OVERLAPPED* ov) { return Result(Api().CancelIoEx(File, ov)); }
    // The transfer's outcome without waiting: ERROR_IO_INCOMPLETE while it runs.
    DWORD Outcome(OVERLAPPED& ov, DWORD* transferred = nullptr) {
        DWORD count = 0;
        const DWORD result = Result(Api().GetOverlappedResult(File, &ov, &count, 0));
        if (transferred) *transferred = count;
        return result;
    }
    bool Signalled(const OVERLAPPED& ov, DWORD ms = 5000) {
        return Api().WaitForSingleObject(ov.hEvent, ms) == WAIT_OBJECT_0;
    }
    // Ended, aborted: what a purge, a cancel or a close leaves.
    bool Aborted(OVERLAPPED& ov) { return Signalled(ov) && Outcome(ov) == ERROR_OPERATION_ABORTED; }
    DWORD InQue() {
        DWORD errors = 0;
        COMSTAT stat{};
        return Api().ClearCommError(File, &errors, &stat) ? stat.cbInQue : MAXDWORD;
    }
    // Bytes arrive, and the provider has taken them into its input queue.
    bool ArriveAndQueue(const std::string& bytes) {
        const DWORD expected = InQue() + DWORD(bytes.size());
        Line.Arrive(bytes);
        return WaitWithoutEvents([&] { return InQue() >= expected; });
    }
    void SelectEvents(DWORD mask) { ASSERT_TRUE(Api().SetCommMask(File, mask)); }

    // A wait for received bytes, a read and a write, all three pending.
    struct TPendingThree {
        OVERLAPPED* wait;
        OVERLAPPED* read;
        OVERLAPPED* write;
    };
    void StartThreePending(TPendingThree& pending) {
        ASSERT_TRUE(Line.HoldReads(File));
        HeldWrite = Line.HeldWriteData();
        SelectEvents(EV_RXCHAR);
        pending = {&NewRecord(), &NewRecord(), &NewRecord()};
        ASSERT_EQ(StartWait(&FWaitMask, *pending.wait), ERROR_IO_PENDING);
        ASSERT_EQ(StartRead(FReadBuffer, sizeof FReadBuffer, &FReadCount, *pending.read), ERROR_IO_PENDING);
        ASSERT_EQ(StartWrite(HeldWrite, *pending.write), ERROR_IO_PENDING);
    }

    TLine Line;
    HANDLE File = INVALID_HANDLE_VALUE;
    std::vector<std::unique_ptr<OVERLAPPED>> Records;
    std::string HeldWrite;  // outlives its pending transfer

private:
    // What the three pending operations of StartThreePending fill in.
    DWORD FWaitMask = 0, FReadCount = 0;
    char FReadBuffer[8] = {};
};

struct LineNames {
    template <class T>
    static std::string GetName(int) {
        if (std::is_same_v<T, TFakeLine>) return "Fake";
        if (std::is_same_v<T, TPtyLine>) return "Pty";
        return std::is_same_v<T, TSocketLine> ? "Socket" : "Rfc2217";
    }
};

using Lines = ::testing::Types<TFakeLine, TPtyLine, TSocketLine, TRfc2217Line>;
TYPED_TEST_SUITE(ProviderContract, Lines, LineNames);

// ------------------------------------------------------------------ events

TYPED_TEST(ProviderContract, ChangingTheMaskEndsAPendingWaitWithNoEvents) {
    this->SelectEvents(EV_RXCHAR);
    OVERLAPPED& ov = this->NewRecord();
    DWORD mask = 0xFFFF;
    ASSERT_EQ(this->StartWait(&mask, ov), ERROR_IO_PENDING);
    EXPECT_EQ(this->Outcome(ov), ERROR_IO_INCOMPLETE);
    this->SelectEvents(EV_RXCHAR | EV_TXEMPTY);
    ASSERT_TRUE(this->Signalled(ov));
    EXPECT_EQ(this->Outcome(ov), ERROR_SUCCESS);
    EXPECT_EQ(mask, 0u);
}

TYPED_TEST(ProviderContract, AWaitNeedsSelectedEventsAndIsOneAtATime) {
    OVERLAPPED& first = this->NewRecord();
    OVERLAPPED& second = this->NewRecord();
    DWORD mask = 0, otherMask = 0;
    EXPECT_EQ(this->StartWait(&mask, first), ERROR_INVALID_PARAMETER) << "no event selected";
    this->SelectEvents(EV_RXCHAR);
    ASSERT_EQ(this->StartWait(&mask, first), ERROR_IO_PENDING);
    EXPECT_EQ(this->StartWait(&otherMask, second), ERROR_INVALID_PARAMETER) << "a second wait";
    EXPECT_EQ(this->Outcome(first), ERROR_IO_INCOMPLETE) << "the first wait goes on";
}

TYPED_TEST(ProviderContract, AnEventBetweenWaitsIsReportedOnceByTheNextWait) {
    this->SelectEvents(EV_RXCHAR);
    ASSERT_TRUE(this->ArriveAndQueue("abc"));
    OVERLAPPED& ov = this->NewRecord();
    DWORD mask = 0;
    EXPECT_EQ(this->StartWait(&mask, ov), ERROR_SUCCESS) << "completes at once";
    EXPECT_EQ(mask, EV_RXCHAR);
    EXPECT_TRUE(this->Signalled(ov, 0));
    EXPECT_EQ(this->Outcome(ov), ERROR_SUCCESS);
    EXPECT_EQ(this->StartWait(&mask, ov), ERROR_IO_PENDING) << "already reported";
}

TYPED_TEST(ProviderContract, HistoryKeepsOnlySelectedEventsAndANewMaskForgetsIt) {
    DCB dcb{};
    ASSERT_TRUE(this->Api().GetCommState(this->File, &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(this->Api().SetCommState(this->File, &dcb));
    this->SelectEvents(EV_RXFLAG);
    ASSERT_TRUE(this->ArriveAndQueue("ab"));
    OVERLAPPED& ov = this->NewRecord();
    DWORD mask = 0;
    ASSERT_EQ(this->StartWait(&mask, ov), ERROR_IO_PENDING) << "bytes without the event character";
    ASSERT_TRUE(this->ArriveAndQueue("c\n"));
    ASSERT_TRUE(this->Signalled(ov));
    EXPECT_EQ(this->Outcome(ov), ERROR_SUCCESS);
    EXPECT_EQ(mask, EV_RXFLAG) << "new bytes, but only the selected event";

    ASSERT_TRUE(this->ArriveAndQueue("d\n"));
    this->SelectEvents(EV_RXFLAG);
    EXPECT_EQ(this->StartWait(&mask, ov), ERROR_IO_PENDING) << "the history went with the old mask";
}

TYPED_TEST(ProviderContract, AWaitAloneNoticesArrivingBytes) {
    this->SelectEvents(EV_RXCHAR);
    OVERLAPPED& ov = this->NewRecord();
    DWORD mask = 0;
    ASSERT_EQ(this->StartWait(&mask, ov), ERROR_IO_PENDING);
    this->Line.Arrive("xyz");
    ASSERT_TRUE(this->Signalled(ov)) << "the wait on the record's event moves the data";
    EXPECT_EQ(this->Outcome(ov), ERROR_SUCCESS);
    EXPECT_EQ(mask, EV_RXCHAR);
}

TYPED_TEST(ProviderContract, ACompletedWriteIsReportedAsTransmitterEmpty) {
    this->SelectEvents(EV_TXEMPTY);
    OVERLAPPED& wait = this->NewRecord();
    OVERLAPPED& write = this->NewRecord();
    DWORD mask = 0;
    ASSERT_EQ(this->StartWait(&mask, wait), ERROR_IO_PENDING);
    EXPECT_EQ(this->StartWrite("hi", write), ERROR_SUCCESS) << "room on the line: done at once";
    ASSERT_TRUE(this->Signalled(wait));
    EXPECT_EQ(this->Outcome(wait), ERROR_SUCCESS);
    EXPECT_EQ(mask, EV_TXEMPTY);
    EXPECT_EQ(this->Line.Sent(2), "hi");
}

// ------------------------------------------------------------------ transfers

TYPED_TEST(ProviderContract, AReadReturnsAtOnceWithWhatHasArrived) {
    char buffer[64];
    OVERLAPPED& ov = this->NewRecord();
    DWORD read = 99;
    EXPECT_EQ(this->StartRead(buffer, sizeof buffer, &read, ov), ERROR_SUCCESS);
    EXPECT_EQ(read, 0u) << "nothing there";
    ASSERT_TRUE(this->ArriveAndQueue("hello"));
    EXPECT_EQ(this->StartRead(buffer, sizeof buffer, &read, ov), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, read), "hello");
    // The port waits on the record's event even for a transfer done at once.
    EXPECT_TRUE(this->Signalled(ov, 0));
    DWORD transferred = 0;
    EXPECT_EQ(this->Outcome(ov, &transferred), ERROR_SUCCESS);
    EXPECT_EQ(transferred, 5u);
}

TYPED_TEST(ProviderContract, InQueueCountsWhatIsNotReadYet) {
    EXPECT_EQ(this->InQue(), 0u);
    ASSERT_TRUE(this->ArriveAndQueue("hello"));
    EXPECT_EQ(this->InQue(), 5u);
    char buffer[2];
    DWORD read = 0;
    ASSERT_EQ(this->StartRead(buffer, sizeof buffer, &read, this->NewRecord()), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, read), "he");
    EXPECT_EQ(this->InQue(), 3u);
    EXPECT_EQ(this->Purge(PURGE_RXCLEAR), ERROR_SUCCESS);
    EXPECT_EQ(this->InQue(), 0u);
}

TYPED_TEST(ProviderContract, OneTransferPerDirectionAtATime) {
    ASSERT_TRUE(this->Line.HoldReads(this->File));
    this->HeldWrite = this->Line.HeldWriteData();
    char buffer[8], other[8];
    DWORD read = 0;
    OVERLAPPED& firstRead = this->NewRecord();
    OVERLAPPED& firstWrite = this->NewRecord();
    ASSERT_EQ(this->StartRead(buffer, sizeof buffer, &read, firstRead), ERROR_IO_PENDING);
    ASSERT_EQ(this->StartWrite(this->HeldWrite, firstWrite), ERROR_IO_PENDING);
    EXPECT_EQ(this->StartRead(other, sizeof other, &read, this->NewRecord()), ERROR_BUSY);
    EXPECT_EQ(this->StartWrite("x", this->NewRecord()), ERROR_BUSY);
    EXPECT_EQ(this->Outcome(firstRead), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(this->Outcome(firstWrite), ERROR_IO_INCOMPLETE);
}

TYPED_TEST(ProviderContract, PurgeAbortsThePendingTransfersOfItsDirectionOnly) {
    typename TestFixture::TPendingThree p{};
    ASSERT_NO_FATAL_FAILURE(this->StartThreePending(p));
    EXPECT_EQ(this->Purge(PURGE_RXABORT), ERROR_SUCCESS);
    EXPECT_TRUE(this->Aborted(*p.read));
    EXPECT_EQ(this->Outcome(*p.write), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(this->Purge(PURGE_TXABORT), ERROR_SUCCESS);
    EXPECT_TRUE(this->Aborted(*p.write));
    EXPECT_EQ(this->Outcome(*p.wait), ERROR_IO_INCOMPLETE) << "a purge leaves the wait alone";
    EXPECT_EQ(this->Purge(0x10), ERROR_INVALID_PARAMETER) << "an unknown purge flag";
}

TYPED_TEST(ProviderContract, CancelEndsTheNamedOperationOrAllOfThem) {
    typename TestFixture::TPendingThree p{};
    ASSERT_NO_FATAL_FAILURE(this->StartThreePending(p));
    EXPECT_EQ(this->Cancel(p.read), ERROR_SUCCESS);
    EXPECT_TRUE(this->Aborted(*p.read));
    EXPECT_EQ(this->Outcome(*p.wait), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(this->Outcome(*p.write), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(this->Cancel(nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(this->Aborted(*p.wait));
    EXPECT_TRUE(this->Aborted(*p.write));
    EXPECT_EQ(this->Cancel(nullptr), ERROR_NOT_FOUND) << "nothing left to cancel";
}

TYPED_TEST(ProviderContract, ClosingAbortsPendingOperationsAndKillsTheHandle) {
    ASSERT_TRUE(this->Line.HoldReads(this->File));
    this->SelectEvents(EV_RXCHAR);
    char buffer[8];
    DWORD mask = 0, read = 0;
    OVERLAPPED& wait = this->NewRecord();
    OVERLAPPED& readOv = this->NewRecord();
    ASSERT_EQ(this->StartWait(&mask, wait), ERROR_IO_PENDING);
    ASSERT_EQ(this->StartRead(buffer, sizeof buffer, &read, readOv), ERROR_IO_PENDING);

    ASSERT_TRUE(this->Api().CloseHandle(this->File));
    for (OVERLAPPED* ov : {&wait, &readOv}) {
        ASSERT_TRUE(this->Signalled(*ov));
        EXPECT_EQ(ov->Internal, ERROR_OPERATION_ABORTED);
    }
    // The event thread's last purge and cancel come after the port let go.
    EXPECT_EQ(this->Purge(PURGE_RXABORT | PURGE_RXCLEAR), ERROR_INVALID_HANDLE);
    EXPECT_EQ(this->Cancel(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(this->Result(this->Api().CloseHandle(this->File)), ERROR_INVALID_HANDLE);
    this->File = INVALID_HANDLE_VALUE;
}

}  // namespace
