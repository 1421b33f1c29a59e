// What each send operation puts on the wire, and the one-transaction rule.
#include <cstring>
#include <functional>
#include <string>

#include "link/Protocol.h"
#include "sim/CommandTable.h"
#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

struct FrameCase {
    const char* name;
    std::function<bool(TControllerLink&)> send;
    Bytes wire;
    uint8_t expected;
};

const FrameCase kFrames[] = {
    {"Identify", [](TControllerLink& l) { return l.SendIdentify(); }, {0x49, 0x00}, 255},
    {"SetMode 3", [](TControllerLink& l) { return l.SendSetMode(3); }, {0x4D, 0x01, 0x03}, 0},
    {"GetMode", [](TControllerLink& l) { return l.SendGetMode(); }, {0x6D, 0x00}, 1},
    {"GetTarget", [](TControllerLink& l) { return l.SendGetTarget(); }, {0x7A, 0x00}, 3},
    {"GetPosition", [](TControllerLink& l) { return l.SendGetPosition(); }, {0x70, 0x00}, 3},
    {"SetTarget -1", [](TControllerLink& l) { return l.SendSetTarget(-1); }, {0x50, 0x03, 0xFF, 0xFF, 0xFF}, 0},
    {"SetTarget 2^24+5", [](TControllerLink& l) { return l.SendSetTarget((1 << 24) + 5); },
     {0x50, 0x03, 0x05, 0x00, 0x00}, 0},
    {"SetTarget 0x123456", [](TControllerLink& l) { return l.SendSetTarget(0x123456); },
     {0x50, 0x03, 0x56, 0x34, 0x12}, 0},
    {"SetTarget -8388608", [](TControllerLink& l) { return l.SendSetTarget(-8388608); },
     {0x50, 0x03, 0x00, 0x00, 0x80}, 0},
    {"GetSample", [](TControllerLink& l) { return l.SendGetSample(); }, {0x56, 0x00}, 6},
    {"SaveBank 4", [](TControllerLink& l) { return l.SendSaveBank(4); }, {0x53, 0x01, 0x04}, 0},
    {"LoadBank 2", [](TControllerLink& l) { return l.SendLoadBank(2); }, {0x4C, 0x01, 0x02}, 0},
    {"ReadParam 5", [](TControllerLink& l) { return l.SendReadParam(5); }, {0x52, 0x01, 0x05}, 2},
    {"WriteParam 2 0x0180", [](TControllerLink& l) { return l.SendWriteParam(2, 0x0180); },
     {0x57, 0x03, 0x02, 0x80, 0x01}, 0},
    {"WriteParam 0 0xFFFF", [](TControllerLink& l) { return l.SendWriteParam(0, 0xFFFF); },
     {0x57, 0x03, 0x00, 0xFF, 0xFF}, 0},
    {"SubCommand -256", [](TControllerLink& l) { return l.SendSubCommand(-256); }, {0x42, 0x02, 0x00, 0xFF}, 0},
    {"SubCommand 255", [](TControllerLink& l) { return l.SendSubCommand(255); }, {0x42, 0x02, 0xFF, 0x00}, 0},
};

using LinkFrames = LinkOnPty;

TEST_F(LinkFrames, EverySendPutsItsFrameOnTheWireAndOpensATransaction) {
    for (const FrameCase& c : kFrames) {
        SCOPED_TRACE(c.name);
        Link->ResetToIdle();
        Inside(*Link).FIdentText = "old";
        Inside(*Link).FReply[5] = 0x77;  // left over from an earlier reply
        Listener.StatusTexts.clear();
        ASSERT_TRUE(c.send(*Link));
        EXPECT_EQ(Wire(c.wire.size()), c.wire);
        EXPECT_EQ(Device.Drain(20), Bytes{});  // and nothing more
        EXPECT_EQ(Inside(*Link).FLinkState, lsPending);
        EXPECT_EQ(Inside(*Link).FReplyExpected, c.expected);
        EXPECT_EQ(Inside(*Link).FReplyCount, 0);
        EXPECT_EQ(Inside(*Link).FReply[5], 0);
        EXPECT_EQ(std::memcmp(Inside(*Link).FCmdFrame, c.wire.data(), c.wire.size()), 0);
        for (size_t i = c.wire.size(); i < TControllerLink::CmdFrameSize; ++i) EXPECT_EQ(Inside(*Link).FCmdFrame[i], 0);
        EXPECT_EQ(Inside(*Link).FIdentText, c.wire[0] == 'I' ? "" : "old");
        EXPECT_TRUE(Link->tmrTimeout.isActive());
        EXPECT_EQ(Listener.StatusTexts, std::vector<QString>{QString()});
        Link->tmrTimeout.stop();
    }
}

