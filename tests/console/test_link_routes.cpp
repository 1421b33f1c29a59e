// The controller link against the simulated controller, on each route a
// controller is reached by: a local line (the pty itself), and ser2net in
// front of it as rfc2217:// and as socket://. The probe (0xFF out, one byte
// back), every command with its reply decoded, long runs, waits that end with
// their reply, time-outs, slow, split and garbled replies, and a flood.
#include <memory>
#include <string>

#include <QTimer>

#include "link/NumberText.h"
#include "link/ParamWords.h"
#include "sim/Controller.h"
#include "sim/PtySimulator.h"
#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"
#include "tests/support/NetFixture.h"

namespace {

enum class ERoute { Pty, Rfc2217, Socket };

std::string RouteName(const ::testing::TestParamInfo<ERoute>& route) {
    switch (route.param) {
    case ERoute::Pty: return "Pty";
    case ERoute::Rfc2217: return "Rfc2217";
    case ERoute::Socket: break;
    }
    return "Socket";
}

class LinkRoutes : public ::testing::TestWithParam<ERoute> {
protected:
    void SetUp() override {
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;  // the model stands still: values are exact
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        std::string name = Sim->Path();
        if (GetParam() != ERoute::Pty) {
            const auto mode = GetParam() == ERoute::Rfc2217 ? ser2net::EMode::Rfc2217 : ser2net::EMode::Raw;
            ASSERT_NO_FATAL_FAILURE(nettest::StartServer(Server, mode, Sim->Path()));
            name = Server.Address();
        }
        consoleline::Configure(Port);
        Port.SetDeviceName(name);
        Link = std::make_unique<TControllerLink>(Port, &Listener);
        // The probe waits for the controller's answer rather than its 10 ms:
        // the simulator's thread may take longer on a loaded machine.
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
    // Lets bytes that the controller sends late (garbage after a reply, the
    // rest of a dropped reply) arrive and be discarded before the next send:
    // the controller has written all it had, the kernel (and the server) have
    // handed it over (the spell), and the port has been read empty.
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

}  // namespace

TEST_P(LinkRoutes, TheProbeAndEveryCommandWithItsReply) {
    sim::TControllerState state = Sim->State();
    state.Mode = sim::smVelocity;
    state.Position = -123456;
    state.Params = {0xFFF6, 384, 272, 25700, 0x7FFF, 65535};
    Sim->SetState(state);

    ASSERT_TRUE(Link->ProbeController()) << "0xFF out, 'X' back";
    EXPECT_EQ(Sim->ProbeCount(), 1u) << "the probe byte reached the controller as one byte";
    EXPECT_EQ(Transact(Link->SendIdentify()), lsDone);
    const std::string ident = std::string(sim::IdentText) + "+";
    EXPECT_EQ(Link->IdentText(), ident);
    EXPECT_EQ(Listener.Identified, std::vector<QString>{"Контроллер: " + QString::fromStdString(ident)});
    EXPECT_EQ(Transact(Link->SendGetMode()), lsDone);
    EXPECT_EQ(Listener.Modes, std::vector<int>{sim::smVelocity});
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsDone);
    EXPECT_EQ(Link->Position(), -123456);
    EXPECT_EQ(Listener.Positions, std::vector<int32_t>{-123456});
    for (uint8_t i = 0; i < 6; ++i) EXPECT_EQ(Transact(Link->SendReadParam(i)), lsDone) << int(i);
    EXPECT_EQ(Link->Params(), state.Params) << "replies full of 0xFF bytes";
    EXPECT_EQ(Listener.Params.size(), 6u);
    const std::array<QString, 6> shown = {"-10", "1.5", "1.063", "100.4", "32767", "65535"};
    EXPECT_EQ(paramwords::Texts(Link->Params()), shown);
    // Commands whose frames carry 0xFF bytes.
    EXPECT_EQ(Transact(Link->SendWriteParam(2, 0xFFFF)), lsDone);
    EXPECT_EQ(Sim->State().Params[2], 0xFFFF);
    EXPECT_EQ(Transact(Link->SendSetTarget(-1)), lsDone);
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsDone);
    EXPECT_EQ(Link->TargetPosition(), -1);
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
TEST_P(LinkRoutes, ConsecutiveTransactionsLoseAndMisdecodeNothing) {
    ASSERT_TRUE(Link->ProbeController());
    std::array<uint16_t, 6> written = Sim->State().Params;
    int32_t target = 0;
    uint8_t mode = 0;
    int samples = 0;
    const int count = GetParam() == ERoute::Pty ? 10000 : 1000;
    for (int i = 0; i < count; ++i) {
        const uint8_t index = uint8_t(i / 7 % 6);
        bool sent = false;
        switch (i % 7) {
        case 0: sent = Link->SendWriteParam(index, written[index] = uint16_t(i * 7919)); break;
        case 1: sent = Link->SendReadParam(index); break;
        case 2: sent = Link->SendSetTarget(target = (i * 104729) % 0x1000000 - 0x800000); break;
        case 3: sent = Link->SendGetTarget(); break;
        case 4: sent = Link->SendSetMode(mode = uint8_t(i % 4)); break;
        case 5: sent = Link->SendGetMode(); break;
        default: sent = Link->SendGetSample(), ++samples; break;
        }
        ASSERT_EQ(Transact(sent), lsDone) << "transaction " << i;
        switch (i % 7) {
        case 1: ASSERT_EQ(Link->Params()[index], written[index]) << i; break;
        case 3: ASSERT_EQ(Link->TargetPosition(), target) << i; break;
        case 5: ASSERT_EQ(Listener.Modes.back(), mode) << i; break;
        default: break;
        }
    }
    EXPECT_EQ(Sim->FrameCount(), size_t(count));
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(Listener.Overflows, 0);
    EXPECT_EQ(Listener.Samples, samples);
}

// Each wait ends with its reply, on every event dispatcher: with the reply
// timer out of reach, a wait that slept past its decoded reply would only be
// ended by the watchdog.
TEST_P(LinkRoutes, EveryWaitEndsWithItsReplyNotWithTheNextTimer) {
    ASSERT_TRUE(Link->ProbeController());
    Link->tmrTimeout.setInterval(3600 * 1000);
    bool stalled = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&stalled] { stalled = true; });
    watchdog.start(2 * testsupport::WaitLimitMs);
    for (int i = 0; i < 200 && !stalled; ++i) ASSERT_EQ(Transact(Link->SendGetPosition()), lsDone) << i;
    EXPECT_FALSE(stalled) << "a wait slept until the watchdog fired";
    EXPECT_EQ(Listener.Positions.size(), 200u);
}

