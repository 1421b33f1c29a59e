// Reply assembly and decoding, one receive event at a time.
#include <algorithm>
#include <functional>
#include <string>

#include "link/NumberText.h"
#include "link/ParamWords.h"
#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

using Send = std::function<bool(TControllerLink&)>;

const Send kGetPosition = [](TControllerLink& l) { return l.SendGetPosition(); };
const Send kGetTarget = [](TControllerLink& l) { return l.SendGetTarget(); };
const Send kGetMode = [](TControllerLink& l) { return l.SendGetMode(); };
const Send kGetSample = [](TControllerLink& l) { return l.SendGetSample(); };
const Send kIdentify = [](TControllerLink& l) { return l.SendIdentify(); };

Send ReadParam(uint8_t index) {
    return [index](TControllerLink& l) { return l.SendReadParam(index); };
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class LinkReplies : public LinkOnPty {
protected:
    void SetUp() override {
        LinkOnPty::SetUp();
        numtext::SetDecimalSeparator(u'.');
    }
    // Sends, takes the frame off the wire, and delivers each event in turn.
    void Transact(const Send& send, const std::vector<Bytes>& events) {
        ASSERT_TRUE(send(*Link));
        Device.Receive(2 + Inside(*Link).FCmdFrame[1]);
        for (const Bytes& e : events) Deliver(e);
    }
};

// -------------------------------------------------------------- fixed replies

struct PositionCase {
    Bytes reply;
    int32_t value;
};

TEST_F(LinkReplies, PositionsAreSignExtendedFrom24Bits) {
    const PositionCase cases[] = {
        {{0x00, 0x00, 0x80, '+'}, -8388608},
        {{0xFF, 0xFF, 0x7F, '+'}, 8388607},
        {{0xFF, 0xFF, 0xFF, '+'}, -1},
        {{0x56, 0x34, 0x12, '+'}, 0x123456},
        {{'+', '-', 0x00, '+'}, 43 + 256 * 45},  // status bytes inside the data mean nothing
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.value);
        Listener = {};
        Transact(kGetPosition, {c.reply});
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        EXPECT_EQ(Inside(*Link).FPosition, c.value);
        EXPECT_EQ(Listener.Positions, std::vector<int32_t>{c.value});
        Transact(kGetTarget, {c.reply});
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        EXPECT_EQ(Inside(*Link).FTargetPosition, c.value);
        EXPECT_EQ(Listener.Targets, std::vector<int32_t>{c.value});
    }
}

TEST_F(LinkReplies, AReplySplitOverThreeEventsIsDecodedWithTheThird) {
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    Deliver({0x10});
    Deliver({0x00});
    EXPECT_EQ(Inside(*Link).FLinkState, lsPending);
    EXPECT_EQ(Inside(*Link).FReplyCount, 2);
    EXPECT_TRUE(Listener.Positions.empty());
    Deliver({0x00, '+'});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, 16);
    EXPECT_EQ(Listener.Positions, std::vector<int32_t>{16});
}

