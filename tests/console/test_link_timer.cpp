// The reply timer and the wait for the end of a transaction.
#include <sys/resource.h>

#include <algorithm>

#include <QMetaObject>

#include "LinkFixture.h"

namespace {

using LinkTimer = LinkOnPty;

double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

TEST_F(LinkTimer, ASecondCommandTimesOutASecondAfterTheFirstSend) {
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    ASSERT_TRUE(Link->SendGetMode());
    Device.Receive(2);
    Deliver({0x01, '+'});
    ASSERT_EQ(Link->FLinkState, lsDone);
    ASSERT_TRUE(Link->tmrTimeout.isActive());  // an ordinary reply leaves it running

    WaitFor([&] { return sinceFirst.elapsed() >= 900; }, 5000);
    ASSERT_TRUE(Link->tmrTimeout.isActive()) << "machine too slow: the first period ended before the second send";
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    ASSERT_TRUE(Link->SendGetPosition());  // never answered
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    const qint64 second = sinceSecond.elapsed();
    EXPECT_GE(sinceFirst.elapsed(), 990);
    EXPECT_LT(second, 700) << "the second send restarted the timer";
    EXPECT_FALSE(Link->tmrTimeout.isActive());
    EXPECT_EQ(Listener.TimedOut, 1);
}

TEST_F(LinkTimer, ATimerEndingWithNoTransactionOnlyDisablesItself) {
    ASSERT_TRUE(Link->SendGetMode());
    Deliver({0x03, '+'});
    ASSERT_TRUE(WaitFor([&] { return !Link->tmrTimeout.isActive(); }, 5000));
    EXPECT_EQ(Link->FLinkState, lsDone);
    EXPECT_EQ(Listener.TimedOut, 0);
    EXPECT_EQ(std::count(Listener.StatusTexts.begin(), Listener.StatusTexts.end(), QStringLiteral("Timeout")), 0);
}

TEST_F(LinkTimer, TimeoutShowsInPanelZeroUntilTheNextSend) {
    ASSERT_TRUE(Link->SendGetTarget());
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(Listener.StatusTexts, (std::vector<QString>{QString(), QStringLiteral("Timeout")}));
    EXPECT_EQ(Listener.TimedOut, 1);

    // A late reply after the time-out is read and discarded.
    Deliver({0x01, 0x00, 0x00, '+'});
    EXPECT_EQ(Link->FLinkState, lsTimedOut);
    EXPECT_TRUE(Listener.Targets.empty());

    ASSERT_TRUE(Link->SendGetTarget());
    EXPECT_EQ(Listener.StatusTexts.back(), QString());
}

TEST_F(LinkTimer, WaitWithNoTransactionMakesOnePassAndReturnsTheState) {
    for (TLinkState state : {lsDone, lsRefused, lsUnparsed, lsTimedOut}) {
        Link->FLinkState = state;
        bool ran = false;
        QMetaObject::invokeMethod(Link.get(), [&] { ran = true; }, Qt::QueuedConnection);
        EXPECT_EQ(Link->WaitReply(), state);
        EXPECT_TRUE(ran);
    }
}

TEST_F(LinkTimer, AnIdleWaitCostsNoCpu) {
    ASSERT_TRUE(Link->SendGetPosition());  // never answered: the wait lasts the whole second
    const double before = ThreadCpuMs();
    EXPECT_EQ(Link->WaitReply(), lsTimedOut);
    EXPECT_LT(ThreadCpuMs() - before, 250.0) << "the wait spins";
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
    EXPECT_EQ(Link->FLinkState, lsPending);  // the command sent from the notice
    EXPECT_EQ(Link->FCmdFrame[0], 'm');
    EXPECT_TRUE(Link->tmrTimeout.isActive());
    EXPECT_EQ(resender.StatusTexts.back(), QString());  // its send cleared "Timeout"
    Link->tmrTimeout.stop();
    Link->SetListener(&Listener);
}

}  // namespace
