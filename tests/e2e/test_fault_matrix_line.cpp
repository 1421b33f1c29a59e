// Fault matrix, the line itself: the controller's line hangs up in the middle
// of a transaction, or the device disappears while a measurement runs. The
// transaction under way ends by its time-out, the first write that finds the
// line gone is reported once in the default report, the window never stays
// half connected, and a new line connects and works.
#include <QKeyEvent>

#include "test_fault_matrix.h"

using namespace faultmatrix;

namespace {

class TLineFaults : public TFaultMatrix {
protected:
    // The one box a dead line gives: the default report of the failed write.
    void ExpectOneWriteErrorReport() {
        ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxList();
        const TBoxRecord& box = Boxes.Boxes()[0];
        EXPECT_TRUE(box.text.startsWith("Write error (Error: ")) << box.text.toStdString();
        EXPECT_EQ(box.title, QCoreApplication::applicationName());
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    void ExpectDisconnected() {
        EXPECT_FALSE(Form->UART->Enabled());
        EXPECT_TRUE(OwnEnabledOf(Form->btnConnect));
        EXPECT_TRUE(OwnEnabledOf(Form->cbPort));
        EXPECT_FALSE(OwnEnabledOf(Form->btnDisconnect));
    }
    // Another line and controller: connecting works, and so does a command.
    void ExpectANewLineWorks() {
        ReplaceController();
        Sim->SetPosition(31337);
        Connect();
        EXPECT_EQ(Form->edtPosition->text(), "31337");
        ExpectNextCommandAccepted();
    }
    int Points() const { return Form->Series1->data()->size(); }
};

}  // namespace

TEST_F(TLineFaults, HangUpInTheMiddleOfTheConnectSequence) {
    SetFaults([](sim::TFaults& f) { f.DelayMs = 200; });
    THangUpAfter hangUp(*Sim, 3);  // while the position query waits for its reply
    SelectPort(Sim->Path());
    ASSERT_TRUE(EndsInTime([this] { Click(Form->btnConnect); }));
    ASSERT_TRUE(hangUp.Done());
    ExpectOneWriteErrorReport();
    // What was accepted before the line went is shown.
    EXPECT_EQ(Form->StatusBar->PanelText(1), U("Контроллер: SRV2 servo ctl v1.4+"));
    EXPECT_EQ(Form->rgServoMode->ItemIndex(), 0);
    EXPECT_EQ(Panel0(), "Timeout");
    // Not left half connected: the port is closed and "Подключить" works again.
    ExpectDisconnected();
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes.Boxes().size(), 1u) << BoxList();
}

