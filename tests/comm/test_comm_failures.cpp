// Failures of the port raise ECommError with the step's message and the code;
// setters follow their open/closed rules. Against the recording fake.
#include <gtest/gtest.h>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

struct TOpenFailure {
    const char* op;
    DWORD code;
    const char* text;
    bool leftOpen;
};

class OpenFailure : public FakePortTest, public ::testing::WithParamInterface<TOpenFailure> {};

TEST_P(OpenFailure, RaisesTheStepsMessageWithTheSystemCode) {
    const TOpenFailure c = GetParam();
    Api.Fail(c.op, c.code);
    ExpectCommError([&] { Port->Open(); }, c.text, int32_t(c.code));
    EXPECT_EQ(Port->Enabled(), c.leftOpen);
    // A failure before the device is open starts no thread; a later one leaves it running.
    EXPECT_EQ(Api.Count("SetCommMask"), c.leftOpen ? 1 : 0);
    Port->Close();
    EXPECT_FALSE(Port->Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, OpenFailure,
    ::testing::Values(TOpenFailure{"CreateFileA", 2, "Error accessing specified device (Error: 2) ", false},
                      TOpenFailure{"SetCommTimeouts", 31, "Error updating CommTimeouts (Error: 31) ", true},
                      TOpenFailure{"SetCommState", 87, "Error updating DataControlBlock (Error: 87) ", true},
                      TOpenFailure{"SetupComm", 8, "Error initializing Read/Write Buffers (Error: 8) ", true}));

using Failures = FakePortTest;

TEST_F(Failures, NonCharacterDeviceIsClosedAgainAndRefused) {
    Api.SetFileType(FILE_TYPE_DISK);
    ExpectCommError([&] { Port->Open(); }, "Invalid device handle, access denied (Error: -1) ", -1);
    EXPECT_FALSE(Port->Enabled());
    const HANDLE opened = Api.LastDevice();
    const auto closes = Api.CallsOf("CloseHandle");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, opened);
    EXPECT_EQ(Api.Count("SetCommMask"), 0) << "no event thread for a refused device";
}

TEST_F(Failures, OpenOnAnOpenPortChangesNothing) {
    Port->Open();
    const HANDLE handle = Port->Handle();
    const auto callsBefore = Api.Count("CreateFileA") + Api.Count("SetCommMask") + Api.Count("SetCommState");
    ExpectCommError([&] { Port->Open(); }, "Port already assigned (open) (Error: -1) ", -1);
    EXPECT_TRUE(Port->Enabled());
    EXPECT_EQ(Port->Handle(), handle);
    EXPECT_EQ(Api.Count("CreateFileA") + Api.Count("SetCommMask") + Api.Count("SetCommState"), callsBefore);
}

TEST_F(Failures, TransfersRaiseAndReleaseTheLock) {
    // A completed write raises EV_TXEMPTY; the event thread, woken by it,
    // would take the one scripted GetOverlappedResult failure meant for the
    // write below.
    Port->SetMonitorEvents(EventBit(evRxChar));
    Port->Open();
    char buffer[4] = {1, 2, 3, 4};
    Api.Fail("WriteFile", 5, 1);
    ExpectCommError([&] { Port->Write(buffer, 4); }, "Write error (Error: 5) ", 5);
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
    Api.Fail("ReadFile", 5, 1);
    ExpectCommError([&] { Port->Read(buffer, 4); }, "Read error (Error: 5) ", 5);
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
    // A transfer that completes with a failure is a failure too, not a count.
    Api.Fail("GetOverlappedResult", 31, 1);
    ExpectCommError([&] { Port->Write(buffer, 4); }, "Write error (Error: 31) ", 31);
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
    // A negative count never reaches the device.
    const int writes = Api.Count("WriteFile");
    ExpectCommError([&] { Port->Write(buffer, -1); }, "Write error (Error: 87) ", 87);
    ExpectCommError([&] { Port->Read(buffer, -5); }, "Read error (Error: 87) ", 87);
    EXPECT_EQ(Api.Count("WriteFile"), writes);
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
    // The port still works.
    const size_t before = Api.Written().size();
    EXPECT_EQ(Port->Write(buffer, 4), 4);
    EXPECT_EQ(Api.Written().substr(before), std::string("\1\2\3\4", 4));
}

TEST_F(Failures, ClosedPortTransfersRaiseInvalidHandle) {
    char buffer[2] = {};
    ExpectCommError([&] { Port->Write(buffer, 2); }, "Write error (Error: 6) ", 6);
    ExpectCommError([&] { Port->Read(buffer, 2); }, "Read error (Error: 6) ", 6);
    EXPECT_EQ(Api.CriticalSectionDepth(), 0);
}

TEST_F(Failures, ClosedPortQueriesDoNothing) {
    Api.ClearCalls();
    Port->Close();
    Port->PurgeIn();
    Port->PurgeOut();
    EXPECT_EQ(Port->InQueCount(), -1);
    EXPECT_TRUE(Api.Calls().empty());
}

TEST_F(Failures, InQueCountIsZeroWhenTheDeviceCannotSay) {
    Port->Open();
    Api.Receive("abc");
    EXPECT_EQ(Port->InQueCount(), 3);
    Api.Fail("ClearCommError", 31, 1);
    EXPECT_EQ(Port->InQueCount(), 0);
    EXPECT_EQ(Port->InQueCount(), 3);
}

