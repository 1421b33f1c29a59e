// The reply timer and the wait for the end of a transaction.
#include <algorithm>

#include <QAbstractEventDispatcher>
#include <QMetaObject>

#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

using LinkTimer = LinkOnPty;

TEST_F(LinkTimer, ASecondCommandTimesOutASecondAfterTheFirstSend) {
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    ASSERT_TRUE(Link->SendGetMode());
    Device.Receive(2);
    Deliver({0x01, '+'});
    ASSERT_EQ(Inside(*Link).FLinkState, lsDone);
    ASSERT_TRUE(Link->tmrTimeout.isActive());  // an ordinary reply leaves it running

    // Most of the period passes without the event loop, so however slow the
    // machine the timer cannot end before the second send.
    ASSERT_TRUE(testsupport::WaitWithoutEvents([&] { return sinceFirst.elapsed() >= 900; }));
    ASSERT_TRUE(Link->tmrTimeout.isActive());
    ASSERT_TRUE(Link->SendGetPosition());  // never answered
    // What is left is what the first period has left, not a new second.
    EXPECT_LT(Link->tmrTimeout.remainingTime(), TControllerLink::ReplyTimeoutMs / 2)
        << "the second send restarted the timer";
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    EXPECT_GE(sinceFirst.elapsed(), 990);
    EXPECT_FALSE(Link->tmrTimeout.isActive());
    EXPECT_EQ(Listener.TimedOut, 1);
}

TEST_F(LinkTimer, ATimerEndingWithNoTransactionOnlyDisablesItself) {
    ASSERT_TRUE(Link->SendGetMode());
    Deliver({0x03, '+'});
    ASSERT_TRUE(WaitFor([&] { return !Link->tmrTimeout.isActive(); }, 5000));
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(std::count(Listener.StatusTexts.begin(), Listener.StatusTexts.end(), QStringLiteral("Timeout")), 0);
}

TEST_F(LinkTimer, TimeoutShowsInPanelZeroUntilTheNextSend) {
    // Started before the send, so a slow machine only lengthens what it measures.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Link->SendGetTarget());
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(Listener.StatusTexts, (std::vector<QString>{QString(), QStringLiteral("Timeout")}));
    EXPECT_EQ(Listener.TimedOut, 1);

    // A late reply after the time-out is read and discarded.
    Deliver({0x01, 0x00, 0x00, '+'});
    EXPECT_EQ(Inside(*Link).FLinkState, lsTimedOut);
    EXPECT_TRUE(Listener.Targets.empty());

    ASSERT_TRUE(Link->SendGetTarget());
    EXPECT_EQ(Listener.StatusTexts.back(), QString());
}

TEST_F(LinkTimer, WaitWithNoTransactionMakesOnePassAndReturnsTheState) {
    for (TLinkState state : {lsDone, lsRefused, lsUnparsed, lsTimedOut}) {
        Inside(*Link).FLinkState = state;
        bool ran = false;
        QMetaObject::invokeMethod(Link.get(), [&] { ran = true; }, Qt::QueuedConnection);
        EXPECT_EQ(Link->WaitReply(), state);
        EXPECT_TRUE(ran);
    }
}

// Counted in passes of the event loop, not in CPU time: a wait that sleeps
// until something happens makes a handful, one that spins thousands, however
// loaded the machine.
TEST_F(LinkTimer, AnIdleWaitSleepsInsteadOfSpinning) {
    ASSERT_TRUE(Link->SendGetPosition());  // never answered: the wait lasts the whole second
    int passes = 0;
    const QMetaObject::Connection counting = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&passes] { ++passes; });
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    QObject::disconnect(counting);
    EXPECT_GT(passes, 0);
    EXPECT_LT(passes, 50) << "the wait spins";
}

TEST_F(LinkTimer, AWaitEndsEvenWhenTheAreaWasMadePendingByHand) {
    Link->ClearTransactionArea();  // pending, and no send started the timer
    ASSERT_FALSE(Link->tmrTimeout.isActive());
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
}

TEST_F(LinkTimer, ASendFromTheTimeoutNoticeKeepsItsTimer) {
    struct Resender : TRecordingListener {
        TControllerLink* link = nullptr;
        void LinkTimedOut() override {
            TRecordingListener::LinkTimedOut();
            link->SendGetMode();
        }
    } resender;
    resender.link = Link.get();
    Link->SetListener(&resender);
    ASSERT_TRUE(Link->SendGetPosition());
    Link->tmrTimeoutTimer();  // the period ends
    EXPECT_EQ(resender.TimedOut, 1);
    EXPECT_EQ(Inside(*Link).FLinkState, lsPending);  // the command sent from the notice
    EXPECT_EQ(Inside(*Link).FCmdFrame[0], 'm');
    EXPECT_TRUE(Link->tmrTimeout.isActive());
    EXPECT_EQ(resender.StatusTexts.back(), QString());  // its send cleared "Timeout"
    Link->tmrTimeout.stop();
    Link->SetListener(&Listener);
}

}  // namespace
