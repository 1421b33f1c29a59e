// A part of the fault matrix through ser2net: replies dropped, late or split
// on the controller's side; the server killed in the middle of a reply; the
// controller's line gone behind the server. Each action ends in bounded time,
// the window shows only what was answered, the user is told once what went
// wrong, naming the address, and the next command (or connection) works.
#include <QTimer>

#include "NetWindow.h"

using namespace nettest;

namespace {

constexpr int32_t OldPosition = 0x010203;
constexpr int32_t NewPosition = 0x040506;

struct TReplyFault {
    const char* name;
    std::function<void(sim::TFaults&)> apply;
    bool shown;  // false: timed out
};

const TReplyFault ReplyFaults[] = {
    {"Dropped", [](sim::TFaults& f) { f.DropNext = 1; }, false},
    {"Delayed700ms", [](sim::TFaults& f) { f.DelayMs = 700; }, true},
    {"Delayed1300ms", [](sim::TFaults& f) { f.DelayMs = 1300; }, false},
    {"SplitByteByByte", [](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 15; }, true},
};

class NetFaults : public TNetMatrix {
protected:
    // One report of the lost connection, then a disconnected window.
    void ExpectOneLostReport() {
        ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }, ActionLimitMs)) << "no report";
        PumpFor(300);  // a second box would come in this spell
        ASSERT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
        EXPECT_EQ(Boxes->Boxes()[0].text, LostText());
        EXPECT_FALSE(Form->UART->Enabled());
        EXPECT_TRUE(OwnEnabled(Form->btnConnect));
        EXPECT_FALSE(OwnEnabled(Form->btnDisconnect));
    }
    // A new controller behind a new server connects, and a command works.
    void ExpectReconnectWorks() {
        ASSERT_NO_FATAL_FAILURE(RestartBoth());
        Sim->SetPosition(31337);
        ASSERT_NO_FATAL_FAILURE(ConnectThrough());
        EXPECT_EQ(Form->edtPosition->text(), "31337");
        ExpectNextCommandAccepted();
    }
};

// Calls `act` once the controller has received `frames` command frames,
// checking every millisecond from the event loop.
class TWhenFrames {
public:
    TWhenFrames(sim::TPtySimulator& sim, size_t frames, std::function<void()> act) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, &sim, frames, act] {
            if (sim.FrameCount() < frames) return;
            FTimer.stop();
            act();
        });
        FTimer.start(1);
    }
    bool Done() const { return !FTimer.isActive(); }

private:
    QTimer FTimer;
};

}  // namespace

TEST_P(NetFaults, RepliesDroppedLateOrSplitEndAsOnALocalLine) {
    for (const TReplyFault& fault : ReplyFaults) {
        SCOPED_TRACE(fault.name);
        Sim->SetFaults({});
        Sim->SetPosition(OldPosition);
        if (!Connected()) {
            ASSERT_NO_FATAL_FAILURE(ConnectThrough());
        }
        Click(Form->btnGetPosition);
        ASSERT_TRUE(LinkIdle());
        ASSERT_EQ(Form->edtPosition->text(), QString::number(OldPosition));

        Sim->SetPosition(NewPosition);
        SetFaults([&](sim::TFaults& f) {
            f.ReplyCodes = "p";
            fault.apply(f);
        });
        ASSERT_TRUE(EndsInTime([this] { Click(Form->btnGetPosition); }));
        ASSERT_TRUE(LineQuiet());  // a late reply arrives and is dropped
        EXPECT_EQ(Form->edtPosition->text(), QString::number(fault.shown ? NewPosition : OldPosition));
        EXPECT_EQ(Form->Link->State(), fault.shown ? lsDone : lsTimedOut);
        EXPECT_EQ(Panel0(), fault.shown ? "" : "Timeout");
        EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();
        ExpectNextCommandAccepted();
    }
}

TEST_P(NetFaults, TheServerKilledInTheMiddleOfAReply) {
    ASSERT_NO_FATAL_FAILURE(ConnectThrough());
    // The reply comes in pieces: the server dies after the command went out
    // and before the whole reply is back.
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "p";
        f.ChunkBytes = 1;
        f.ChunkGapMs = 100;
    });
    TWhenFrames kill(*Sim, 1, [this] { Server.Kill(); });
    ASSERT_TRUE(EndsInTime([this] { Click(Form->btnGetPosition); }));
    ASSERT_TRUE(WaitFor([&] { return kill.Done(); }));
    ASSERT_NO_FATAL_FAILURE(ExpectOneLostReport());
    EXPECT_NE(Form->edtPosition->text(), "") << "the position read at connect stays";
    ExpectReconnectWorks();
}

TEST_P(NetFaults, TheControllersLineGoneBehindTheServer) {
    ASSERT_NO_FATAL_FAILURE(ConnectThrough());
    ASSERT_TRUE(LinkIdle());
    Sim->HangUp();
    ASSERT_NO_FATAL_FAILURE(ExpectOneLostReport());
    ExpectReconnectWorks();
}

INSTANTIATE_TEST_SUITE_P(Ser2Net, NetFaults, Modes, ModeName);
