// Parameter sets as files, against the simulated controller: saving the
// controller's set (or the edits'), loading through the dialog that marks
// what differs, the read-back that catches a controller which did not take a
// word, the refusal of a damaged file, and the mark of an edit not yet written.
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>

#include "link/NumberText.h"
#include "paramset/ParamFile.h"
#include "tests/support/PopupDriver.h"
#include "tests/support/SimFrames.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "window/ParamDiffDialog.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

using TWords = paramfile::TWords;
constexpr TWords Held{10, 256, 384, 512, 20, 30};
constexpr TWords Filed{10, 300, 384, 512, 21, 30};  // rows #2 and #5 differ

const QString SaveEntry = U("Сохранить параметры в файл…");
const QString LoadEntry = U("Загрузить параметры из файла…");

// Answers the comparison dialog once it comes up: notes the rows it marks
// and answers as `answer` does (a button's name: that button pressed).
struct TDiffAnswer {
    explicit TDiffAnswer(std::function<void(TParamDiffDialog&)> answer)
        : modal([this, answer](TParamDiffDialog& dialog) {
              auto* table = dialog.findChild<QTableWidget*>("tblParamDiff");
              for (int row = 0; row < table->rowCount(); ++row)
                  if (table->item(row, 0)->data(Qt::UserRole).toBool()) MarkedRows.push_back(row);
              answer(dialog);
          }) {}
    explicit TDiffAnswer(const char* button)
        : TDiffAnswer([button](TParamDiffDialog& d) { d.findChild<QPushButton*>(button)->click(); }) {}
    std::vector<int> MarkedRows;
    TModalAnswer<TParamDiffDialog> modal;
};

class TParamFiles : public TSimWindowTest {
protected:
    void SetUp() override {
        TSimWindowTest::SetUp();
        numtext::SetDecimalSeparator('.');
        SetController(Held);
        RealPrompt = testsupport::Parts(Form).ParamFiles->PathPrompt;
        testsupport::Parts(Form).ParamFiles->PathPrompt = [this](bool) { return Path; };
        ASSERT_NO_FATAL_FAILURE(Connect());
    }
    void TearDown() override {
        numtext::ResetDecimalSeparator();
        TSimWindowTest::TearDown();
    }
    void SetController(const TWords& words) {
        for (int i = 0; i < 6; ++i) Sim->SetParam(i, words[size_t(i)]);
    }
    TWords Controller() const {
        TWords words{};
        const auto state = Sim->State();
        for (size_t i = 0; i < 6; ++i) words[i] = state.Params[i];
        return words;
    }
    void WriteFile(const TWords& words) {
        paramfile::TParamSet set;
        set.words = words;
        ASSERT_FALSE(paramfile::Save(Path, set));
    }
    QLineEdit* Edit(int n) { return Ctl<QLineEdit>(*Form, QStringLiteral("edtParam%1").arg(n).toLatin1()); }
    bool Quiet(int n) { return Edit(n)->palette().color(QPalette::Base) == QColor(255, 244, 196); }
    std::string Written() { return Codes(FramesSettled()); }

    // The group's menu from a right click on a label (it has no menu of its
    // own), the entry chosen, the real file dialog answered with Path.
    bool Choose(const QString& entry) {
        TModalAnswer<QFileDialog> file([this](QFileDialog& dialog) {
            // Not typed key by key: the completion list typing opens would take the Enter.
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(Path);
            QTest::keyClick(dialog.findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
        });
        auto* label = Ctl<QLabel>(*Form, "Label1");
        return ChooseEntry(RightClickMenu(*label, label->rect().center()), entry) &&
               WaitFor([&file] { return file.Answered; }) && LinkIdle();
    }
    // After a menu and its dialogs: another read, another menu.
    void OneMoreClick() {
        Sim->ClearFrames();
        Click(Ctl<QPushButton>(*Form, "btnGetParams"));
        EXPECT_EQ(Written(), "RRRRRR");
        auto* label = Ctl<QLabel>(*Form, "Label1");
        QMenu* menu = RightClickMenu(*label, label->rect().center());
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_Escape);
    }

    QTemporaryDir Dir;
    QString Path = Dir.filePath("set.json");
    std::function<QString(bool)> RealPrompt;
};

}  // namespace

