// What the window shows is true: a field shows only the reply to its own
// command (a multi-step read stops at its first failed step and empties the
// rest), and a late reply is never taken for the next command's.
#include <QDir>
#include <QFile>

#include "chart/ChartFeed.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartMenuDriver.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class THonestValues : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        const std::array<uint16_t, 6> words{100, 384, 512, 256, 200, 7};
        for (int i = 0; i < 6; ++i) Sim->SetParam(i, words[size_t(i)]);
        Connect();
    }
    QStringList ParamTexts() const {
        QStringList texts;
        for (QLineEdit* edit : testsupport::Parts(Form).Params->Edits()) texts << edit->text();
        return texts;
    }
    QString Panel0() const { return Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0); }
    static QStringList SixEmpty() { return QStringList(6, QString()); }
    static QStringList TheWords() { return {"100", "1.5", "2", "1", "200", "7"}; }
};

}  // namespace

TEST_F(THonestValues, TheConnectReadFillsEveryField) {
    EXPECT_EQ(ParamTexts(), TheWords());
    EXPECT_TRUE(Panel0().isEmpty()) << Panel0().toStdString();
}

TEST_F(THonestValues, ARefusedReadStopsAtItsFirstStepAndEmptiesTheEdits) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "R"; });
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(ParamTexts(), SixEmpty());
    EXPECT_EQ(Panel0(), U("Команда R0 отклонена"));
    EXPECT_EQ(OfCode(FramesSettled(), 'R').size(), 1u);
    // "Задать" now meets the input error mark instead of writing stale words.
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtParam1")));
    EXPECT_TRUE(OfCode(FramesSettled(), 'W').empty());
}

TEST_F(THonestValues, ALateReplyIsNeverShownAsTheAnswerToTheNextCommand) {
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "R";
        f.DelayMs = 1500;
    });
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(Panel0(), U("Нет ответа: R0"));
    EXPECT_EQ(ParamTexts(), SixEmpty());
    // The late reply comes in while nothing waits for it, and is dropped.
    ASSERT_TRUE(LineQuiet());
    EXPECT_EQ(ParamTexts(), SixEmpty());
    EXPECT_EQ(OfCode(Sim->Frames(), 'R').size(), 1u);
    SetFaults([](sim::TFaults& f) { f = sim::TFaults{}; });
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(ParamTexts(), TheWords());
}

TEST_F(THonestValues, AReadDuringAMeasurementWaitsForThePollInsteadOfSkippingAStep) {
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 3; }, 8000));
    for (QLineEdit* edit : testsupport::Parts(Form).Params->Edits()) edit->clear();
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(ParamTexts(), TheWords());
    std::vector<int> indices;
    for (const sim::TFrame& frame : OfCode(Sim->Frames(), 'R')) indices.push_back(frame.Payload.at(0));
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(THonestValues, AConnectWhoseModeQueryFailsShowsNoModeAndReadsNoFurther) {
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "m"; });
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    ASSERT_TRUE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    EXPECT_TRUE(Ctl<QLineEdit>(*Form, "edtPosition")->text().isEmpty());
    EXPECT_EQ(ParamTexts(), SixEmpty());
    EXPECT_EQ(Panel0(), U("Команда m отклонена"));
    EXPECT_EQ(OfCode(Sim->Frames(), 'R').size(), 0u);
}

// A controller that stops answering is named so after three time-outs in a
// row, until it answers again; a stop whose set-mode it never answered says
// that the stop was not confirmed.
TEST_F(THonestValues, ASilentControllerIsNamedAndAnUnansweredStopIsNotConfirmed) {
    const QString connected = Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1);
    ASSERT_TRUE(connected.startsWith(U("Контроллер: ")));
    ChooseMode(2);
    SetFaults([](sim::TFaults& f) { f.DropEvery = 1; });
    for (int timeouts = 1; timeouts <= 3; ++timeouts) {
        EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), connected) << timeouts;
        Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
        ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Link->State() == lsTimedOut; }));
    }
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Контроллер не отвечает"));
    Click(Ctl<QPushButton>(*Form, "btnSTOP"));
    ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }));
    EXPECT_EQ(Boxes->Texts(), QStringList{U("СТОП не подтверждён: контроллер не ответил на команду останова")});
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Контроллер не отвечает"));  // a send does not wipe it

    Sim->SetFaults({});
    Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
    ASSERT_TRUE(WaitFor([this, &connected] { return Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1) == connected; }));
    Click(Ctl<QPushButton>(*Form, "btnSTOP"));
    EXPECT_EQ(Codes(FramesSettled(300)).back(), 'M');
    EXPECT_EQ(Boxes->Boxes().size(), 1u);  // an answered stop says nothing
}

// Disconnected, the status bar no longer names a controller, and the
// recording stays usable: the chart is enabled and its menu exports.
TEST_F(THonestValues, AfterADisconnectNothingClaimsAControllerAndTheChartStaysUsable) {
    Form->ChartFeed()->Assign(0, {QCPGraphData(0, 1), QCPGraphData(10, 2)});
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Не подключено"));
    EXPECT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->isEnabled());
    TChartMenuDriver menu(*Form);
    const QString path = QDir::temp().filePath(QStringLiteral("servo-disconnected-%1.csv").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(menu.Export(testsupport::Parts(Form).ChartMenu->SaveCsvAction(), path));
    EXPECT_EQ(menu.Outcomes.at(0), QString());
    EXPECT_TRUE(QFile::remove(path));
}
