// One sample onto the chart: the tick distance and time axis, the three
// units, the mismatch rounding, the trimming to the history depth and the
// automatic axis ranges. Samples are handed to the window's measurement as
// the link decodes them and placed as a tick places them; no controller is needed.
#include <cmath>

#include <QSignalBlocker>

#include "chart/ChartFeed.h"
#include "chart/ChartReplot.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TPlotSample : public testsupport::TWindowTest {
protected:
    void SetUp() override {
        testsupport::TWindowTest::SetUp();
        Begin();
    }
    // A new record, as a start makes it before its polls.
    void Begin(int depth = measure::DefaultHistoryDepth, int32_t pulses = measure::DefaultPulsesPerMm) {
        Form->Measurement().Prepare({-1, sampleplot::vuKiloPulsesPerSec, depth, pulses});
    }
    uint32_t TimeMs() { return Form->Measurement().Record().TimeMs(); }
    // Program changes of the bar would send: the closed port must not see them.
    void SetBar(int position) {
        const QSignalBlocker quiet(Ctl<TTrackBar>(*Form, "tbarSubCommand"));
        Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(position);
    }
    void SetSample(uint16_t previousTick, uint16_t tick, int16_t velocity = 0, int16_t mismatch = 0) {
        Form->Measurement().SampleDecoded({tick, previousTick, velocity, mismatch});
    }
    // The next sample, 1 tick after the last one.
    void Plot(int16_t velocity = 0, int16_t mismatch = 0) {
        const uint16_t last = Form->Measurement().LastSample().tick;
        SetSample(last, uint16_t(last + 1), velocity, mismatch);
        Form->Measurement().PlaceLatest();
    }
    TSeriesGraph* Series(int i) const { return static_cast<TSeriesGraph*>(Ctl<QCustomPlot>(*Form, "Chart1")->graph(i)); }
    int Count(int i) const { return Series(i)->History().Count(); }
};

struct TUnitCase {
    const char* name;
    int mode;
    int unit;
    int bar;
    uint16_t kf;
    int32_t pulses;
    int16_t velocity;
    int16_t mismatch;
    std::optional<double> y1, y2, y3;
};

}  // namespace

TEST_F(TPlotSample, TickDistanceDrivesTheTimeAxis) {
    struct TTickCase {
        uint16_t previous, tick;
        bool plotted;
        uint32_t advance;
    };
    const TTickCase cases[] = {
        {100, 105, true, 25},
        {7, 7, false, 0},          // the same sample again: no point
        {65000, 100, true, 3180},  // 636 ticks across the wrap
        {65535, 0, true, 5},       // one tick across the wrap is still a sample
        {0, 65535, true, 65535 * 5},
    };
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(0);
    Plot();  // the record's first sample is at 0 whatever came before it
    for (const TTickCase& c : cases) {
        const uint32_t start = TimeMs();
        const int before = Count(0);
        SetSample(c.previous, c.tick);
        Form->Measurement().PlaceLatest();
        EXPECT_EQ(Count(0), before + (c.plotted ? 1 : 0)) << c.previous << "->" << c.tick;
        EXPECT_EQ(TimeMs(), start + c.advance) << c.previous << "->" << c.tick;
        if (c.plotted) {
            EXPECT_EQ(Keys(Series(0)).back(), double(start + c.advance));  // at its own tick
        }
        Form->ChartFeed()->Clear();
    }
}

