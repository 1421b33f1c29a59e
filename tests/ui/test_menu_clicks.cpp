// Every entry of the window's popup menus reached as a user reaches it: a
// right click or the Menu key, the entry clicked in the shown menu, the
// dialogs that follow answered, then one more click. A menu freed while its
// own entry's handler still waited for the controller crashed the window on
// the next click; these run under the address sanitizer in CI.
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>

#include "NumberText.h"
#include "ParamDiffDialog.h"
#include "ParamFile.h"
#include "PopupDriver.h"
#include "RunsWindow.h"
#include "SimFrames.h"
#include "StepTest.h"
#include "WindowDriver.h"
#include "WindowFixture.h"

using namespace testsupport;

namespace {

const QString SaveEntry = U("Сохранить параметры в файл…");
const QString LoadEntry = U("Загрузить параметры из файла…");

// Puts the path into the file dialog's name and presses Enter. Not typed key
// by key: the completion list that typing opens would take the Enter.
std::unique_ptr<TModalAnswer<QFileDialog>> AnswerFileDialog(const QString& path) {
    return std::make_unique<TModalAnswer<QFileDialog>>([path](QFileDialog& dialog) {
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

class TMenuClicks : public TSimWindowTest {
protected:
    void SetUp() override {
        TSimWindowTest::SetUp();
        numtext::SetDecimalSeparator('.');
        for (int i = 0; i < 6; ++i) Sim->SetParam(i, uint16_t(10 * (i + 1)));
        ASSERT_NO_FATAL_FAILURE(Connect());
    }
    void TearDown() override {
        numtext::ResetDecimalSeparator();
        TSimWindowTest::TearDown();
    }
    // The group's menu, from a right click on a label (it has no menu of its own).
    QMenu* GroupMenu() {
        auto* label = Ctl<QLabel>(*Form, "Label1");
        return RightClickMenu(*label, label->rect().center());
    }
    // A file entry chosen in the group's menu, its file dialog answered.
    bool Choose(const QString& entry, const QString& path) {
        const auto answer = AnswerFileDialog(path);
        return ChooseEntry(GroupMenu(), entry) && WaitFor([&answer] { return answer->Answered; }) &&
               LinkIdle();
    }
    // After the menu and its dialogs: another read, another menu.
    void OneMoreClick() {
        Sim->ClearFrames();
        Click(Ctl<QPushButton>(*Form, "btnGetParams"));
        EXPECT_EQ(Codes(FramesSettled()), "RRRRRR");
        QMenu* menu = GroupMenu();
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_Escape);
        EXPECT_TRUE(WaitFor([menu] { return !menu->isVisible(); }));
    }

    QTemporaryDir Dir;
    QString Path = Dir.filePath("p.json");
};

}  // namespace

TEST_F(TMenuClicks, ParameterFilesSavedAndLoadedThroughTheMenuAndItsDialogs) {
    ASSERT_TRUE(Choose(SaveEntry, Path));
    ASSERT_TRUE(WaitFor([this] { return QFile::exists(Path); }));
    EXPECT_EQ(paramfile::Load(Path).set->words, (paramfile::TWords{10, 20, 30, 40, 50, 60}));
    ASSERT_NO_FATAL_FAILURE(OneMoreClick());

    for (int i = 0; i < 6; ++i) Sim->SetParam(i, 7);
    const std::pair<const char*, std::function<void(TParamDiffDialog&)>> answers[] = {
        {"Отмена", [](TParamDiffDialog& d) { d.findChild<QPushButton*>("btnCancel")->click(); }},
        {"Esc", [](TParamDiffDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"closed", [](TParamDiffDialog& d) { d.close(); }},
        {"Записать", [](TParamDiffDialog& d) { d.findChild<QPushButton*>("btnWrite")->click(); }},
        {"Записать и сохранить", [](TParamDiffDialog& d) { d.findChild<QPushButton*>("btnWriteAndSave")->click(); }},
    };
    for (const auto& [name, answer] : answers) {
        SCOPED_TRACE(name);
        Sim->ClearFrames();
        TModalAnswer<TParamDiffDialog> diff(answer);
        ASSERT_TRUE(Choose(LoadEntry, Path));
        ASSERT_TRUE(WaitFor([&diff] { return diff.Answered; }));
        ASSERT_TRUE(LinkIdle());
        const std::string name8(name);
        const std::string codes = Codes(FramesSettled());
        if (name8 == "Записать") EXPECT_EQ(codes, "RRRRRRWWWWWWRRRRRR");
        else if (name8 == "Записать и сохранить") EXPECT_EQ(codes, "RRRRRRWWWWWWRRRRRRS");
        else EXPECT_EQ(codes, "RRRRRR");
        ASSERT_NO_FATAL_FAILURE(OneMoreClick());
    }
    EXPECT_EQ(Sim->State().Banks[0], (sim::TParamSet{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(Boxes->Texts().size(), 2);  // the reports of the two writes
}

// The edits keep their own menu with the file entries added; the Menu key
// opens it where the focus is.
TEST_F(TMenuClicks, AnEditsMenuOffersTheFileEntriesByMouseAndByKey) {
    auto* edit = Ctl<QLineEdit>(*Form, "edtParam3");
    QMenu* menu = RightClickMenu(*edit, edit->rect().center());
    ASSERT_NE(menu, nullptr);
    const auto answer = AnswerFileDialog(Path);
    ASSERT_TRUE(ChooseEntry(menu, SaveEntry));
    ASSERT_TRUE(WaitFor([&answer] { return answer->Answered; }));
    ASSERT_TRUE(WaitFor([this] { return QFile::exists(Path); }));
    menu = MenuKeyMenu(*Ctl<QLineEdit>(*Form, "edtParam5"));
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(Entry(*menu, LoadEntry), nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_NO_FATAL_FAILURE(OneMoreClick());
}

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
