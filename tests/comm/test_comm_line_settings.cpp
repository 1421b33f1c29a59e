// What the port asks of the device: the DCB it builds from its settings, the
// time-outs, the queue sizes and the event mask. Against the recording fake.
#include <gtest/gtest.h>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

DCB DeviceWithFlags(DWORD flags) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Flags = flags;
    return dcb;
}

using LineSettings = FakePortTest;

TEST_F(LineSettings, WindowSettingsGiveExactlyTheBinaryFlag) {
    Api.SetDeviceDcb(DeviceWithFlags(0x7FFF));  // every handshake and option bit set on the device
    consoleline::Configure(*Port);
    Port->Open();
    ASSERT_EQ(Api.AppliedDcbs().size(), 1u);
    const DCB dcb = Api.AppliedDcbs().back();
    EXPECT_EQ(dcb.Flags, 0x0001u);
    EXPECT_EQ(dcb.BaudRate, 38400u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(Port->DataControlBlock().Flags, 0x0001u);
}

// What the open leaves behind, whatever order it took: the device opened and
// configured, and its events manual-reset (the settings themselves: Tables).
TEST_F(LineSettings, OpenConfiguresTheDevice) {
    consoleline::Configure(*Port);
    Port->Open();
    for (const char* op : {"CreateFileA", "SetCommMask", "SetCommTimeouts", "SetCommState", "SetupComm"})
        EXPECT_EQ(Api.CallsOf(op).size(), 1u) << op;
    const auto create = Api.CallsOf("CreateEventA");
    ASSERT_EQ(create.size(), 2u);  // the port's completion event and the event thread's
    EXPECT_EQ(create[0].arg, 1u) << "manual reset, initially clear, unnamed";
    EXPECT_EQ(create[1].arg, 1u);
}

struct TFlowCase {
    TFlowControl flow;
    DWORD deviceFlags;
    TCommOptions options;
    DWORD expected;
};

class FlowControl : public FakePortTest, public ::testing::WithParamInterface<TFlowCase> {};

TEST_P(FlowControl, FlagsWordFollowsFlowControlThenOptions) {
    const TFlowCase c = GetParam();
    Api.SetDeviceDcb(DeviceWithFlags(c.deviceFlags));
    Port->SetFlowControl(c.flow);
    Port->SetOptions(c.options);
    Port->Open();
    EXPECT_EQ(Api.AppliedDcbs().back().Flags, c.expected);
}

constexpr TCommOptions AllOptions = 0x1F;
// The device had: abort on error, DTR on, parity check, NUL stripping, binary.
constexpr DWORD Dev = 0x4813;

INSTANTIATE_TEST_SUITE_P(
    OverADeviceWithOtherBits, FlowControl,
    ::testing::Values(TFlowCase{fcNone, Dev, 0, 0x0001}, TFlowCase{fcCTS, Dev, 0, 0x6015},
                      TFlowCase{fcDTR, Dev, 0, 0x4039}, TFlowCase{fcSoftware, Dev, 0, 0x4311},
                      TFlowCase{fcDefault, Dev, 0, 0x4011},
                      // a handshake bit the device had stays set
                      TFlowCase{fcSoftware, 0x2005, 0, 0x2305},
                      // the five option bits win over the flow control
                      TFlowCase{fcNone, Dev, AllOptions, 0x0CC3},
                      TFlowCase{fcDefault, Dev, OptionBit(coParityCheck), 0x4013},
                      TFlowCase{fcSoftware, 0x0000, OptionBit(coIgnoreXOff), 0x0380},
                      TFlowCase{fcNone, 0x0000, OptionBit(coDsrSensitivity), 0x0041},
                      TFlowCase{fcNone, 0x0000, OptionBit(coErrorChar), 0x0401},
                      TFlowCase{fcNone, 0x0000, OptionBit(coNullStrip), 0x0801}));

using Tables = FakePortTest;

TEST_F(Tables, EverySettingReachesTheDeviceWhileOpen) {
    Port->Open();
    const uint32_t bauds[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int b = br256000; b >= br110; --b) {  // downwards: br9600 is already set
        Port->SetBaudRate(TBaudrate(b));
        EXPECT_EQ(Api.AppliedDcbs().back().BaudRate, bauds[b]) << "ordinal " << b;
    }
    const BYTE parities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    for (int p = paSpace; p >= paNone; --p) {
        Port->SetParity(TParity(p));
        EXPECT_EQ(Api.AppliedDcbs().back().Parity, parities[p]) << "ordinal " << p;
    }
    const BYTE stops[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    for (int s = sb20; s >= sb10; --s) {
        Port->SetStopbits(TStopbits(s));
        EXPECT_EQ(Api.AppliedDcbs().back().StopBits, stops[s]) << "ordinal " << s;
    }
    for (int d = da7; d >= da4; --d) {  // downwards: da8 is already set
        Port->SetDatabits(TDatabits(d));
        EXPECT_EQ(Api.AppliedDcbs().back().ByteSize, d + 4) << "ordinal " << d;
    }
    Port->SetDatabits(da8);
    EXPECT_EQ(Api.AppliedDcbs().back().ByteSize, 8);
}

TEST_F(Tables, XonAndXoffLimitsAreAQuarterOfTheReadBuffer) {
    for (const auto& [size, limit] : {std::pair{1024, 256}, std::pair{4096, 1024}, std::pair{1027, 256}}) {
        Port->SetReadBufSize(size);
        Port->Open();
        EXPECT_EQ(Api.AppliedDcbs().back().XonLim, limit);
        EXPECT_EQ(Api.AppliedDcbs().back().XoffLim, limit);
        Port->Close();
    }
}

TEST_F(Tables, TimeoutRecordIsFixedAndQueueSizesAreRequested) {
    Port->SetReadTimeout(5);
    Port->SetWriteTimeout(7);
    Port->Open();
    const COMMTIMEOUTS t = Api.LastTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(Api.InQueueSize(), 4096u);
    EXPECT_EQ(Api.OutQueueSize(), 2048u);
    Port->Close();

    consoleline::Configure(*Port);
    Port->Open();
    EXPECT_EQ(Api.InQueueSize(), 1024u);
    EXPECT_EQ(Api.OutQueueSize(), 1024u);
}

TEST_F(Tables, DeviceIsAskedForTheMonitoredEvents) {
    Port->Open();
    EXPECT_EQ(Api.CommMask(), 0x01FFu);
    Port->Close();
    Port->SetMonitorEvents(consoleline::Events);
    Port->Open();
    EXPECT_EQ(Api.CommMask(), 0x00C3u);

    const DWORD each[] = {EV_BREAK, EV_CTS, EV_DSR, EV_ERR, EV_RING, EV_RLSD, EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY};
    for (int e = evBreak; e <= evTxEmpty; ++e) EXPECT_EQ(EventMaskOf(EventBit(TCommEventType(e))), each[e]);
    EXPECT_EQ(EventMaskOf(0), 0u);
}

TEST_F(Tables, ConstructorDefaults) {
    EXPECT_EQ(Port->DeviceName(), "Com2");
    EXPECT_EQ(Port->ReadTimeout(), 1000);
    EXPECT_EQ(Port->WriteTimeout(), 1000);
    EXPECT_EQ(Port->ReadBufSize(), 4096);
    EXPECT_EQ(Port->WriteBufSize(), 2048);
    EXPECT_EQ(Port->MonitorEvents(), AllCommEvents);
    EXPECT_EQ(Port->BaudRate(), br9600);
    EXPECT_EQ(Port->Parity(), paNone);
    EXPECT_EQ(Port->Stopbits(), sb10);
    EXPECT_EQ(Port->Databits(), da8);
    EXPECT_EQ(Port->Options(), 0);
    EXPECT_EQ(Port->FlowControl(), fcDefault);
    TCommEventChars* chars = Port->EventChars();
    EXPECT_EQ(chars->XonChar(), 17);
    EXPECT_EQ(chars->XoffChar(), 19);
    EXPECT_EQ(chars->ErrorChar(), 0);
    EXPECT_EQ(chars->EofChar(), 0);
    EXPECT_EQ(chars->EvtChar(), 0);
    EXPECT_FALSE(Port->Enabled());
    EXPECT_EQ(Port->Handle(), INVALID_HANDLE_VALUE);
}

}  // namespace