TEST_F(TLineFaults, HangUpWhileReadingTheParameters) {
    Connect();
    Sim->SetParam(0, 901);
    Sim->SetParam(1, 512);
    SetFaults([](sim::TFaults& f) { f.DelayMs = 100; });
    THangUpAfter hangUp(*Sim, 2);  // the second read is never answered
    ASSERT_TRUE(EndsInTime([this] { Click(Form->btnGetParams); }));
    ASSERT_TRUE(hangUp.Done());
    ExpectOneWriteErrorReport();
    EXPECT_EQ(Form->edtParam1->text(), "901");  // accepted before the line went
    EXPECT_EQ(Form->edtParam2->text(), "1");    // never answered: the old value
    EXPECT_EQ(Panel0(), "Timeout");
    // Still connected as far as the window knows; disconnecting is quiet.
    EXPECT_TRUE(Connected());
    Click(Form->btnDisconnect);
    ExpectDisconnected();
    EXPECT_EQ(Boxes.Boxes().size(), 1u) << BoxList();
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, HangUpInTheMiddleOfAReply) {
    Sim->SetPosition(100);
    Connect();
    Sim->SetPosition(0x030201);
    SetFaults([](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 150; });
    Click(Form->btnGetPosition);
    // The first byte of the reply is in; the line goes before the second.
    ASSERT_TRUE(WaitUntil([this] { return Form->Link->FReplyCount == 1; }));
    Sim->HangUp();
    ASSERT_TRUE(EndsInTime([] {}));
    EXPECT_EQ(Form->Link->FReplyCount, 1);
    EXPECT_EQ(Form->Link->FLinkState, lsTimedOut);
    EXPECT_EQ(Form->edtPosition->text(), "100");
    EXPECT_EQ(Panel0(), "Timeout");
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxList();
    // The next command finds the line gone: one report, nothing half done.
    Click(Form->btnGetPosition);
    ExpectOneWriteErrorReport();
    EXPECT_EQ(Form->Link->FLinkState, lsTimedOut);
    EXPECT_EQ(Form->Link->FCmdFrame[0], 'p');
    Click(Form->btnDisconnect);
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, HangUpDuringTheModeSwitchEndsInItsTimeout) {
    Connect();
    SetFaults([](sim::TFaults& f) { f.DelayMs = 200; });
    THangUpAfter hangUp(*Sim, 1);  // the set-mode command is never answered
    ASSERT_TRUE(EndsInTime([this] { ChooseMode(2); }));
    ASSERT_TRUE(hangUp.Done());
    ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxList();
    EXPECT_EQ(Boxes.Boxes()[0].text, U("Нет ответа от устройства (timeout)"));
    EXPECT_EQ(Form->rgServoMode->ItemIndex(), -1);
    EXPECT_TRUE(OwnEnabledOf(Form->rgServoMode));
    EXPECT_EQ(Panel0(), "Timeout");
    Click(Form->btnDisconnect);
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, AModeSwitchOnADeadLineIsReportedAndTheGroupStaysUsable) {
    Connect();
    Sim->HangUp();
    ASSERT_TRUE(EndsInTime([this] { ChooseMode(2); }));
    ExpectOneWriteErrorReport();
    // The controller's mode is unknown: no selection, and the group can be used again.
    EXPECT_EQ(Form->rgServoMode->ItemIndex(), -1);
    EXPECT_TRUE(OwnEnabledOf(Form->rgServoMode));
    EXPECT_EQ(Form->Link->FLinkState, lsDone);
    Click(Form->btnDisconnect);
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, TheDeviceDisappearsWhileMeasuring) {
    Connect();
    ChooseMode(2);
    // The controller's clock moves on while the measurement runs.
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [this] { Sim->AdvanceClock(20); });
    clock.start(10);
    Click(Form->btnGraph);
    ASSERT_TRUE(WaitUntil([this] { return Points() >= 3; }));
    // Once the clock stands still, two samples alike end the plotting.
    clock.stop();
    const size_t polls = OfCode(Sim->Frames(), 'V').size();
    ASSERT_TRUE(WaitUntil([&] { return OfCode(Sim->Frames(), 'V').size() >= polls + 3; }));
    QTest::qWait(30);
    const int plotted = Points();
    Sim->HangUp();
    ASSERT_TRUE(WaitUntil([this] { return !Boxes.Boxes().empty(); }, ActionLimitMs));
    QTest::qWait(300);  // a second report would come within a few ticks
    ExpectOneWriteErrorReport();
    EXPECT_FALSE(Form->Timer1->isActive());
    EXPECT_EQ(Form->FMeasureStopped, 1);
    // The chart keeps what was measured.
    EXPECT_EQ(Points(), plotted);
    EXPECT_TRUE(OwnEnabledOf(Form->edtTimerPeriod));
    Click(Form->btnDisconnect);
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes.Boxes().size(), 1u) << BoxList();
}

// A drive key held down (the keyboard repeats it) on a line that is gone:
// every repeat fails its write while the first report is still open. The
// user gets that one report, not a stack of identical boxes.
TEST_F(TLineFaults, AKeyHeldDownOnADeadLineGivesOneReport) {
    Connect();
    ASSERT_TRUE(OwnEnabledOf(Form->tbarSubCommand));
    Sim->HangUp();
    constexpr int Repeats = 10;
    for (int i = 0; i < Repeats; ++i) {
        auto* press = new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        press->setTimestamp(ulong(i + 1));
        QCoreApplication::postEvent(Form.get(), press);
    }
    ASSERT_TRUE(WaitUntil([this] { return Form->tbarSubCommand->Position() == 256 + Repeats; }));
    ASSERT_TRUE(WaitUntil([this] { return QApplication::activeModalWidget() == nullptr; }));
    ExpectOneWriteErrorReport();
    EXPECT_TRUE(Connected());
    // Once the report is closed, the next failure is reported again.
    Click(Form->btnGetPosition);
    EXPECT_EQ(Boxes.Boxes().size(), 2u) << BoxList();
}
