// The chart menu's runs and step test reached as a user reaches them: a
// right click, the entry clicked in the shown menu, the dialog answered,
// then one more click. (The parameter group's menu: test_param_files.cpp;
// the chart's exports: test_chart_export.cpp.)

#include "tests/support/PopupDriver.h"
#include "tests/support/SimFrames.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "window/RunsWindow.h"
#include "window/StepTest.h"

using namespace testsupport;

namespace {

class TChartMenuClicks : public TConnectedWindowTest<2> {
protected:
    QMenu* ChartMenu() {
        auto* chart = Ctl<QWidget>(*Form, "Chart1");
        return RightClickMenu(*chart, chart->rect().center());
    }
};

}  // namespace

// The runs and the step test, from the chart's menu; the test's dialog
// answered, and the window still answers when it has ended.
TEST_F(TChartMenuClicks, RunsAndTheStepTestFromTheChartsMenu) {
    ASSERT_TRUE(ChooseEntry(ChartMenu(), U("Прогоны")));
    ASSERT_TRUE(WaitFor([this] { return Form->findChild<TRunsWindow*>() && Form->findChild<TRunsWindow*>()->isVisible(); }));
    Form->findChild<TRunsWindow*>()->hide();
    Activate();

    TModalAnswer<steptest::TDialog> start([](steptest::TDialog& d) {
        d.findChild<QSpinBox*>("spnBefore")->setValue(200);
        d.findChild<QSpinBox*>("spnAfter")->setValue(300);
        QTest::keyClick(&d, Qt::Key_Return);
    });
    ASSERT_TRUE(ChooseEntry(ChartMenu(), U("Опыт: ступенька…")));
    ASSERT_TRUE(WaitFor([&start] { return start.Answered; }));
    ASSERT_TRUE(WaitFor([this] { return Form->Runs->Runs().size() == 1 && !Form->StepTestRunning(); }, 20000));
    EXPECT_FALSE(Form->Runs->Runs().back()->aborted);
    ASSERT_TRUE(LinkIdle());
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(Codes(FramesSettled()), "RRRRRR");
}