TEST_F(TParamFiles, SaveTakesAFreshReadOrTheEditsAndLeavesTheEditsAlone) {
    QTest::keyClicks(Edit(3), "9");  // 1.59 now: Kp typed, not written
    ASSERT_TRUE(Quiet(3));
    testsupport::Parts(Form).ParamFiles->SetPrompt = [] { return TParamFileActions::SaveController; };
    testsupport::Parts(Form).ParamFiles->SaveToFile();
    EXPECT_EQ(paramfile::Load(Path).set->words, Held);
    testsupport::Parts(Form).ParamFiles->SetPrompt = [] { return TParamFileActions::SaveEdits; };
    testsupport::Parts(Form).ParamFiles->SaveToFile();
    EXPECT_EQ(paramfile::Load(Path).set->words[2], 407);  // 1.59 * 256, rounded
    EXPECT_EQ(Edit(3)->text(), "1.59");
    EXPECT_TRUE(Quiet(3));
    EXPECT_EQ(Written(), "RRRRRRRRRRRR");  // reads only, nothing written
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    // A read that fails saves nothing and names the step.
    SetFaults([](sim::TFaults& f) { f.RefuseParamWrite = std::nullopt; f.RefuseCodes = "R"; });
    SetController(Filed);
    testsupport::Parts(Form).ParamFiles->SaveToFile();
    EXPECT_EQ(Boxes->Texts(), QStringList{U("Параметры не сохранены: Команда R0 отклонена")});
    EXPECT_EQ(paramfile::Load(Path).set->words[2], 407);
}

