// The automatic tuning as a user runs it against a simulated controller:
// the chart's menu, the limits dialog, the experiments as named runs, the
// result beside the start with the choice of what the controller keeps; and
// Esc during an experiment, which puts the starting words back.
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "sim/Plant.h"
#include "tests/support/PopupDriver.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"
#include "window/AutoTuneDialog.h"
#include "window/RunsWindow.h"

using namespace testsupport;

namespace {

class TAutoTuneTests : public TConnectedWindowTest<2> {
protected:
    void Start(int experiments) {
        TModalAnswer<autotune::TLimitsDialog> limits([experiments](autotune::TLimitsDialog& d) {
            d.findChild<QSpinBox*>("spnTuneExperiments")->setValue(experiments);
            QTest::keyClick(&d, Qt::Key_Return);
        });
        auto* chart = Ctl<QWidget>(*Form, "Chart1");
        ASSERT_TRUE(ChooseEntry(RightClickMenu(*chart, chart->rect().center()), U("Автонастройка…")));
        ASSERT_TRUE(WaitFor([&limits] { return limits.Answered; }));
        ASSERT_TRUE(Form->AutoTuneRunning());
    }
    const runs::TRunLibrary& Runs() { return *Parts(Form).Runs; }
};

}  // namespace

TEST_F(TAutoTuneTests, TheTunedWordsAreKeptAndSavedOnlyWhenTheUserSaysSo) {
    Sim->SetPlant(*sim::ParsePlant("inertia=2,kp-scale=0.5"));  // a plant of the zoo, not the default
    ChooseMode(2);
    TModalAnswer<autotune::TResultDialog> result([](autotune::TResultDialog& d) {
        // For a person to look at: the result beside the start.
        if (QString shot = qEnvironmentVariable("SERVO_SCREENSHOT"); !shot.isEmpty())
            d.grab().save(shot.replace(".png", "-tune.png"));
        d.findChild<QComboBox*>("cbTuneBank")->setCurrentIndex(2);
        d.findChild<QPushButton*>("btnTuneSave")->click();
    });
    ASSERT_NO_FATAL_FAILURE(Start(4));
    ASSERT_TRUE(WaitFor([&result] { return result.Answered; }, 60000)) << Boxes->Texts().join('\n').toStdString();
    ASSERT_TRUE(WaitFor([this] { return !Form->AutoTuneRunning() && !Form->Measurement().Running(); }));
    EXPECT_TRUE(Boxes->Texts().isEmpty()) << Boxes->Texts().join('\n').toStdString();
    // A run an experiment, named by its number; gains under which the motor
    // would not rest were not stepped and left none.
    ASSERT_GE(Runs().Runs().size(), 2u);
    ASSERT_LE(Runs().Runs().size(), 4u);
    EXPECT_EQ(Runs().Runs().front()->name, U("Автонастройка 1"));
    EXPECT_TRUE(Runs().Runs().back()->name.startsWith(U("Автонастройка ")));
    // The start pinned and drawn beside the best.
    EXPECT_EQ(Runs().Reference(), Runs().Runs().front()->id);
    EXPECT_EQ(Form->ShowRuns()->Overlaid().size(), 2u);
    const sim::TControllerState state = Sim->State();
    EXPECT_NE(state.Params, sim::DefaultParams) << "the tuned words applied";
    EXPECT_EQ(state.Banks[2], state.Params) << "and saved in the bank chosen";
    EXPECT_EQ(state.Banks[0], sim::DefaultParams);
    for (int i : {0, 1, 4, 5}) EXPECT_EQ(state.Params[size_t(i)], sim::DefaultParams[size_t(i)]) << "only Kp and Ki";
}

TEST_F(TAutoTuneTests, EscDuringAnExperimentPutsTheStartingWordsBack) {
    ChooseMode(2);
    ASSERT_NO_FATAL_FAILURE(Start(6));
    // Into the second experiment, whose words are not the starting ones.
    ASSERT_TRUE(WaitFor([this] {
        return Runs().Runs().size() == 1 && Form->StepTestRunning() && Form->Measurement().Record().TicksSeen() > 10;
    }, 30000));
    ASSERT_NE(Sim->State().Params, sim::DefaultParams);
    QTest::keyClick(Form.get(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([this] { return !Form->AutoTuneRunning() && !Boxes->Texts().isEmpty(); }));
    EXPECT_TRUE(Boxes->Texts().back().startsWith(U("Автонастройка прервана. Исходные параметры возвращены")))
        << Boxes->Texts().join('\n').toStdString();
    EXPECT_EQ(Sim->State().Params, sim::DefaultParams);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_TRUE(Runs().Runs().back()->aborted);
}
