// End to end: the window against the simulated controller on a pty. Connect,
// switch to the velocity mode, drive by hand, measure live at the default
// period, stop, and start again.
#include <QElapsedTimer>
#include <QImage>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TLiveMeasurement : public TConnectedWindowTest<2> {
protected:
    void SetUp() override {
        TConnectedWindowTest::SetUp();
        if (!HasFatalFailure()) Drive(300);
    }
    // Moves the bar as the user does once the link is idle, so the drive goes out.
    void Drive(int position) {
        ASSERT_TRUE(LinkIdle());
        Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(position);
        ASSERT_TRUE(WaitFor([&] { return Sim->State().Drive == position - 256; }));
    }
    // Runs the measurement until the controller has answered `polls` sample
    // polls (a slow machine takes longer, not fewer); returns the wall time it ran.
    qint64 Measure(size_t polls) {
        QElapsedTimer clock;
        clock.start();
        const size_t before = Sim->FrameCount('V');
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        EXPECT_TRUE(WaitFor([&] { return Sim->FrameCount('V') >= before + polls; }, 60000));
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        return clock.elapsed();
    }
    // Runs until the controller's clock, the chart's time axis, has gone `ms`
    // past the key of the point plotted last now.
    bool RunOnFor(double ms) {
        const double from = Keys(testsupport::Parts(Form).Series1).empty() ? 0.0 : Keys(testsupport::Parts(Form).Series1).back();
        return WaitFor(
            [&] { return !Keys(testsupport::Parts(Form).Series1).empty() && Keys(testsupport::Parts(Form).Series1).back() >= from + ms; }, 60000);
    }
};

}  // namespace

TEST_F(TLiveMeasurement, TwoSecondsInTheVelocityModeFollowTheCommand) {
    ASSERT_EQ(testsupport::Parts(Form).Params->Words()[1], 256);  // Kf 1.0 read at connect
    ASSERT_EQ(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->ItemIndex(), 1);
    const qint64 elapsed = Measure(125);  // 2 s at the 16 ms period
    ASSERT_FALSE(Form->Measurement().Running());

    const std::vector<double> keys = Keys(testsupport::Parts(Form).Series1);
    const std::vector<double> actual = Values(testsupport::Parts(Form).Series1);
    const std::vector<double> error = Values(testsupport::Parts(Form).Series2);
    const std::vector<double> command = Values(testsupport::Parts(Form).Series3);
    // 2 s at 16 ms is about 125 polls; the default history holds the last 100.
    ASSERT_GE(keys.size(), 30u);
    EXPECT_LE(keys.size(), 100u);
    ASSERT_EQ(error.size(), keys.size());
    ASSERT_EQ(command.size(), keys.size());
    EXPECT_EQ(Keys(testsupport::Parts(Form).Series3), keys);

    // The controller's time axis: 5 ms ticks, ascending, no faster than the wall clock.
    for (size_t i = 1; i < keys.size(); ++i) {
        const double step = keys[i] - keys[i - 1];
        EXPECT_GT(step, 0.0) << i;
        EXPECT_EQ(std::fmod(step, 5.0), 0.0) << i;
    }
    const double span = keys.back() - keys.front();
    EXPECT_LE(span, double(elapsed) + 10.0);
    EXPECT_GE(span / double(keys.size() - 1), 10.0);  // about one poll per 16 ms period

    // The command line: (300 - 256) x 250 / 1.0 = 11000 pulses/s, in kilo-pulses.
    for (double c : command) EXPECT_DOUBLE_EQ(c, 11.0);
    // Values are kept in single precision: a few millionths of these magnitudes.
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_NEAR(error[i], actual[i] - command[i], 1e-5);
    // The motor has caught up with it by the end of the run.
    EXPECT_NEAR(actual.back(), 11.0, 1.0);
}

TEST_F(TLiveMeasurement, StopKeepsThePointsAndTheNextStartClearsThem) {
    Measure(20);
    const std::vector<double> kept = Keys(testsupport::Parts(Form).Series1);
    ASSERT_FALSE(kept.empty());
    ASSERT_TRUE(LinkIdle());  // a poll sent before the stop has reached the controller
    Sim->ClearFrames();
    EXPECT_TRUE(FramesSettled(200).empty());  // stopped: no more polls
    EXPECT_EQ(Keys(testsupport::Parts(Form).Series1), kept);

    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_EQ(testsupport::Parts(Form).Series1->History().Count(), 0);
    EXPECT_EQ(testsupport::Parts(Form).Series3->History().Count(), 0);
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 3; }));
    EXPECT_LT(Keys(testsupport::Parts(Form).Series1).front(), 50.0);  // the time axis starts again at 0
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TLiveMeasurement, ADriveChangeWhileMeasuringMovesTheCommandLine) {
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series3->History().Count() >= 3; }));
    Drive(200);  // (200 - 256) x 250 = -14000 pulses/s
    ASSERT_TRUE(WaitFor([this] { return LastValue(testsupport::Parts(Form).Series3) == -14.0; }));
    ASSERT_TRUE(WaitFor([this] { return std::fabs(*LastValue(testsupport::Parts(Form).Series1) + 14.0) < 1.5; },
                          4000));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    const std::vector<double> command = Values(testsupport::Parts(Form).Series3);
    EXPECT_EQ(command.front(), 11.0);
    EXPECT_EQ(command.back(), -14.0);
}

// A picture of a running measurement. Saved where SERVO_SCREENSHOT names.
TEST_F(TLiveMeasurement, RunningMeasurementDrawsItsLines) {
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("400");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    // The chart's time axis is the controller's clock: the same picture
    // however fast the machine polls.
    ASSERT_TRUE(RunOnFor(900));
    Drive(180);
    ASSERT_TRUE(RunOnFor(1100));
    ASSERT_TRUE(Form->Measurement().Running());
    const QImage shot = Form->grab().toImage();
    Click(Ctl<QPushButton>(*Form, "btnGraph"));

    const QRect chart = Ctl<QCustomPlot>(*Form, "Chart1")->geometry();
    int red = 0, blue = 0, green = 0;
    for (int y = chart.top(); y <= chart.bottom(); ++y) {
        for (int x = chart.left(); x <= chart.right(); ++x) {
            const QColor c = shot.pixelColor(x * shot.width() / Form->width(),
                                             y * shot.height() / Form->height());
            // Lines may be antialiased: count clearly tinted pixels.
            red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
            blue += c.blue() > 180 && c.red() < 90 && c.green() < 90;
            green += c.green() > 90 && c.red() < 90 && c.blue() < 90;
        }
    }
    // The actual velocity (red) lies mostly under the command (blue) it follows.
    EXPECT_GT(red, 50);
    EXPECT_GT(blue, 300);
    EXPECT_GT(green, 300);
    const QByteArray path = qgetenv("SERVO_SCREENSHOT");
    if (!path.isEmpty()) {
        EXPECT_TRUE(shot.save(QString::fromLocal8Bit(path)));
    }
}
