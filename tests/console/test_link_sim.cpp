// The link against the simulated controller over a pty, through the port's
// own receive events, as the window uses it.
#include <memory>
#include <string>

#include <QTimer>

#include "Controller.h"
#include "LinkInsight.h"
#include "ParamWords.h"
#include "LinkFixture.h"
#include "NumberText.h"
#include "PtySimulator.h"

namespace {

class LinkWithSimulator : public ::testing::Test {
protected:
    // Lets bytes that the controller sends late (garbage after a reply, the
    // rest of a dropped reply) arrive and be discarded before the next send:
    // the controller has written all it had, the kernel has handed it over
    // (the spell), and the port has been read empty.
    void Settle() {
        ASSERT_TRUE(WaitFor([this] { return Sim->QueuedOutputBytes() == 0; }));
        PumpFor(50);
        ASSERT_TRUE(WaitFor([this] { return Port.InQueCount() == 0; }));
    }

    void SetUp() override {
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;  // the model stands still: values are exact
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        consoleline::Configure(Port);
        Port.SetDeviceName(Sim->Path());
        Link = std::make_unique<TControllerLink>(Port, &Listener);
        // The probe waits for the controller's answer rather than its 10 ms:
        // the simulator's thread may take longer on a loaded machine.
        Link->SetProbePause([this](int) {
            testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 1; });
        });
        consoleline::Bind(Port, *Link);
        Port.Open();
        numtext::SetDecimalSeparator(u'.');
    }
    void TearDown() override {
        consoleline::Unbind(Port);
        Port.Close();
        Link.reset();
        Sim.reset();
    }

    std::unique_ptr<sim::TPtySimulator> Sim;
    TComm Port;
    TRecordingListener Listener;
    std::unique_ptr<TControllerLink> Link;
};

TEST_F(LinkWithSimulator, TheConnectSequenceDecodesEveryValue) {
    sim::TControllerState state = Sim->State();
    state.Mode = sim::smVelocity;
    state.Position = -123456;
    state.Params = {0xFFF6, 384, 272, 25700, 0x7FFF, 65535};
    Sim->SetState(state);

    ASSERT_TRUE(Link->ProbeController());
    Link->SendIdentify();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    Link->SendGetMode();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    Link->SendGetPosition();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    for (uint8_t i = 0; i < 6; ++i) {
        Link->SendReadParam(i);
        EXPECT_EQ(Link->WaitReply(), lsDone);
    }

    const std::string ident = std::string(sim::IdentText) + "+";
    EXPECT_EQ(Inside(*Link).FIdentText, ident);
    EXPECT_EQ(Listener.Identified, std::vector<QString>{"Контроллер: " + QString::fromStdString(ident)});
    EXPECT_EQ(Listener.Modes, std::vector<int>{sim::smVelocity});
    EXPECT_EQ(Link->Position(), -123456);
    EXPECT_EQ(Listener.Positions, std::vector<int32_t>{-123456});
    EXPECT_EQ(Link->Params(), state.Params);
    ASSERT_EQ(Listener.Params.size(), 6u);
    const std::array<QString, 6> shown = {"-10", "1.5", "1.063", "100.4", "32767", "65535"};
    EXPECT_EQ(paramwords::Texts(Link->Params()), shown);
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(Sim->ProbeCount(), 1u);
    EXPECT_EQ(Sim->FrameCount(), 9u);
}

