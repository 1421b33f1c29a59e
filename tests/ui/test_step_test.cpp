// The guided step test against the simulated controller: every measurement
// becomes a run, a test steps at the set time of its record (the same time
// in two tests) and centres the bar after, and each way of aborting leaves
// the bar centred, the measurement stopped and the run kept, marked aborted.
// Each test is started as a user starts it: the chart's menu, the entry, the
// dialog filled in and confirmed.
#include <QKeyEvent>
#include <QCheckBox>
#include <QSpinBox>
#include <QTableWidget>

#include "tests/support/PopupDriver.h"
#include "tests/support/SimFrames.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "window/RunsWindow.h"
#include "window/StepTest.h"
#include "window/TrackBar.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

constexpr steptest::TSettings Quick{16, 300, 500, 5};

class TStepTests : public TConnectedWindowTest<2> {
public:
    // The abort cases reach the rig through these.
    using TWindowTest::Click;
    using TWindowTest::Form;
    using TWindowTest::SetFaults;
    using TWindowTest::Sim;

protected:
    // The chart's menu entry `entry`; `answer` answers the dialog it opens.
    bool ChooseFromChart(const char* entry) {
        auto* chart = Ctl<QWidget>(*Form, "Chart1");
        return ChooseEntry(RightClickMenu(*chart, chart->rect().center()), U(entry));
    }
    void Start(const steptest::TSettings& settings) {
        TModalAnswer<steptest::TDialog> dialog([&settings](steptest::TDialog& d) {
            d.findChild<QSpinBox*>("spnStep")->setValue(settings.step);
            d.findChild<QSpinBox*>("spnBefore")->setValue(settings.beforeMs);
            d.findChild<QSpinBox*>("spnAfter")->setValue(settings.afterMs);
            d.findChild<QSpinBox*>("spnPeriod")->setValue(settings.periodMs);
            d.findChild<QCheckBox*>("chkResetRegulator")->setChecked(settings.resetRegulator);
            QTest::keyClick(&d, Qt::Key_Return);
        });
        ASSERT_TRUE(ChooseFromChart("Опыт: ступенька…"));
        ASSERT_TRUE(WaitFor([this] { return Form->StepTestRunning(); }));
    }
    const runs::TRun& LastRun() { return *testsupport::Parts(Form).Runs->Runs().back(); }
    int Bar() { return Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(); }
    // A period and a depth unlike any test's, which each test must put back.
    void KeepSettings() { testsupport::Parts(Form).Settings->PeriodEdit()->setText("20"), testsupport::Parts(Form).Settings->HistoryEdit()->setText("50"); }
    QStringList Settings() { return {testsupport::Parts(Form).Settings->PeriodEdit()->text(), testsupport::Parts(Form).Settings->HistoryEdit()->text()}; }
};

}  // namespace

TEST_F(TStepTests, TwoTestsStepAtTheSetTimeAndEndCentred) {
    Sim->SetParam(2, 777);
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    KeepSettings();
    {  // The dialog cancelled: nothing starts, nothing is sent.
        TModalAnswer<steptest::TDialog> cancel([](steptest::TDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        Sim->ClearFrames();
        ASSERT_TRUE(ChooseFromChart("Опыт: ступенька…"));
        ASSERT_TRUE(WaitFor([&cancel] { return cancel.Answered; }));
        EXPECT_TRUE(FramesSettled().empty());
        EXPECT_FALSE(Form->StepTestRunning());
    }
    std::vector<double> steps;
    for (int test = 0; test < 2; ++test) {
        Sim->ClearFrames();
        ASSERT_NO_FATAL_FAILURE(Start(Quick));
        ASSERT_TRUE(WaitFor([this] { return !Form->StepTestRunning(); }, 20000));
        ASSERT_EQ(testsupport::Parts(Form).Runs->Runs().size(), size_t(test + 1));
        const runs::TRun& run = LastRun();
        EXPECT_FALSE(run.aborted);
        EXPECT_EQ((*run.params)[2], 777);
        ASSERT_EQ(run.analysis.Figures.StepLack, stepfig::EFigureLack::None);
        steps.push_back(run.analysis.Figures.StepTime);
        EXPECT_EQ(Bar(), 256);
        ASSERT_TRUE(LinkIdle());
        std::vector<int> drives;
        for (const sim::TFrame& frame : OfCode(Sim->Frames(), 'B')) drives.push_back(DriveValue(frame));
        EXPECT_EQ(drives, (std::vector<int>{16, 0}));
        EXPECT_EQ(Settings(), QStringList({"20", "50"}));
    }
    // The step is the first sample after the set time: within one sample of it.
    EXPECT_GE(steps[0], Quick.beforeMs);
    EXPECT_LE(steps[0], Quick.beforeMs + 2 * Quick.periodMs + 5);
    EXPECT_NEAR(steps[0], steps[1], Quick.periodMs + 5);
    // Both in the runs window, opened from the chart's menu; the window still answers.
    ASSERT_TRUE(ChooseFromChart("Прогоны"));
    TRunsWindow* runs = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (runs = Form->findChild<TRunsWindow*>()) && runs->isVisible(); }));
    EXPECT_EQ(runs->findChild<QTableWidget*>()->rowCount(), 2);
    runs->hide();
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(Codes(FramesSettled()), "RRRRRR");
}