TEST_F(TPlotSample, EachModeAndUnitFeedsItsSeries) {
    const std::optional<double> none;
    const TUnitCase cases[] = {
        {"velocity kpulses/s", 2, 1, 300, 256, 80, 0, 0, 0.0, -11.0, 11.0},
        {"velocity kpulses/s Kf 0.5", 2, 1, 200, 128, 80, 60, 0, 12.0, 40.0, -28.0},
        {"velocity mm/min", 2, 0, 256, 256, 80, 50, 0, 7500.0, 7500.0, 0.0},
        {"velocity mm/min with command", 2, 0, 300, 256, 80, 50, 0, 7500.0, -750.0, 8250.0},
        {"velocity percent centred", 2, 2, 256, 256, 80, 123, 0, 0.0, none, none},
        {"velocity percent", 2, 2, 300, 256, 80, 50, 0, 100.0 / 11000.0 * -1000.0, none, none},
        {"pwm", 0, 1, 300, 256, 80, 50, 7, 10.0, 1.0, none},
        {"torque", 1, 0, 300, 256, 80, -5, -8, -1.0, -2.0, none},
        {"position", 3, 2, 256, 0, 0, 1, 12, 0.2, 2.0, none},
        {"no mode", -1, 1, 256, 256, 80, 0, -13, 0.0, -3.0, none},
        // Parameter #2 at 0: the controller has no set-point, plotted as C = 0.
        {"velocity Kf 0", 2, 1, 300, 0, 80, 10, 0, 2.0, 2.0, 0.0},
        {"velocity Kf 0 percent", 2, 2, 300, 0, 80, 10, 0, 0.0, none, none},
        // 0 pulses per millimetre: no value is defined, no series gets a point.
        {"velocity mm/min 0 pulses", 2, 0, 300, 256, 0, 10, 0, none, none, none},
    };
    for (const TUnitCase& c : cases) {
        Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(c.mode);
        Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->SetItemIndex(c.unit);
        SetBar(c.bar);
        testsupport::Parts(Form).Params->SetWords({0, c.kf, 0, 0, 0, 0});
        Begin(measure::DefaultHistoryDepth, c.pulses);
        const std::array<int, 3> before{Count(0), Count(1), Count(2)};
        Plot(c.velocity, c.mismatch);
        const std::array<std::optional<double>, 3> expected{c.y1, c.y2, c.y3};
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(std::string(c.name) + ", series " + std::to_string(i + 1));
            EXPECT_EQ(Count(int(i)), before[i] + (expected[i] ? 1 : 0));
            if (expected[i]) {
                // The chart keeps its values in single precision.
                EXPECT_FLOAT_EQ(float(*LastValue(Series(int(i)))), float(*expected[i]));
            }
        }
    }
}

TEST_F(TPlotSample, PointsOfOneSampleShareTheirX) {
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(2);
    for (int i = 0; i < 8; ++i) Plot(5);
    Form->ChartFeed()->Clear();
    Plot(5);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Keys(Series(i)), std::vector<double>{40.0}) << i;
}

TEST_F(TPlotSample, HistoryDepthBoundsTheFedSeries) {
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(0);
    Begin(100);
    for (int i = 0; i < 100; ++i) Plot(int16_t(i));
    EXPECT_EQ(Count(0), 100);
    for (int i = 100; i < 150; ++i) Plot(int16_t(i));
    EXPECT_EQ(Count(0), 100);
    EXPECT_EQ(Count(1), 100);
    // The oldest went first: sample 50 (X 250) leads, sample 149 ends.
    EXPECT_EQ(Keys(Series(0)).front(), 250.0);
    EXPECT_FLOAT_EQ(float(Values(Series(0)).front()), 50 * 200 / 1000.0f);
    EXPECT_FLOAT_EQ(float(Values(Series(0)).back()), 149 * 200 / 1000.0f);
}

TEST_F(TPlotSample, DepthOfZeroOrLessKeepsTheChartEmpty) {
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(2);
    for (int32_t depth : {0, -3}) {
        Begin(depth);
        for (int i = 0; i < 5; ++i) {
            Plot(10);
            EXPECT_EQ(Count(0) + Count(1) + Count(2), 0) << depth;
        }
    }
    EXPECT_EQ(TimeMs(), 20u);  // time goes on all the same
}