// Each transaction checks what comes back against what was sent before.
TEST_F(LinkWithSimulator, TenThousandConsecutiveTransactionsLoseAndMisdecodeNothing) {
    ASSERT_TRUE(Link->ProbeController());
    std::array<uint16_t, 6> written = Sim->State().Params;
    int32_t target = 0;
    uint8_t mode = 0;
    int done = 0, samples = 0;
    constexpr int Count = 10000;
    for (int i = 0; i < Count; ++i) {
        const uint8_t index = uint8_t(i / 7 % 6);
        switch (i % 7) {
            case 0:
                written[index] = uint16_t(i * 7919);
                ASSERT_TRUE(Link->SendWriteParam(index, written[index]));
                break;
            case 1: ASSERT_TRUE(Link->SendReadParam(index)); break;
            case 2:
                target = (i * 104729) % 0x1000000 - 0x800000;
                ASSERT_TRUE(Link->SendSetTarget(target));
                break;
            case 3: ASSERT_TRUE(Link->SendGetTarget()); break;
            case 4:
                mode = uint8_t(i % 4);
                ASSERT_TRUE(Link->SendSetMode(mode));
                break;
            case 5: ASSERT_TRUE(Link->SendGetMode()); break;
            default:
                ASSERT_TRUE(Link->SendGetSample());
                ++samples;
                break;
        }
        ASSERT_EQ(Link->WaitReply(), lsDone) << "transaction " << i;
        ++done;
        switch (i % 7) {
            case 1: ASSERT_EQ(Inside(*Link).FParams[index], written[index]) << i; break;
            case 3: ASSERT_EQ(Inside(*Link).FTargetPosition, target) << i; break;
            case 5: ASSERT_EQ(Listener.Modes.back(), mode) << i; break;
            default: break;
        }
    }
    EXPECT_EQ(done, Count);
    EXPECT_EQ(Sim->FrameCount(), size_t(Count));
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(Listener.Overflows, 0);
    EXPECT_EQ(Listener.Samples, samples);
}

// Each wait ends with its reply, on every event dispatcher: with the reply
// timer out of reach, a wait that slept past its decoded reply would only be
// ended by the watchdog.
TEST_F(LinkWithSimulator, EveryWaitEndsWithItsReplyNotWithTheNextTimer) {
    ASSERT_TRUE(Link->ProbeController());
    Link->tmrTimeout.setInterval(3600 * 1000);
    bool stalled = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&stalled] { stalled = true; });
    watchdog.start(2 * testsupport::WaitLimitMs);
    for (int i = 0; i < 200 && !stalled; ++i) {
        ASSERT_TRUE(Link->SendGetPosition());
        ASSERT_EQ(Link->WaitReply(), lsDone) << "transaction " << i;
    }
    EXPECT_FALSE(stalled) << "a wait slept until the watchdog fired";
    EXPECT_EQ(Listener.Positions.size(), 200u);
}

TEST_F(LinkWithSimulator, FaultsOfTheControllerEndTransactionsAsTheyShould) {
    ASSERT_TRUE(Link->ProbeController());
    sim::TFaults faults;
    faults.ChunkBytes = 1;
    faults.ChunkGapMs = 2;
    faults.GarbageAfter = {'+', 0x00, '-'};
    Sim->SetFaults(faults);
    Sim->SetPosition(-77);
    Link->SendGetPosition();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, -77);
    ASSERT_NO_FATAL_FAILURE(Settle());
    Link->SendIdentify();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Inside(*Link).FIdentText, std::string(sim::IdentText) + "+");
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.WrongStatus = '?';
    Sim->SetFaults(faults);
    Link->SendGetMode();
    EXPECT_EQ(Link->WaitReply(), lsUnparsed);
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.RefuseCodes = "W";
    Sim->SetFaults(faults);
    Link->SendWriteParam(0, 1);
    EXPECT_EQ(Link->WaitReply(), lsRefused);
    ASSERT_NO_FATAL_FAILURE(Settle());

    faults = {};
    faults.DropNext = 1;
    Sim->SetFaults(faults);
    Link->SendGetTarget();
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    EXPECT_EQ(Listener.StatusTexts.back(), QStringLiteral("Timeout"));
    Link->SendGetTarget();  // the next one goes through
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Listener.ReadErrors, 0);
}

TEST_F(LinkWithSimulator, AFloodIsConsumedAndTheNextTransactionWorks) {
    ASSERT_TRUE(Link->ProbeController());
    Sim->Flood(600);
    // Not handling events until the whole flood is in the port: it waits as one event.
    ASSERT_TRUE(testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 600; }));
    ASSERT_TRUE(WaitFor([&] { return Listener.Overflows > 0 && Port.InQueCount() == 0; }));
    Link->SendGetMode();
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Listener.ReadErrors, 0);
}

}  // namespace