TEST_P(LinkRoutes, SlowSplitGarbledRefusedAndLostRepliesEndTheirTransactions) {
    ASSERT_TRUE(Link->ProbeController());
    sim::TFaults faults;
    faults.ChunkBytes = 1;
    faults.ChunkGapMs = 3;
    faults.GarbageAfter = {'+', 0x00, '-'};
    Sim->SetFaults(faults);
    Sim->SetPosition(-77);
    EXPECT_EQ(Transact(Link->SendGetPosition()), lsDone) << "a reply a byte at a time";
    EXPECT_EQ(Link->Position(), -77);
    ASSERT_NO_FATAL_FAILURE(Settle());
    EXPECT_EQ(Transact(Link->SendIdentify()), lsDone);
    EXPECT_EQ(Link->IdentText(), std::string(sim::IdentText) + "+");
    ASSERT_NO_FATAL_FAILURE(Settle());

    const struct {
        void (*fault)(sim::TFaults&);
        bool write;  // the refusal is of a write; the rest hit a mode query
        TLinkState outcome;
    } cases[] = {
        {[](sim::TFaults& f) { f.DelayMs = 400; }, false, lsDone},  // within the time-out
        {[](sim::TFaults& f) { f.WrongStatus = '?'; }, false, lsUnparsed},
        {[](sim::TFaults& f) { f.RefuseCodes = "W"; }, true, lsRefused},
        {[](sim::TFaults& f) { f.DropNext = 1; }, false, lsTimedOut},
    };
    for (const auto& c : cases) {
        sim::TFaults fault;
        c.fault(fault);
        Sim->SetFaults(fault);
        EXPECT_EQ(Transact(c.write ? Link->SendWriteParam(0, 1) : Link->SendGetMode()), c.outcome);
        ASSERT_NO_FATAL_FAILURE(Settle());
    }
    EXPECT_EQ(Listener.StatusTexts.back(), QStringLiteral("Timeout"));
    Sim->SetFaults({});
    EXPECT_EQ(Transact(Link->SendGetTarget()), lsDone) << "the next one goes through";
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(LinesLost, 0);
}

TEST_P(LinkRoutes, AFloodIsConsumedAndTheNextTransactionWorks) {
    ASSERT_TRUE(Link->ProbeController());
    // A purge reaches an RFC 2217 server later than it would a local line:
    // one answered command shows that the probe's last purge is behind us,
    // so that it cannot cut into the flood.
    ASSERT_EQ(Transact(Link->SendGetMode()), lsDone);
    Sim->Flood(600);
    // Not handling events until the whole flood is in the port: it waits as
    // one event, however a server cut it into segments.
    ASSERT_TRUE(testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 600; }))
        << Port.InQueCount() << " bytes of the flood in";
    ASSERT_TRUE(WaitFor([&] { return Listener.Overflows > 0 && Port.InQueCount() == 0; }));
    EXPECT_EQ(Transact(Link->SendGetMode()), lsDone);
    EXPECT_EQ(Listener.ReadErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(Route, LinkRoutes, ::testing::Values(ERoute::Pty, ERoute::Rfc2217, ERoute::Socket),
                         RouteName);
