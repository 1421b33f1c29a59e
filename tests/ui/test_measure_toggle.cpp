// The start/stop toggle against a simulated controller: settings and their
// enabling, axis titles, clearing, zoom and pan, the priming polls, failed
// starts, and what stops a running measurement.
#include "chart/ChartFeed.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TMeasureToggle : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        Connect();
    }
    bool Zoomable() const {
        return Ctl<QCustomPlot>(*Form, "Chart1")->interactions().testFlag(QCP::iRangeZoom) &&
               Ctl<QCustomPlot>(*Form, "Chart1")->interactions().testFlag(QCP::iRangeDrag) &&
               Ctl<QCustomPlot>(*Form, "Chart1")->axisRect()->rangeDrag() == (Qt::Horizontal | Qt::Vertical);
    }
    bool Panless() const { return Ctl<QCustomPlot>(*Form, "Chart1")->interactions() == QCP::Interactions(); }
    int Points() const {
        return testsupport::Parts(Form).Series1->History().Count() + testsupport::Parts(Form).Series2->History().Count() +
               testsupport::Parts(Form).Series3->History().Count();
    }
    void FillChart() {
        for (int i = 0; i < 3; ++i) Form->ChartFeed()->Add(i, i, i);
    }
    // Starts, waits for some plotted points, stops.
    void MeasureBriefly() {
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 3; }));
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
    }
    void ExpectSettingsEnabled(bool history, bool unit) {
        EXPECT_EQ(OwnEnabled(Ctl<QLineEdit>(*Form, "edtHistoryDepth")), history);
        EXPECT_EQ(OwnEnabled(Ctl<QLineEdit>(*Form, "edtTimerPeriod")), history);
        EXPECT_EQ(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")), unit);
        EXPECT_EQ(OwnEnabled(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")), unit);
    }
};

}  // namespace

TEST_F(TMeasureToggle, StartPrimesTwiceThenPollsOnTheTimer) {
    ChooseMode(2);
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_TRUE(Form->Measurement().Polling());
    EXPECT_EQ(Form->Measurement().PeriodMs(), 16);
    EXPECT_EQ(Form->Measurement().Record().TimeMs(), 0u);
    EXPECT_EQ(testsupport::Codes(Sim->Frames()), "VV");  // both answered before the timer runs
    EXPECT_EQ(Points(), 0);
    ExpectSettingsEnabled(false, false);
    EXPECT_TRUE(Panless());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnGraph")));

    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 5; }));
    EXPECT_EQ(testsupport::Parts(Form).Series2->History().Count(), testsupport::Parts(Form).Series1->History().Count());
    EXPECT_EQ(testsupport::Parts(Form).Series3->History().Count(), testsupport::Parts(Form).Series1->History().Count());
    for (const sim::TFrame& frame : Sim->Frames()) EXPECT_EQ(frame.Code, 'V');
}

TEST_F(TMeasureToggle, StopKeepsThePointsAndAllowsZoomTheNextStartClears) {
    ChooseMode(2);
    MeasureBriefly();
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_TRUE(Zoomable());
    ExpectSettingsEnabled(true, true);
    const int kept = Points();
    EXPECT_GT(kept, 0);
    ASSERT_TRUE(LinkIdle());  // a poll sent before the stop has reached the controller
    Sim->ClearFrames();
    EXPECT_TRUE(FramesSettled(100).empty());  // nothing is sent on stop, nor after it
    EXPECT_EQ(Points(), kept);

    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_EQ(Points(), 0);
    EXPECT_TRUE(Panless());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TMeasureToggle, UnitGroupEnabledWhenStoppedOnlyInTheVelocityMode) {
    ChooseMode(0);
    MeasureBriefly();
    ExpectSettingsEnabled(true, false);
}

