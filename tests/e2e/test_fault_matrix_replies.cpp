// Fault matrix, reply faults: the user reads the actual position while the
// controller's reply is dropped, late, split, wrapped in garbage, carries a
// wrong status or is buried in a flood.
#include "tests/e2e/FaultMatrix.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowParts.h"

using namespace faultmatrix;

namespace {

// No byte of either position is "+" or "-", so a reply shifted by garbage
// cannot end on a status character by chance.
constexpr int32_t OldPosition = 0x010203;
constexpr int32_t NewPosition = 0x040506;

enum class EOutcome { Shown, TimedOut, Unreadable };

struct TReplyFault {
    const char* name;
    std::function<void(sim::TFaults&)> apply;
    EOutcome outcome;
    bool overflow = false;  // more than 128 bytes arrive at once
};

std::vector<uint8_t> Filled(size_t count, uint8_t byte) { return std::vector<uint8_t>(count, byte); }

const TReplyFault ReplyFaults[] = {
    {"Dropped", [](sim::TFaults& f) { f.DropNext = 1; }, EOutcome::TimedOut},
    // Well inside and well past the reply timer's second, so that a slow
    // machine's latency does not carry either across it.
    {"Delayed700ms", [](sim::TFaults& f) { f.DelayMs = 700; }, EOutcome::Shown},
    {"Delayed1300ms", [](sim::TFaults& f) { f.DelayMs = 1300; }, EOutcome::TimedOut},
    {"SplitByteByByte", [](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 15; },
     EOutcome::Shown},
    {"GarbageBefore", [](sim::TFaults& f) { f.GarbageBefore = {0x00, 0x11}; }, EOutcome::Unreadable},
    {"GarbageAfter", [](sim::TFaults& f) { f.GarbageAfter = {0x11, '+', '-', 0x00}; },
     EOutcome::Shown},
    {"GarbageBeforeAndAfterSplit",
     [](sim::TFaults& f) {
         f.GarbageBefore = {0x7F};
         f.GarbageAfter = {'+'};
         f.ChunkBytes = 2;
     },
     EOutcome::Unreadable},
    {"WrongStatus", [](sim::TFaults& f) { f.WrongStatus = uint8_t('?'); }, EOutcome::Unreadable},
    {"NulStatus", [](sim::TFaults& f) { f.WrongStatus = uint8_t(0); }, EOutcome::Unreadable},
    {"FloodInPlaceOfTheReply", [](sim::TFaults& f) { f.GarbageBefore = Filled(1000, 0x55); },
     EOutcome::Unreadable, true},
};

void PrintTo(const TReplyFault& fault, std::ostream* os) { *os << fault.name; }

class TReplyFaults : public TFaultMatrix, public ::testing::WithParamInterface<TReplyFault> {};

}  // namespace

TEST_P(TReplyFaults, ThePositionReadEndsAndTheLinkRecovers) {
    const TReplyFault& fault = GetParam();
    Sim->SetPosition(OldPosition);
    Connect();
    ASSERT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), QString::number(OldPosition));

    Sim->SetPosition(NewPosition);
    SetFaults([&](sim::TFaults& f) {
        f.ReplyCodes = "p";
        fault.apply(f);
    });
    ASSERT_TRUE(EndsInTime([this] { Click(Ctl<QPushButton>(*Form, "btnGetPosition")); }));
    ASSERT_TRUE(LineQuiet());  // a late reply arrives and is dropped

    const QString shown = QString::number(fault.outcome == EOutcome::Shown ? NewPosition : OldPosition);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), shown);
    switch (fault.outcome) {
    case EOutcome::Shown:
        EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsDone);
        EXPECT_EQ(testsupport::Parts(Form).Link->Position(), NewPosition);
        EXPECT_EQ(Panel0(), "");
        break;
    case EOutcome::TimedOut:
        EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsTimedOut);
        EXPECT_EQ(Panel0(), "Timeout");
        break;
    case EOutcome::Unreadable:
        EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsUnparsed);
        EXPECT_EQ(Panel0(), UnreadableNote('p'));
        break;
    }
    EXPECT_EQ(testsupport::Parts(Form).Link->Position(), fault.outcome == EOutcome::Shown ? NewPosition : OldPosition);
    EXPECT_EQ(Form->windowTitle(), fault.overflow ? ">128" : "Servo-Controller setup");
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();

    ExpectNextCommandAccepted();
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();
}

INSTANTIATE_TEST_SUITE_P(Matrix, TReplyFaults, ::testing::ValuesIn(ReplyFaults),
                         [](const auto& test) { return std::string(test.param.name); });

// Unasked bytes, far more than one receive event may hold, while the link is idle.
TEST_F(TFaultMatrix, AFloodWhileIdleMarksTheCaptionAndChangesNothingElse) {
    Sim->SetPosition(OldPosition);
    Connect();
    ASSERT_EQ(Form->windowTitle(), "Servo-Controller setup");  // not marked before the flood
    const TLinkState before = testsupport::Parts(Form).Link->State();
    Sim->Flood(1000);
    ASSERT_TRUE(WaitFor([this] { return Form->windowTitle() == ">128"; }));
    // Everything was read and dropped: the queue is empty again.
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).UART->InQueCount() == 0; }));
    EXPECT_EQ(testsupport::Parts(Form).Link->State(), before);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), QString::number(OldPosition));
    EXPECT_EQ(Panel0(), "");
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();
    ExpectNextCommandAccepted();
}

// Every reply of the connect sequence split into single bytes: the whole
// window fills in as usual, the open-ended identification included.
TEST_F(TFaultMatrix, AConnectWithEveryReplySplitByteByByteFillsTheWindow) {
    SetFaults([](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 2; });
    Sim->SetMode(2);
    Sim->SetPosition(-5);
    Sim->SetParam(0, uint16_t(-7));
    Sim->SetParam(5, 65535);
    ASSERT_TRUE(EndsInTime([this] { Connect(); }));
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Контроллер: SRV2 servo ctl v1.4+"));
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 2);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "-5");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "-7");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam2")->text(), "1");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam6")->text(), "65535");
    EXPECT_EQ(Panel0(), "");
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();
}
