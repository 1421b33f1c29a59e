// A part of the fault matrix through ser2net: the server killed in the middle
// of a reply; the controller's line gone behind the server. (Replies dropped,
// late, split or garbled on the controller's side end the same way on every
// route: the link's routes suite runs them through the server.) Each action ends in bounded time,
// the window shows only what was answered, the user is told once what went
// wrong, naming the address, and the next command (or connection) works.
#include <QTimer>

#include "tests/net/NetWindow.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowParts.h"

using namespace nettest;

namespace {

class NetFaults : public TNetMatrix {
protected:
    // One report of the lost connection, then a disconnected window.
    void ExpectOneLostReport() {
        ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }, ActionLimitMs)) << "no report";
        PumpFor(300);  // a second box would come in this spell
        ASSERT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
        EXPECT_EQ(Boxes->Boxes()[0].text, LostText());
        EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
        EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
        EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    }
    // A new controller behind a new server connects, and a command works.
    void ExpectReconnectWorks() {
        ASSERT_NO_FATAL_FAILURE(RestartBoth());
        Sim->SetPosition(31337);
        ASSERT_NO_FATAL_FAILURE(ConnectThrough());
        EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "31337");
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
    ASSERT_TRUE(EndsInTime([this] { Click(Ctl<QPushButton>(*Form, "btnGetPosition")); }));
    ASSERT_TRUE(WaitFor([&] { return kill.Done(); }));
    ASSERT_NO_FATAL_FAILURE(ExpectOneLostReport());
    EXPECT_NE(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "") << "the position read at connect stays";
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