TEST_F(TMeasureToggle, AxisTitlesByModeAndUnit) {
    struct TTitleCase {
        int mode, unit;
        const char* left;
        const char* right;  // the marker: left unchanged
    };
    const char* unchanged = "unchanged";
    const TTitleCase cases[] = {
        {2, 0, "Скорость (мм/мин)", "Рассогласование (мм/мин)"},
        {2, 1, "килоИмпульсов/сек", "Рассогласование (килоИмпульсов/сек)"},
        {2, 2, "Ошибка по скорости, %", unchanged},
        {0, 0, "килоИмпульсов/сек", "Рассогласование (импульсов)"},
        {3, 2, "килоИмпульсов/сек", "Рассогласование (импульсов)"},
    };
    for (const TTitleCase& c : cases) {
        if (Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex() != c.mode) ChooseMode(c.mode);
        Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->SetItemIndex(c.unit);
        Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->setLabel(U(unchanged));
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->label(), U(c.left)) << c.mode << "/" << c.unit;
        EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->label(), U(c.right)) << c.mode << "/" << c.unit;
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
    }
}

TEST_F(TMeasureToggle, BadPeriodLeavesChartTitlesAndTimerAndKeepsEarlierSettings) {
    ChooseMode(2);
    FillChart();
    Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->setLabel("L");
    Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->setLabel("R");
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("50");
    Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")->setText("40");
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("16ms");
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtTimerPeriod")));
    EXPECT_FALSE(Marked(Ctl<QLineEdit>(*Form, "edtHistoryDepth")));
    EXPECT_EQ(Points(), 3);
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->label(), "L");
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->label(), "R");
    EXPECT_TRUE(Zoomable());
    ExpectSettingsEnabled(true, true);
    EXPECT_TRUE(FramesSettled(100).empty());
    EXPECT_TRUE(Boxes->Boxes().empty());

    // Typing clears the mark, and the next press starts.
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("16");
    EXPECT_FALSE(Marked(Ctl<QLineEdit>(*Form, "edtTimerPeriod")));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(Form->Measurement().Polling());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TMeasureToggle, BadHistoryDepthStopsBeforeThePulses) {
    ChooseMode(0);
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("");
    Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")->setText("x");  // converted in every mode, but not reached
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtHistoryDepth")));
    EXPECT_FALSE(Marked(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")));
    EXPECT_FALSE(Form->Measurement().Running());

    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("100");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));  // now the pulses edit, disabled in this mode, is the bad one
    EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")));
    EXPECT_FALSE(Form->Measurement().Running());
}

TEST_F(TMeasureToggle, PeriodOfZeroRunsWithoutTicks) {
    ChooseMode(2);
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("0");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    Sim->ClearFrames();
    EXPECT_TRUE(FramesSettled(150).empty());
    EXPECT_EQ(Points(), 0);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_FALSE(Form->Measurement().Running());
}

TEST_F(TMeasureToggle, PrimingTimeoutLeavesTheTimerOffAndTheSettingsDisabled) {
    ChooseMode(2);
    SetFaults([](sim::TFaults& f) { f.ReplyCodes = "V"; f.DropEvery = 1; });
    Click(Ctl<QPushButton>(*Form, "btnGraph"));  // two polls, each ended by the reply timer
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    ExpectSettingsEnabled(false, false);
    EXPECT_TRUE(Panless());
    // The next toggle is a start again.
    SetFaults([](sim::TFaults& f) { f.DropEvery = 0; });
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_TRUE(Form->Measurement().Polling());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

namespace {

// How the port ends under a running measurement, and the reports that gives.
enum class EPortEnd { Disconnect, ClosedUnderIt, HungUp };

struct TPortEndCase {
    const char* name;
    EPortEnd end;
    size_t boxes;
};

void PrintTo(const TPortEndCase& c, std::ostream* os) { *os << c.name; }

const TPortEndCase PortEnds[] = {
    {"Disconnect", EPortEnd::Disconnect, 0},
    {"ClosedUnderIt", EPortEnd::ClosedUnderIt, 0},
    // The next poll's write fails: one report, and the measurement ends
    // instead of reporting again on every tick.
    {"HungUp", EPortEnd::HungUp, 1},
};

class TMeasurePortEnd : public TMeasureToggle, public ::testing::WithParamInterface<TPortEndCase> {};

}  // namespace

TEST_P(TMeasurePortEnd, StopsTheMeasurementWithAtMostOneReport) {
    const TPortEndCase& c = GetParam();
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return Points() > 0; }));
    switch (c.end) {
        case EPortEnd::Disconnect:  // polling stops at once
            Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
            EXPECT_FALSE(Form->Measurement().Polling());
            EXPECT_FALSE(Form->Measurement().Running());
            break;
        case EPortEnd::ClosedUnderIt:  // behind the window's back: the next tick stops it
            ASSERT_TRUE(LinkIdle());
            testsupport::Parts(Form).UART->Close();
            break;
        case EPortEnd::HungUp:
            Sim->HangUp();
            break;
    }
    ASSERT_TRUE(WaitFor([&] { return !Form->Measurement().Polling() && Boxes->Boxes().size() >= c.boxes; }));
    PumpFor(300);  // a further report would come within a few ticks
    EXPECT_EQ(Boxes->Boxes().size(), c.boxes) << Boxes->Texts().join("; ").toStdString();
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_TRUE(Zoomable());
}