TEST_F(LinkReplies, BytesAfterTheReplyInTheSameEventAreReadAndDiscarded) {
    Transact(kGetPosition, {{0x05, 0x00, 0x00, '+', 0x09, '-', 0x09}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, 5);
    EXPECT_EQ(Listener.Positions.size(), 1u);
    EXPECT_EQ(Port.InQueCount(), 0);
    EXPECT_EQ(Inside(*Link).FReply[4], 0);  // nothing stored past the reply
}

TEST_F(LinkReplies, TheModeIsReportedWithoutSendingAnything) {
    Transact(kGetMode, {{0x02, '+'}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Listener.Modes, std::vector<int>{2});
    EXPECT_EQ(Device.Drain(), Bytes{});
    Transact(kGetMode, {{0xC8, '+'}});  // out of range: passed on, the radio group limits it
    EXPECT_EQ(Listener.Modes, (std::vector<int>{2, 200}));
}

TEST_F(LinkReplies, TheVelocitySampleFillsTheFieldsAndStopsTheTimer) {
    Inside(*Link).FSampleTick = 0x1200;
    Transact(kGetSample, {{0x34, 0x12, 0xFE, 0xFF, 0x02, 0x00, '+'}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FSampleTick, 0x1234);
    EXPECT_EQ(Inside(*Link).FPrevSampleTick, 0x1200);
    EXPECT_EQ(Inside(*Link).FVelocity, -2);
    EXPECT_EQ(Inside(*Link).FMismatch, 2);
    EXPECT_EQ(Listener.Samples, 1);
    EXPECT_FALSE(Link->tmrTimeout.isActive());
    EXPECT_EQ(Listener.StatusTexts.back(), QString());

    Transact(kGetSample, {{0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F, '+'}});
    EXPECT_EQ(Inside(*Link).FPrevSampleTick, 0x1234);
    EXPECT_EQ(Inside(*Link).FSampleTick, 0xFFFF);
    EXPECT_EQ(Inside(*Link).FVelocity, -32768);
    EXPECT_EQ(Inside(*Link).FMismatch, 32767);
}

TEST_F(LinkReplies, AParameterReplyRewritesAllSixEdits) {
    Inside(*Link).FParams = {0xFFFF, 0, 272, 25700, 0x8000, 65535};
    Transact(ReadParam(1), {{0x80, 0x01, '+'}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FParams[1], 384);
    const std::array<QString, 6> expected = {"-1", "1.5", "1.063", "100.4", "-32768", "65535"};
    EXPECT_EQ(Listener.Params, (std::vector<std::pair<int, uint16_t>>{{1, 384}}));
    EXPECT_EQ(paramwords::Texts(Link->Params()), expected);
}

TEST_F(LinkReplies, AParameterWordGoesToTheIndexItWasAskedFor) {
    const struct {
        uint8_t index;
        Bytes reply;
        QString shown;
    } cases[] = {
        {0, {0xFF, 0xFF, '+'}, "-1"},   {1, {0x01, 0x00, '+'}, "0.003906"}, {2, {0x10, 0x01, '+'}, "1.063"},
        {3, {0xFF, 0xFF, '+'}, "256"},  {4, {0x00, 0x80, '+'}, "-32768"},   {5, {0xFF, 0xFF, '+'}, "65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.index));
        Inside(*Link).FParams = {};
        Listener = {};
        Transact(ReadParam(c.index), {c.reply});
        for (uint8_t i = 0; i < 6; ++i)
            EXPECT_EQ(Inside(*Link).FParams[i], i == c.index ? uint16_t(c.reply[0] | c.reply[1] << 8) : 0);
        const uint16_t word = uint16_t(c.reply[0] | c.reply[1] << 8);
        EXPECT_EQ(Listener.Params, (std::vector<std::pair<int, uint16_t>>{{c.index, word}}));
        EXPECT_EQ(paramwords::Text(c.index, word), c.shown);
    }
}

TEST_F(LinkReplies, AParameterReplyForAnIndexPastTheSixStoresNothing) {
    Inside(*Link).FParams = {1, 2, 3, 4, 5, 6};
    Inside(*Link).FMismatch = 77;  // the field after the parameters
    Transact(ReadParam(6), {{0xAA, 0xBB, '+'}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    Transact(ReadParam(255), {{0xAA, 0xBB, '+'}});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FParams, (std::array<uint16_t, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Inside(*Link).FMismatch, 77);
    EXPECT_TRUE(Listener.Params.empty());
}

// -------------------------------------------------------------- status characters

struct StatusCase {
    const char* name;
    Send send;
    Bytes data;  // the reply without its status
};

TEST_F(LinkReplies, RefusedAndUnparsedRepliesChangeNoField) {
    const StatusCase cases[] = {
        {"p", kGetPosition, {1, 2, 3}},
        {"z", kGetTarget, {1, 2, 3}},
        {"m", kGetMode, {1}},
        {"R", ReadParam(2), {1, 2}},
        {"V", kGetSample, {1, 2, 3, 4, 5, 6}},
    };
    const struct {
        uint8_t status;
        TLinkState state;
    } statuses[] = {{'-', lsRefused}, {0x00, lsUnparsed}, {'*', lsUnparsed}};
    for (const StatusCase& c : cases) {
        for (const auto& s : statuses) {
            SCOPED_TRACE(std::string(c.name) + " status " + std::to_string(s.status));
            Inside(*Link).FPosition = 11;
            Inside(*Link).FTargetPosition = 12;
            Inside(*Link).FParams = {1, 2, 3, 4, 5, 6};
            Inside(*Link).FSampleTick = 13;
            Inside(*Link).FPrevSampleTick = 14;
            Inside(*Link).FVelocity = 15;
            Inside(*Link).FMismatch = 16;
            Listener = {};
            Bytes reply = c.data;
            reply.push_back(s.status);
            Transact(c.send, {reply});
            EXPECT_EQ(Inside(*Link).FLinkState, s.state);
            EXPECT_EQ(Inside(*Link).FPosition, 11);
            EXPECT_EQ(Inside(*Link).FTargetPosition, 12);
            EXPECT_EQ(Inside(*Link).FParams, (std::array<uint16_t, 6>{1, 2, 3, 4, 5, 6}));
            EXPECT_EQ(Inside(*Link).FSampleTick, 13);
            EXPECT_EQ(Inside(*Link).FPrevSampleTick, 14);
            EXPECT_EQ(Inside(*Link).FVelocity, 15);
            EXPECT_EQ(Inside(*Link).FMismatch, 16);
            EXPECT_EQ(Listener.DecodedCount(), 0u);
            // Only an accepted sample stops the timer.
            EXPECT_TRUE(Link->tmrTimeout.isActive());
            Link->tmrTimeout.stop();
        }
    }
}

TEST_F(LinkReplies, StatusOnlyCommands) {
    const std::vector<Send> sends = {
        [](TControllerLink& l) { return l.SendSubCommand(1); },
        [](TControllerLink& l) { return l.SendLoadBank(1); },
        [](TControllerLink& l) { return l.SendSetMode(1); },
        [](TControllerLink& l) { return l.SendSetTarget(1); },
        [](TControllerLink& l) { return l.SendSaveBank(1); },
        [](TControllerLink& l) { return l.SendWriteParam(1, 1); },
    };
    for (size_t i = 0; i < sends.size(); ++i) {
        SCOPED_TRACE(i);
        Transact(sends[i], {{'+'}});
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        Transact(sends[i], {{'-'}});
        EXPECT_EQ(Inside(*Link).FLinkState, lsRefused);
        Transact(sends[i], {{'?'}});
        EXPECT_EQ(Inside(*Link).FLinkState, lsUnparsed);
        Transact(sends[i], {{'+', '+', '+'}});  // one status, the rest is noise
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        EXPECT_EQ(Port.InQueCount(), 0);
    }
    EXPECT_EQ(Listener.DecodedCount(), 0u);
}

// -------------------------------------------------------------- identification

struct IdentCase {
    const char* name;
    std::vector<Bytes> events;
    std::string text;
};

TEST_F(LinkReplies, Identification) {
    const IdentCase cases[] = {
        {"text and +", {Text("SRV2 v1.4+")}, "SRV2 v1.4+"},
        {"a minus inside the text ends it", {Text("SRV-2 v1.4+")}, "SRV-"},
        {"NUL before the status", {Bytes{'A', 'B', 'C', 0x00, '+'}}, "ABC"},
        {"ends in -", {Text("ABC -")}, "ABC -"},
        {"in three events", {Text("Ser"), Text("vo 1"), Text(".0+")}, "Servo 1.0+"},
        {"bytes after the status are discarded", {Text("ok+more text+")}, "ok+"},
        {"status alone", {Text("+")}, "+"},
        {"exactly 31 bytes", {Text(std::string(30, 'a') + "+")}, std::string(30, 'a') + "+"},
        {"high bytes show as Latin-1", {Bytes{0xC4, 0xE9, '+'}}, "\xC4\xE9+"},
    };
    for (const IdentCase& c : cases) {
        SCOPED_TRACE(c.name);
        Listener = {};
        Inside(*Link).FIdentText = "previous";
        Transact(kIdentify, c.events);
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        EXPECT_EQ(Inside(*Link).FIdentText, c.text);
        ASSERT_EQ(Listener.Identified.size(), 1u);
        EXPECT_EQ(Listener.Identified[0], QStringLiteral("Контроллер: ") + QString::fromLatin1(c.text));
        EXPECT_EQ(Port.InQueCount(), 0);
    }
}

TEST_F(LinkReplies, AnIdentificationLongerThanTheReplyBufferIsCutAndStillEnds) {
    const std::string text(150, 'Q');
    Bytes first = Text(text.substr(0, 40));
    Bytes second = Text(text.substr(40) + "+tail");
    Transact(kIdentify, {first, second});
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FIdentText, std::string(TControllerLink::ReplySize - 1, 'Q'));
    EXPECT_EQ(Inside(*Link).FReplyExpected, 255);  // the bytes after FReply are intact
    EXPECT_LE(Inside(*Link).FReplyCount, TControllerLink::ReplySize - 1);
    ASSERT_EQ(Listener.Identified.size(), 1u);
    EXPECT_EQ(Port.InQueCount(), 0);
}

// -------------------------------------------------------------- events outside a transaction

TEST_F(LinkReplies, BytesWithNoTransactionAreReadAndDiscarded) {
    for (TLinkState state : {lsDone, lsRefused, lsUnparsed, lsTimedOut}) {
        SCOPED_TRACE(int(state));
        Inside(*Link).FLinkState = state;
        Inside(*Link).FCmdFrame[0] = 'p';
        Deliver({0x01, 0x02, 0x03, '+'});
        EXPECT_EQ(Inside(*Link).FLinkState, state);
        EXPECT_EQ(Inside(*Link).FReplyCount, 0);
        EXPECT_EQ(Inside(*Link).FReply[0], 0);
        EXPECT_EQ(Port.InQueCount(), 0);
    }
    EXPECT_EQ(Listener.DecodedCount(), 0u);
}

TEST_F(LinkReplies, TwoHundredWaitingBytesRaiseTheCaptionAndAreAllConsumed) {
    Bytes flood = {0x07, 0x00, 0x00, '+'};
    flood.resize(200, 0x55);
    Transact(kGetPosition, {flood});
    EXPECT_EQ(Listener.Overflows, 1);
    EXPECT_EQ(Listener.ReadErrors, 0);
    EXPECT_EQ(Inside(*Link).FPosition, 7);
    EXPECT_EQ(Listener.Positions.size(), 1u);
    EXPECT_EQ(Port.InQueCount(), 0);

    Deliver(Bytes(129, 0x00));  // also with no transaction
    EXPECT_EQ(Listener.Overflows, 2);
    Deliver(Bytes(128, 0x00));
    EXPECT_EQ(Listener.Overflows, 2);
    EXPECT_EQ(Port.InQueCount(), 0);
}

TEST_F(LinkReplies, AReplyWhoseStatusComesPastTheFirst128BytesIsFound) {
    Bytes flood(300, 'z');
    flood[200] = '+';
    Transact(kIdentify, {flood});
    EXPECT_EQ(Listener.Overflows, 1);
    EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
    EXPECT_EQ(Inside(*Link).FIdentText, std::string(TControllerLink::ReplySize - 1, 'z'));
    EXPECT_EQ(Port.InQueCount(), 0);
}

TEST_F(LinkReplies, AShortReadReportsTheErrorAndLeavesTheTransactionPending) {
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    Device.Send({0x01, 0x02});
    ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() == 2; }));
    Link->UARTRxChar(&Port, 5);
    EXPECT_EQ(Listener.ReadErrors, 1);
    EXPECT_EQ(Inside(*Link).FLinkState, lsPending);
    EXPECT_EQ(Inside(*Link).FReplyCount, 0);
    EXPECT_EQ(Inside(*Link).FReply[0], 0);
    Deliver({0x03, 0x00, 0x00, '+'});  // a complete reply still ends it
    EXPECT_EQ(Inside(*Link).FPosition, 3);
}

TEST_F(LinkReplies, RepliesArriveThroughThePortsOwnEvents) {
    BindReceiveHandler();
    ASSERT_TRUE(Link->SendReadParam(3));
    Device.Receive(3);
    Device.Send({0x00, 0x02, '+'});
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Inside(*Link).FParams[3], 512);
    ASSERT_TRUE(Link->SendGetPosition());
    Device.Receive(2);
    Device.Send({0xFE, 0xFF});
    Device.Send({0xFF, '+'});
    EXPECT_EQ(Link->WaitReply(), lsDone);
    EXPECT_EQ(Inside(*Link).FPosition, -2);
}

}  // namespace