TEST_F(LinkFrames, ASendWhilePendingWritesNothingAndChangesNothing) {
    ASSERT_TRUE(Link->SendGetPosition());
    ASSERT_EQ(Wire(2), (Bytes{0x70, 0x00}));
    Deliver({0x11, 0x22});  // part of the reply is in
    Inside(*Link).FIdentText = "kept";
    uint8_t frame[TControllerLink::CmdFrameSize], reply[TControllerLink::ReplySize];
    std::memcpy(frame, Inside(*Link).FCmdFrame, sizeof frame);
    std::memcpy(reply, Inside(*Link).FReply, sizeof reply);
    const int remaining = Link->tmrTimeout.remainingTime();
    Listener.StatusTexts.clear();

    for (const FrameCase& c : kFrames) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.send(*Link));
    }
    EXPECT_EQ(Device.Drain(), Bytes{});
    EXPECT_EQ(std::memcmp(frame, Inside(*Link).FCmdFrame, sizeof frame), 0);
    EXPECT_EQ(std::memcmp(reply, Inside(*Link).FReply, sizeof reply), 0);
    EXPECT_EQ(Inside(*Link).FReplyCount, 2);
    EXPECT_EQ(Inside(*Link).FReplyExpected, 3);
    EXPECT_EQ(Inside(*Link).FLinkState, lsPending);
    EXPECT_EQ(Inside(*Link).FIdentText, "kept");
    EXPECT_TRUE(Listener.StatusTexts.empty());
    // The timer kept its period: nothing restarted it.
    EXPECT_TRUE(Link->tmrTimeout.isActive());
    EXPECT_LE(Link->tmrTimeout.remainingTime(), remaining);

    Deliver({0x00, '+'});  // the reply goes on where it was
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, 0x2211);
}

TEST_F(LinkFrames, EveryStateButPendingAllowsASend) {
    for (TLinkState state : {lsDone, lsRefused, lsUnparsed, lsTimedOut}) {
        SCOPED_TRACE(int(state));
        Inside(*Link).FLinkState = state;
        ASSERT_TRUE(Link->SendGetMode());
        EXPECT_EQ(Wire(2), (Bytes{0x6D, 0x00}));
    }
}

TEST_F(LinkFrames, ASendDiscardsBytesLeftOverFromEarlierTraffic) {
    Device.Send({'+', 0x01, 0x02});
    ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() == 3; }));
    ASSERT_TRUE(Link->SendGetMode());
    EXPECT_EQ(Port.InQueCount(), 0);
    Deliver({0x03, '+'});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Listener.Modes, std::vector<int>{3});
}

}  // namespace

// The simulated controller keeps a command table of its own, so that it
// never simply agrees with the link; the two must describe the same protocol.
TEST(Protocol, TheSimulatorsCommandTableAgreesWithTheLinks) {
    for (int code = 0; code < 256; ++code) {
        const auto mine = protocol::Command(uint8_t(code));
        const auto theirs = sim::CommandShape(uint8_t(code));
        ASSERT_EQ(mine.has_value(), theirs.has_value()) << code;
        if (!mine) continue;
        EXPECT_EQ(theirs->Payload, mine->payload) << char(code);
        EXPECT_EQ(theirs->ReplyData, mine->replyData == protocol::OpenEnded ? 0 : mine->replyData) << char(code);
    }
}