TEST_F(Failures, PurgesUseTheirFlags) {
    Port->Open();
    Port->PurgeIn();
    Port->PurgeOut();
    const auto purges = Api.CallsOf("PurgeComm");
    ASSERT_GE(purges.size(), 2u);
    EXPECT_EQ(purges[0].arg, 0x000Au);
    EXPECT_EQ(purges[1].arg, 0x0005u);
}

// ------------------------------------------------------------------ setters

using Setters = FakePortTest;

TEST_F(Setters, OpenOnlySettingsAreStoredWhileClosedAndRefusedWhileOpen) {
    Port->SetDeviceName("COM3");
    Port->SetReadBufSize(100);
    Port->SetWriteBufSize(200);
    Port->SetMonitorEvents(EventBit(evRxChar));
    Port->Open();
    EXPECT_EQ(Api.InQueueSize(), 100u);
    EXPECT_EQ(Api.CommMask(), EV_RXCHAR);

    // The value a property has is accepted while open.
    Port->SetDeviceName("COM3");
    Port->SetReadBufSize(100);
    Port->SetWriteBufSize(200);
    Port->SetMonitorEvents(EventBit(evRxChar));

    const std::string busy = "Port already assigned (open) (Error: -1) ";
    ExpectCommError([&] { Port->SetDeviceName("COM4"); }, busy, -1);
    ExpectCommError([&] { Port->SetReadBufSize(101); }, busy, -1);
    ExpectCommError([&] { Port->SetWriteBufSize(201); }, busy, -1);
    ExpectCommError([&] { Port->SetMonitorEvents(AllCommEvents); }, busy, -1);
    EXPECT_EQ(Port->DeviceName(), "COM3");
    EXPECT_EQ(Port->ReadBufSize(), 100);
    EXPECT_EQ(Port->WriteBufSize(), 200);
    EXPECT_EQ(Port->MonitorEvents(), EventBit(evRxChar));
}

TEST_F(Setters, LineSettingsWaitWhileClosedAndApplyAtOnceWhileOpen) {
    Port->SetBaudRate(br115200);
    Port->SetParity(paEven);
    EXPECT_EQ(Api.Count("GetCommState") + Api.Count("SetCommState"), 0);
    Port->Open();
    EXPECT_EQ(Api.AppliedDcbs().back().BaudRate, 115200u);
    EXPECT_EQ(Api.AppliedDcbs().back().Parity, EVENPARITY);

    const size_t applied = Api.AppliedDcbs().size();
    Port->SetBaudRate(br115200);  // unchanged: nothing applied
    Port->SetFlowControl(fcDefault);
    EXPECT_EQ(Api.AppliedDcbs().size(), applied);
    Port->SetFlowControl(fcSoftware);
    ASSERT_EQ(Api.AppliedDcbs().size(), applied + 1);
    EXPECT_TRUE(Api.AppliedDcbs().back().Flags & (DCB_fOutX | DCB_fInX));
}

TEST_F(Setters, RejectedLineSettingKeepsTheNewValueAndRaises) {
    Port->Open();
    Api.Fail("SetCommState", 87, 1);
    ExpectCommError([&] { Port->SetBaudRate(br256000); }, "Error updating DataControlBlock (Error: 87) ", 87);
    EXPECT_EQ(Port->BaudRate(), br256000);
    EXPECT_TRUE(Port->Enabled());
}

TEST_F(Setters, EventCharactersApplyOneByOneButNotOnAssign) {
    Port->Open();
    size_t applied = Api.AppliedDcbs().size();
    Port->EventChars()->SetXonChar('a');
    ASSERT_EQ(Api.AppliedDcbs().size(), ++applied);
    EXPECT_EQ(Api.AppliedDcbs().back().XonChar, 'a');
    Port->EventChars()->SetXonChar('a');  // also when unchanged
    EXPECT_EQ(Api.AppliedDcbs().size(), ++applied);
    Port->EventChars()->SetByIndex(6, 'z');  // no such character: stores nothing, still applies
    EXPECT_EQ(Api.AppliedDcbs().size(), ++applied);
    Port->EventChars()->SetEvtChar('\n');
    EXPECT_EQ(Api.AppliedDcbs().back().EvtChar, '\n');
    ++applied;

    TCommEventChars source(nullptr);
    source.SetXonChar('1');
    source.SetXoffChar('2');
    source.SetErrorChar('3');
    source.SetEofChar('4');
    source.SetEvtChar('5');
    Port->EventChars()->Assign(&source);
    EXPECT_EQ(Api.AppliedDcbs().size(), applied) << "Assign does not reach the device";
    EXPECT_EQ(Port->EventChars()->XonChar(), '1');
    EXPECT_EQ(Port->EventChars()->EvtChar(), '5');
    Port->SetParity(paOdd);  // the copied characters travel with the next update
    const DCB dcb = Api.AppliedDcbs().back();
    EXPECT_EQ(std::string({dcb.XonChar, dcb.XoffChar, dcb.ErrorChar, dcb.EofChar, dcb.EvtChar}), "12345");

    EXPECT_THROW(Port->EventChars()->Assign(nullptr), std::invalid_argument);
    EXPECT_THROW(Port->EventChars()->Assign(Port.get()), std::invalid_argument);
    EXPECT_EQ(Port->EventChars()->XonChar(), '1');
}

}  // namespace