TEST_F(TPlotSample, ASeriesNotFedKeepsItsPoints) {
    Begin(10);
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(2);
    Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->SetItemIndex(1);
    for (int i = 0; i < 4; ++i) Plot(1);
    Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->SetItemIndex(2);  // percent: only Series1
    for (int i = 0; i < 30; ++i) Plot(1);
    EXPECT_EQ(Count(0), 10);
    EXPECT_EQ(Count(1), 4);
    EXPECT_EQ(Count(2), 4);
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(0);  // outside the velocity mode: Series1 and Series2
    for (int i = 0; i < 30; ++i) Plot(1);
    EXPECT_EQ(Count(0), 10);
    EXPECT_EQ(Count(1), 4);  // fed but only trimmed one for one: 4 + 30 - 30
    EXPECT_EQ(Count(2), 4);
}

TEST_F(TPlotSample, AxesFollowThePointsHeld) {
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(0);
    Begin(20);
    Plot(500, 5000);  // a spike: 100 kpulses/s and mismatch 1000
    for (int i = 0; i < 19; ++i) Plot(int16_t(i % 3), int16_t(-5 * (i % 4)));
    const QCPRange left = Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->range();
    const QCPRange right = Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->range();
    EXPECT_TRUE(left.contains(100.0) && left.contains(0.0));
    EXPECT_TRUE(right.contains(1000.0) && right.contains(-3.0));
    // Keys 0..95 on grains of 5, with room ahead while the history grows.
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->xAxis->range(), QCPRange(0, 115));

    Plot(1, 0);  // the spike leaves the window, and the axes follow
    const QCPRange leftAfter = Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->range();
    const QCPRange rightAfter = Ctl<QCustomPlot>(*Form, "Chart1")->yAxis2->range();
    EXPECT_LT(leftAfter.upper, 1.0);
    EXPECT_GE(leftAfter.upper, 0.4);
    EXPECT_LE(leftAfter.lower, 0.0);
    EXPECT_LT(rightAfter.upper, 10.0);
    EXPECT_LE(rightAfter.lower, -3.0);
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->xAxis->range(), QCPRange(0, 115));  // still holds 5..100
}

TEST_F(TPlotSample, ManySamplesAskForOneRedraw) {
    int replots = 0;
    QObject::connect(Form->ChartFeed()->Replot(), &TChartReplot::Drawn, [&replots] { ++replots; });
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(2);
    for (int i = 0; i < 50; ++i) Plot(int16_t(i));
    EXPECT_EQ(replots, 0);  // queued, not drawn inside the tick
    ASSERT_TRUE(WaitFor([&replots] { return replots > 0; }));
    PumpFor(2 * TChartReplot::MinGapMs);  // a second redraw, paced or not, would come in this spell
    EXPECT_EQ(replots, 1);
}

TEST_F(TPlotSample, WhileStoppedTheWheelZoomsAndADoubleClickUndoesIt) {
    Ctl<QCustomPlot>(*Form, "Chart1")->setEnabled(true);  // as connecting leaves it
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(0);
    for (int i = 0; i < 20; ++i) Plot(int16_t(i));
    const QCPRange autoKeys = Ctl<QCustomPlot>(*Form, "Chart1")->xAxis->range();
    const QCPRange autoLeft = Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->range();
    const QPointF centre = Ctl<QCustomPlot>(*Form, "Chart1")->axisRect()->rect().center();
    QWheelEvent wheel(centre, Ctl<QCustomPlot>(*Form, "Chart1")->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Ctl<QCustomPlot>(*Form, "Chart1"), &wheel);
    EXPECT_LT(Ctl<QCustomPlot>(*Form, "Chart1")->xAxis->range().size(), autoKeys.size());
    EXPECT_LT(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->range().size(), autoLeft.size());

    QTest::mouseDClick(Ctl<QCustomPlot>(*Form, "Chart1"), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->xAxis->range(), autoKeys);
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->yAxis->range(), autoLeft);
}
