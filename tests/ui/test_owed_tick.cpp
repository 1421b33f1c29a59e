// The measurement's owed tick: a timer tick that meets a poll still under
// way polls once that poll is over, and never more than once, nor after the
// measurement stopped. The controller's line is paced at 9600 baud on its
// stepped clock, so a poll stays pending until the test lets its bytes
// through; the ticks are the timer's own signal, fired by the test.
#include <QLineEdit>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"

using namespace testsupport;

namespace {

// 9 bytes of a 'V' exchange at 9600 baud take 9.4 ms of the controller's clock.
constexpr uint32_t ExchangeMs = 10;

struct TOwedCase {
    const char* Name;
    std::function<void(sim::TFaults&)> Fault;  // what happens to the poll under way
    bool StopFirst;                            // the user stops while it is under way
    size_t OwedPolls;                          // polls after it, without another tick
};

class TOwedTick : public TSimWindowTest {
protected:
    void SetUp() override {
        TSimWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(ConnectInMode(2));
        // The timer never fires by itself within a test: every tick is the test's.
        Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("100000");
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        ASSERT_TRUE(Form->Measurement().Polling());
        ASSERT_TRUE(LinkIdle());
        Sim->ClearFrames();
    }
    void Tick() { Form->RunHandler([this] { Form->Measurement().Tick(); }); }
    bool PollOnLine() {
        return WaitFor([this] { return Sim->InputOnLine() == 2; });
    }
    // The poll's bytes go through, in and out.
    void LetThrough() { ASSERT_TRUE(Sim->AdvanceClock(ExchangeMs)); }
};

TEST_F(TOwedTick, TicksDuringAPollPollOnceWhenItIsOver) {
    const TOwedCase cases[] = {
        {"answered", [](sim::TFaults&) {}, false, 1},
        {"refused", [](sim::TFaults& f) { f.RefuseCodes = "V"; }, false, 1},
        {"timed out", [](sim::TFaults& f) { f.DropNext = 1; }, false, 1},
        {"answered after stop", [](sim::TFaults&) {}, true, 0},
        {"timed out after stop", [](sim::TFaults& f) { f.DropNext = 1; }, true, 0},
    };
    for (const TOwedCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim->SetFaults({});
        if (!Form->Measurement().Polling()) Click(Ctl<QPushButton>(*Form, "btnGraph"));  // started again after a stop
        ASSERT_TRUE(Form->Measurement().Polling());
        ASSERT_TRUE(LinkIdle());
        SetFaults([&](sim::TFaults& f) {
            f.BaudRate = 9600;
            c.Fault(f);
        });
        Sim->ClearFrames();

        Tick();
        ASSERT_TRUE(PollOnLine());
        Tick();
        Tick();  // still one tick owed, not two
        if (c.StopFirst) Click(Ctl<QPushButton>(*Form, "btnGraph"));
        LetThrough();
        if (c.OwedPolls == 1) {
            ASSERT_TRUE(PollOnLine());  // sent without a tick of its own
            LetThrough();
        }
        ASSERT_TRUE(LinkIdle());
        PumpFor(150);  // the spell in which a poll too many would go out
        EXPECT_EQ(Sim->InputOnLine(), 0u);
        LetThrough();
        EXPECT_EQ(Sim->FrameCount('V'), 1 + c.OwedPolls);
        EXPECT_EQ(Form->Measurement().Polling(), !c.StopFirst);
    }
}

// A tick that finds the link idle polls as before: nothing is owed, so the
// reply brings no poll of its own.
TEST_F(TOwedTick, ATickOnAnIdleLinkOwesNothing) {
    SetFaults([](sim::TFaults& f) { f.BaudRate = 9600; });
    for (int i = 0; i < 3; ++i) {
        Tick();
        ASSERT_TRUE(PollOnLine());
        LetThrough();
        ASSERT_TRUE(LinkIdle());
    }
    PumpFor(150);  // the spell in which a poll too many would go out
    EXPECT_EQ(Sim->InputOnLine(), 0u);
    EXPECT_EQ(Sim->FrameCount('V'), 3u);
}

}  // namespace