INSTANTIATE_TEST_SUITE_P(Ends, TMeasurePortEnd, ::testing::ValuesIn(PortEnds),
                         [](const auto& test) { return std::string(test.param.name); });

// A lost poll does not stop a running measurement behind the user's back: the
// timer polls on, "Timeout" stays readable, and the toggle then stops and
// keeps the points instead of starting anew and clearing the chart.
TEST_F(TMeasureToggle, ALostPollKeepsTheMeasurementRunningAndTheToggleStopsIt) {
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return Points() > 0; }));
    SetFaults([](sim::TFaults& f) { f.ReplyCodes = "V"; f.DropNext = 1; });
    ASSERT_TRUE(WaitFor([this] { return Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0) == QStringLiteral("Timeout"); }, 4000));
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_TRUE(Form->Measurement().Polling());
    const int before = testsupport::Parts(Form).Series1->History().Count();
    ASSERT_TRUE(WaitFor([&] { return testsupport::Parts(Form).Series1->History().Count() > before; }));
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), QStringLiteral("Timeout"));  // the next polls do not wipe it at once
    const int kept = testsupport::Parts(Form).Series1->History().Count();
    QTest::keyClick(Form->windowHandle(), Qt::Key_F2);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_GE(testsupport::Parts(Form).Series1->History().Count(), kept) << "the toggle cleared the chart";
    ExpectSettingsEnabled(true, true);
}

// While the polls get no answer the chart gains no point: the last sample is
// not drawn again as if it had been measured anew.
TEST_F(TMeasureToggle, LostPollsAddNoPoints) {
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return Points() > 2; }));
    SetFaults([](sim::TFaults& f) { f.ReplyCodes = "V"; f.DropEvery = 1; });
    const size_t polls = Sim->FrameCount('V');
    ASSERT_TRUE(WaitFor([&] { return Sim->FrameCount('V') >= polls + 2; }, 8000));
    const int stalled = Points();  // at most the sample that was under way
    ASSERT_TRUE(WaitFor([&] { return Sim->FrameCount('V') >= polls + 4; }, 8000));
    EXPECT_EQ(Points(), stalled);
    SetFaults([](sim::TFaults& f) { f = sim::TFaults{}; });
    EXPECT_TRUE(WaitFor([&] { return Points() > stalled; }, 8000));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TMeasureToggle, AStartWhoseFirstPollFailsIsReportedAndEndsStopped) {
    ChooseMode(2);
    ASSERT_TRUE(LinkIdle());
    testsupport::Parts(Form).UART->Close();  // the port is gone, the window does not know yet
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    ExpectSettingsEnabled(true, true);
    EXPECT_TRUE(Zoomable());
}
