// A send whose write raises: the error reaches the caller and no transaction
// is left pending.
#include <cstring>

#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

using LinkWriteError = LinkOnPty;

TEST_F(LinkWriteError, AFailedWriteRaisesAndChangesNothing) {
    Link->SendGetMode();
    Device.Receive(2);
    Deliver({0x01, '-'});
    ASSERT_EQ(Inside(*Link).FLinkState, lsRefused);
    Link->tmrTimeout.stop();
    Inside(*Link).FIdentText = "before";
    uint8_t frame[TControllerLink::CmdFrameSize], reply[TControllerLink::ReplySize];
    std::memcpy(frame, Inside(*Link).FCmdFrame, sizeof frame);
    std::memcpy(reply, Inside(*Link).FReply, sizeof reply);
    Listener.StatusTexts.clear();

    Device.CloseMaster();  // the line is gone: writing fails
    EXPECT_THROW(Link->SendIdentify(), ECommError);
    EXPECT_EQ(Inside(*Link).FLinkState, lsRefused);
    EXPECT_EQ(std::memcmp(frame, Inside(*Link).FCmdFrame, sizeof frame), 0);
    EXPECT_EQ(std::memcmp(reply, Inside(*Link).FReply, sizeof reply), 0);
    EXPECT_EQ(Inside(*Link).FReplyExpected, 1);
    EXPECT_EQ(Inside(*Link).FReplyCount, 2);
    EXPECT_EQ(Inside(*Link).FIdentText, "before");
    EXPECT_FALSE(Link->tmrTimeout.isActive());
    EXPECT_TRUE(Listener.StatusTexts.empty());

    // Nothing is pending: the wait returns at once and the next send is tried, not refused.
    EXPECT_EQ(Link->WaitReply(), lsRefused);
    EXPECT_THROW(Link->SendGetPosition(), ECommError);
    EXPECT_EQ(Inside(*Link).FLinkState, lsRefused);
}

}  // namespace
