// The controller link through ser2net, as through a local line: the probe
// (0xFF out, one byte back), every command with its reply decoded, long runs,
// time-outs, a late reply purged before the next command, and replies that
// come slowly or in pieces.
#include <memory>
#include <string>

#include "Controller.h"
#include "LinkInsight.h"
#include "LinkFixture.h"
#include "NetFixture.h"
#include "NumberText.h"
#include "PtySimulator.h"

namespace {

using namespace nettest;

class NetLink : public ::testing::TestWithParam<ser2net::EMode> {
protected:
    void SetUp() override {
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;  // the model stands still: values are exact
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        ASSERT_NO_FATAL_FAILURE(StartServer(Server, GetParam(), Sim->Path()));
        consoleline::Configure(Port);
        Port.SetDeviceName(Server.Address());
        Link = std::make_unique<TControllerLink>(Port, &Listener);
        Link->SetProbePause([this](int) {
            testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 1; });
        });
        consoleline::Bind(Port, *Link, [this] {
            ++LinesLost;
            Link->DropLine();
        });
        Port.Open();
        numtext::SetDecimalSeparator(u'.');
    }
    void TearDown() override {
        consoleline::Unbind(Port);
        Port.Close();
        Link.reset();
        Server.Stop();
        Sim.reset();
    }
    // Whatever the controller still sends is in and dropped.
    void Settle() {
        ASSERT_TRUE(WaitFor([this] { return Sim->QueuedOutputBytes() == 0; }));
        PumpFor(50);
        ASSERT_TRUE(WaitFor([this] { return Port.InQueCount() == 0; }));
    }
    TLinkState Transact(bool sent) { return sent ? Link->WaitReply() : lsPending; }

    std::unique_ptr<sim::TPtySimulator> Sim;
    ser2net::TServer Server;
    TComm Port;
    TRecordingListener Listener;
    std::unique_ptr<TControllerLink> Link;
    int LinesLost = 0;
};

TEST_P(NetLink, TheProbeAndEveryCommandWithItsReply) {
    sim::TControllerState state = Sim->State();
    state.Mode = sim::smVelocity;
    state.Position = -123456;
    state.Params = {0xFFF6, 384, 272, 25700, 0x7FFF, 65535};
    Sim->SetState(state);

    ASSERT_TRUE(Link->ProbeController()) << "0xFF out, 'X' back";
    EXPECT_EQ(Sim->ProbeCount(), 1u) << "the probe byte reached the controller as one byte";
    EXPECT_EQ(Transact(Link->SendIdentify()), lsDone);
    EXPECT_EQ(Inside(*Link).FIdentText, std::string(sim::IdentText) + "+");
    EXPECT_EQ(Transact(Link->SendGetMode()), lsDone);
    EXPECT_EQ(Listener.Modes, std::vector<int>{sim::smVelocity});
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, -123456);
    for (uint8_t i = 0; i < 6; ++i) EXPECT_EQ(Transact(Link->SendReadParam(i)), lsDone) << int(i);
    EXPECT_EQ(Inside(*Link).FParams, state.Params) << "replies full of 0xFF bytes";
    // Commands whose frames carry 0xFF bytes.
    EXPECT_EQ(Transact(Link->SendWriteParam(2, 0xFFFF)), lsDone);
    EXPECT_EQ(Sim->State().Params[2], 0xFFFF);
    EXPECT_EQ(Transact(Link->SendSetTarget(-1)), lsDone);
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsDone);
    EXPECT_EQ(Inside(*Link).FTargetPosition, -1);
    EXPECT_EQ(Transact(Link->SendSetMode(sim::smPosition)), lsDone);
    EXPECT_EQ(Sim->State().Mode, sim::smPosition);
    EXPECT_EQ(Transact(Link->SendSubCommand(-1)), lsDone);
    EXPECT_EQ(Transact(Link->SendGetSample()), lsDone);
    EXPECT_EQ(Listener.Samples, 1);
    EXPECT_EQ(Transact(Link->SendSaveBank(3)), lsDone);
    EXPECT_EQ(Transact(Link->SendLoadBank(3)), lsDone);
    EXPECT_EQ(Sim->FrameCount(), 17u);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(LinesLost, 0);
}