// As a user goes: the group's menu, the real file dialog, the comparison
// answered each way, and after each "Получить" and another menu (a menu
// freed under its own entry's handler crashed the window right there).
TEST_F(TParamFiles, ThroughTheMenuLoadMarksWhatDiffersWritesReadsBackAndSavesTheBank) {
    testsupport::Parts(Form).ParamFiles->PathPrompt = RealPrompt;
    ASSERT_TRUE(Choose(SaveEntry));
    EXPECT_EQ(paramfile::Load(Path).set->words, Held);
    ASSERT_NO_FATAL_FAILURE(OneMoreClick());
    WriteFile(Filed);
    const std::pair<const char*, std::function<void(TParamDiffDialog&)>> cancels[] = {
        {"Отмена", [](TParamDiffDialog& d) { d.findChild<QPushButton*>("btnCancel")->click(); }},
        {"Esc", [](TParamDiffDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"closed", [](TParamDiffDialog& d) { d.close(); }},
    };
    for (const auto& [name, answer] : cancels) {
        SCOPED_TRACE(name);
        QTest::keyClicks(Edit(1), "5");
        Sim->ClearFrames();
        TDiffAnswer cancel(answer);
        ASSERT_TRUE(Choose(LoadEntry));
        ASSERT_TRUE(WaitFor([&cancel] { return cancel.modal.Answered; }))
            << Boxes->Texts().join("; ").toStdString() << "; the controller took: " << Written();
        EXPECT_EQ(cancel.MarkedRows, (std::vector<int>{1, 4}));
        EXPECT_EQ(Written(), "RRRRRR");
        EXPECT_EQ(Edit(1)->text(), "105");  // a cancel leaves the edits as they were
        ASSERT_NO_FATAL_FAILURE(OneMoreClick());
    }
    Sim->ClearFrames();
    QTest::keyClicks(Edit(1), "5");
    TDiffAnswer write("btnWriteAndSave");
    ASSERT_TRUE(Choose(LoadEntry));
    ASSERT_TRUE(WaitFor([this, &write] { return write.modal.Answered && !Boxes->Boxes().empty(); }));
    EXPECT_EQ(Written(), "RRRRRRWWWWWWRRRRRRS");
    EXPECT_EQ(Controller(), Filed);
    EXPECT_EQ(Sim->State().Banks[0], Sim->State().Params);
    EXPECT_EQ(Edit(2)->text(), "1.172");  // the edits show what the controller holds
    EXPECT_FALSE(Quiet(1));
    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    EXPECT_EQ(Boxes->Boxes()[0].icon, QMessageBox::Information);
    EXPECT_TRUE(Boxes->Boxes()[0].text.contains(U("Сохранено в Bank 0.")));
    ASSERT_NO_FATAL_FAILURE(OneMoreClick());
}

// The edits keep their own menu with the file entries added, by mouse and
// by the Menu key.
TEST_F(TParamFiles, AnEditsMenuOffersTheFileEntriesByMouseAndByKey) {
    QMenu* menu = RightClickMenu(*Edit(3), Edit(3)->rect().center());
    ASSERT_TRUE(ChooseEntry(menu, SaveEntry));
    ASSERT_TRUE(WaitFor([this] { return QFile::exists(Path); }));
    menu = MenuKeyMenu(*Edit(5));
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(Entry(*menu, LoadEntry), nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_NO_FATAL_FAILURE(OneMoreClick());
}

// One write refused, or a word stored other than sent: the read-back names
// the parameter and the bank is not saved.
TEST_F(TParamFiles, AReadBackThatDiffersIsNamedAndTheBankIsNotSaved) {
    struct TCase {
        std::function<void(sim::TFaults&)> fault;
        TWords file;
        QStringList named;  // lines the report must hold
    };
    const TCase cases[] = {
        {[](sim::TFaults& f) { f.RefuseParamWrite = 1; }, Filed,
         {U("Kf (#2): в контроллере 1, в файле 1.172"), U("Kf (#2): Команда W1 отклонена")}},
        {[](sim::TFaults& f) { f.StoredWordMask = 0xFF00; }, Filed, {U("Kf (#2): в контроллере 1, в файле 1.172")}},
        // Words that read alike in four digits are told apart by their words.
        {[](sim::TFaults& f) { f.StoredWordMask = 0xFFFE; }, {10, 256, 25601, 512, 20, 30},
         {U("Kp (#3): в контроллере 100 (слово 25600), в файле 100 (слово 25601)")}},
    };
    for (const TCase& c : cases) {
        WriteFile(c.file);
        SetController(Held);
        SetFaults(c.fault);
        Sim->ClearFrames();
        TDiffAnswer write("btnWriteAndSave");
        testsupport::Parts(Form).ParamFiles->LoadFromFile();
        EXPECT_EQ(Written(), "RRRRRRWWWWWWRRRRRR");  // no 'S'
        ASSERT_FALSE(Boxes->Boxes().empty());
        const TBoxRecord box = Boxes->Boxes().back();
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        for (const QString& line : c.named) EXPECT_TRUE(box.text.contains(line)) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(U("В Bank 0 не сохранено")));
        SetFaults([](sim::TFaults& f) { f = {}; });
    }
}

// Rows marked different show both words where four significant digits read alike.
TEST(ParamDiffDialog, WordsThatReadAlikeAreShownWithTheirWords) {
    numtext::SetDecimalSeparator('.');
    TParamDiffDialog dialog(nullptr, QString(), {10, 300, 25601, 2561, 20, 30}, {10, 256, 25600, 2560, 20, 30}, 0);
    const auto* table = dialog.findChild<QTableWidget*>("tblParamDiff");
    const QStringList shown{"1.172", "1", U("100 (слово 25601)"), U("100 (слово 25600)"),
                            U("10 (слово 2561)"), U("10 (слово 2560)")};
    for (int row = 1; row < 4; ++row)
        for (int column = 1; column < 3; ++column)
            EXPECT_EQ(table->item(row, column)->text(), shown[2 * row + column - 3]) << row;
    numtext::ResetDecimalSeparator();
}

TEST_F(TParamFiles, ADamagedFileIsRefusedBeforeAnythingIsSent) {
    WriteFile(Filed);
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll().replace("\"word\": 300", "\"word\": 70000");
    file.resize(0);
    file.write(text);
    file.close();
    testsupport::Parts(Form).ParamFiles->LoadFromFile();
    EXPECT_EQ(Boxes->Texts(), QStringList{U("Файл %1 не принят: params[1] (#2).word: ожидалось целое число "
                                            "от 0 до 65535").arg(Path)});
    EXPECT_EQ(Written(), "");
}

TEST_F(TParamFiles, TheMarkShowsTypingUntilAReadOrAWrite) {
    QTest::keyClicks(Edit(5), "1");
    EXPECT_TRUE(Quiet(5));
    EXPECT_FALSE(Marked(Edit(5)));  // not the input error's mark
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_FALSE(Quiet(5));
    QTest::keyClicks(Edit(5), "1");
    QTest::keyClicks(Edit(2), "1");
    SetFaults([](sim::TFaults& f) { f.RefuseParamWrite = 1; });
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_FALSE(Quiet(5));
    EXPECT_TRUE(Quiet(2));  // refused: the controller does not hold it
}

// Controller -> file -> another controller -> file: the same file but the time.
TEST_F(TParamFiles, ARoundTripThroughAnotherControllerGivesTheSameFile) {
    SetController(Filed);
    testsupport::Parts(Form).ParamFiles->SaveToFile();
    QFile first(Path);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const auto withoutTime = [](QByteArray json) {
        return json.left(json.indexOf("\"time\"")) + json.mid(json.indexOf("\"version\""));
    };
    const QByteArray saved = withoutTime(first.readAll());
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    StartSimulator();
    ASSERT_NO_FATAL_FAILURE(Connect());
    {
        TDiffAnswer write("btnWrite");
        testsupport::Parts(Form).ParamFiles->LoadFromFile();
    }
    EXPECT_EQ(Controller(), Filed);
    testsupport::Parts(Form).ParamFiles->SaveToFile();
    QFile second(Path);
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(withoutTime(second.readAll()), saved);
}

// The right button on the group, or on a button in it, opens the group's menu.
TEST_F(TParamFiles, TheGroupsMenuOffersBoth) {
    auto* button = Ctl<QPushButton>(*Form, "btnGetParams");
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button, &event);
    auto* menu = Form->findChild<QMenu*>("mnuParamFiles");
    ASSERT_TRUE(menu);
    QStringList texts;
    for (QAction* action : menu->actions()) texts << action->text();
    EXPECT_EQ(texts, (QStringList{U("Сохранить параметры в файл…"), U("Загрузить параметры из файла…")}));
    menu->close();
}
