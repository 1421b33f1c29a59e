// A controller that answers after the reply timer: the tail of its late reply
// must never be taken for the reply to the next command, and a lost line ends
// the link's waits at once.
#include <atomic>
#include <thread>

#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

using namespace std::chrono_literals;

class LinkLateReply : public LinkOnPty {
protected:
    void SetUp() override {
        LinkOnPty::SetUp();
        BindReceiveHandler();
        // Long enough that a loaded machine cannot make the late bytes look
        // like a quiet line; the default is much shorter.
        Link->SetQuietMs(600);
    }
    void TearDown() override {
        if (Streamer.joinable()) Streamer.join();
        LinkOnPty::TearDown();
    }
    // The late reply trickles in a byte every 20 ms from another thread,
    // while the next command is being sent. The pauses are the device's pace,
    // not a wait: a slow machine only stretches them, and the line must stay
    // quiet 600 ms before the send goes out.
    void StreamLate(Bytes late) {
        Streamer = std::thread([this, late] {
            for (uint8_t byte : late) {
                Device.Send({byte});
                std::this_thread::sleep_for(20ms);
            }
            Streamed = true;
        });
    }

    std::thread Streamer;
    std::atomic<bool> Streamed{false};
};

TEST_F(LinkLateReply, TheNextCommandWaitsForTheLineToBeQuiet) {
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    ASSERT_EQ(Link->WaitReply(), lsTimedOut);
    // The first position reply comes now, too late: 0x11 0x00 0x00 "+".
    StreamLate({0x11, 0x00, 0x00, '+'});
    ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() > 0 || Streamed; }, 5000));
    ASSERT_TRUE(Link->SendGetPosition());
    EXPECT_TRUE(Streamed) << "the command went out while the late reply was still arriving";
    EXPECT_EQ(Device.Receive(2), (Bytes{'p', 0x00}));
    Device.Send({0x22, 0x00, 0x00, '+'});
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, 0x22);
    ASSERT_FALSE(Listener.Positions.empty());
    EXPECT_EQ(Listener.Positions.back(), 0x22);
}

TEST_F(LinkLateReply, AQuietLineCostsNoWaitAfterAnAcceptedReply) {
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    Device.Send({0x01, 0x00, 0x00, '+'});
    ASSERT_EQ(Link->WaitReply(), lsDone);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Link->SendGetPosition());
    EXPECT_LT(clock.elapsed(), 500) << "an ordinary send waited for the line";
    Device.Receive(2);
}

TEST_F(LinkLateReply, ADroppedLineEndsTheWaitAndRefusesSends) {
    // Started before the send: a wait that ran into the reply timer measures
    // its whole second here, however the machine schedules this thread.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this] { Link->DropLine(); }, Qt::QueuedConnection);
    EXPECT_THROW(Link->WaitReply(), ELinkLost);
    EXPECT_LT(clock.elapsed(), TControllerLink::ReplyTimeoutMs - 50) << "the wait ran into the reply timer";
    EXPECT_FALSE(Link->SendGetMode());
    EXPECT_TRUE(Device.Drain(50).empty());
    EXPECT_EQ(Listener.TimedOut, 0);  // ended, not timed out: no "Timeout" notice
    // A new probe (a new connection) takes the line again.
    Link->SetProbePause([this](int) {
        if (Device.Receive(1).empty()) return;
        Device.Send(Bytes{'X'});
        EXPECT_TRUE(testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 1; }));
    });
    EXPECT_TRUE(Link->ProbeController());
    EXPECT_FALSE(Link->LineLost());
}

}  // namespace