// Each transaction checks what comes back against what was sent before.
TEST_P(NetLink, AThousandConsecutiveTransactionsLoseAndMisdecodeNothing) {
    ASSERT_TRUE(Link->ProbeController());
    std::array<uint16_t, 6> written = Sim->State().Params;
    int32_t target = 0;
    constexpr int Count = 1000;
    for (int i = 0; i < Count; ++i) {
        const uint8_t index = uint8_t(i / 5 % 6);
        switch (i % 5) {
        case 0:
            written[index] = uint16_t(i * 7919);
            ASSERT_EQ(Transact(Link->SendWriteParam(index, written[index])), lsDone) << i;
            break;
        case 1:
            ASSERT_EQ(Transact(Link->SendReadParam(index)), lsDone) << i;
            ASSERT_EQ(Inside(*Link).FParams[index], written[index]) << i;
            break;
        case 2:
            target = (i * 104729) % 0x1000000 - 0x800000;
            ASSERT_EQ(Transact(Link->SendSetTarget(target)), lsDone) << i;
            break;
        case 3:
            ASSERT_EQ(Transact(Link->SendGetTarget()), lsDone) << i;
            ASSERT_EQ(Inside(*Link).FTargetPosition, target) << i;
            break;
        default: ASSERT_EQ(Transact(Link->SendGetSample()), lsDone) << i; break;
        }
    }
    EXPECT_EQ(Sim->FrameCount(), size_t(Count));
    EXPECT_EQ(Listener.TimedOut, 0);
}

TEST_P(NetLink, ATimeOutAndALateReplyNeverSpoilTheNextCommand) {
    ASSERT_TRUE(Link->ProbeController());
    Link->SetQuietMs(300);  // the late reply must be in before the next send
    sim::TFaults faults;
    faults.DropNext = 1;
    Sim->SetFaults(faults);
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsTimedOut);
    EXPECT_EQ(Listener.StatusTexts.back(), QStringLiteral("Timeout"));
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsDone) << "the next one goes through";

    // A reply 1.3 s late: its bytes come while the link settles before the next send.
    faults = {};
    faults.DelayMs = 1300;
    Sim->SetFaults(faults);
    Sim->SetPosition(111);
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsTimedOut);
    Sim->SetFaults({});
    Sim->SetPosition(222);
    ASSERT_TRUE(WaitFor([this] { return Port.InQueCount() > 0; })) << "the late reply arrives";
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, 222) << "the late reply was purged, not taken";
    EXPECT_EQ(LinesLost, 0);
}

TEST_P(NetLink, SlowSplitAndGarbledRepliesEndAsOnALocalLine) {
    ASSERT_TRUE(Link->ProbeController());
    sim::TFaults faults;
    faults.ChunkBytes = 1;
    faults.ChunkGapMs = 3;
    Sim->SetFaults(faults);
    Sim->SetPosition(-77);
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsDone) << "a reply a byte at a time";
    EXPECT_EQ(Inside(*Link).FPosition, -77);
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.DelayMs = 400;
    Sim->SetFaults(faults);
    EXPECT_EQ(Transact(Link->SendGetMode()), lsDone) << "a reply within the time-out";
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.WrongStatus = '?';
    Sim->SetFaults(faults);
    EXPECT_EQ(Transact(Link->SendGetMode()), lsUnparsed);
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.RefuseCodes = "W";
    Sim->SetFaults(faults);
    EXPECT_EQ(Transact(Link->SendWriteParam(0, 1)), lsRefused);
    ASSERT_NO_FATAL_FAILURE(Settle());

    Sim->SetFaults({});
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsDone);
    EXPECT_EQ(Listener.ReadErrors, 0);
}

TEST_P(NetLink, AFloodIsConsumedAndTheNextTransactionWorks) {
    ASSERT_TRUE(Link->ProbeController());
    // A purge reaches an RFC 2217 server later than it would a local line:
    // one answered command shows that the probe's last purge is behind us,
    // so that it cannot cut into the flood.
    ASSERT_EQ(Transact(Link->SendGetMode()), lsDone);
    Sim->Flood(600);
    // Not handling events until the whole flood is in the port: it waits as
    // one event, however the server cut it into segments.
    ASSERT_TRUE(testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 600; }))
        << Port.InQueCount() << " bytes of the flood in";
    ASSERT_TRUE(WaitFor([&] { return Listener.Overflows > 0 && Port.InQueCount() == 0; }));
    EXPECT_EQ(Transact(Link->SendGetMode()), lsDone);
}

INSTANTIATE_TEST_SUITE_P(Ser2Net, NetLink, Modes, ModeName);

}  // namespace