TEST_F(TStepTests, EveryAbortCentresStopsAndKeepsTheRunMarked) {
    const std::pair<const char*, std::function<void(TStepTests&)>> aborts[] = {
        {"Esc", [](TStepTests& t) { QTest::keyClick(t.Form.get(), Qt::Key_Escape); }},
        {"stop and reset", [](TStepTests& t) { t.Click(Ctl<QPushButton>(*t.Form, "btnSTOP")); }},
        {"silent controller", [](TStepTests& t) { t.SetFaults([](sim::TFaults& f) { f.DropEvery = 1; }); }},
        {"lost line", [](TStepTests& t) { t.Sim->HangUp(); }},
    };
    const steptest::TSettings longer{-20, 200, 60000, 5};
    KeepSettings();
    for (const auto& [name, abort] : aborts) {
        SCOPED_TRACE(name);
        ASSERT_NO_FATAL_FAILURE(Start(longer));
        ASSERT_TRUE(WaitFor([this] { return Bar() == 256 - 20; }));  // stepped, holding
        const size_t before = testsupport::Parts(Form).Runs->Runs().size();
        abort(*this);
        ASSERT_TRUE(WaitFor([this] { return !Form->StepTestRunning(); }, 10000));
        EXPECT_EQ(Bar(), 256);
        EXPECT_FALSE(Form->Measurement().Running());
        EXPECT_FALSE(Form->Measurement().Polling());
        ASSERT_EQ(testsupport::Parts(Form).Runs->Runs().size(), before + 1);
        EXPECT_TRUE(LastRun().aborted);
        EXPECT_EQ(Settings(), QStringList({"20", "50"}));
        SetFaults([](sim::TFaults& f) { f = {}; });
        ASSERT_TRUE(LinkIdle());
    }
}

// The test steps a velocity command: another mode is refused before the
// dialog; the run says whether the regulator was reset first.
TEST_F(TStepTests, OnlyTheVelocityModeIsSteppedAndTheRunSaysHowItStarted) {
    ChooseMode(1);
    ASSERT_TRUE(ChooseFromChart("Опыт: ступенька…"));
    ASSERT_TRUE(WaitFor([this] { return !Boxes->Texts().isEmpty(); }));
    EXPECT_EQ(Boxes->Texts(), QStringList{U("Опыт: ступенька — только в серво-режиме \"Скорость\": выберите его")});
    EXPECT_FALSE(Form->StepTestRunning());
    ChooseMode(2);
    for (const bool reset : {false, true}) {
        steptest::TSettings settings = Quick;
        settings.resetRegulator = reset;
        ASSERT_NO_FATAL_FAILURE(Start(settings));
        ASSERT_TRUE(WaitFor([this] { return !Form->StepTestRunning(); }, 10000));
        EXPECT_EQ(LastRun().regulatorReset, reset);
    }
}

// Three attempts with Kp 0.5, 1 and 2, drawn on each other in the runs
// window with the first as the reference, for a person to look at.
TEST_F(TStepTests, PictureOfThreeAttempts) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    for (const uint16_t kp : {uint16_t(128), uint16_t(256), uint16_t(512)}) {
        Sim->SetParam(2, kp);
        Click(Ctl<QPushButton>(*Form, "btnGetParams"));
        ASSERT_NO_FATAL_FAILURE(Start({40, 300, 1200, 5}));
        ASSERT_TRUE(WaitFor([this] { return !Form->StepTestRunning(); }, 20000));
    }
    TRunsWindow* runs = Form->ShowRuns();
    for (const auto& run : testsupport::Parts(Form).Runs->Runs()) runs->SetOverlaid(run->id, true);
    runs->Select(testsupport::Parts(Form).Runs->Runs().front()->id);
    runs->PinReference();
    runs->Select(testsupport::Parts(Form).Runs->Runs().back()->id);
    QString shot = path;
    EXPECT_TRUE(runs->grab().save(shot.replace(".png", "-runs.png")));
}
