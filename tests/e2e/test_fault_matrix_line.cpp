// Fault matrix, the line itself: the controller's line hangs up in the middle
// of a transaction, or the device disappears while a measurement runs. The
// window notices at once (the port's event thread sees the hang-up, or the
// first write that finds the line gone), closes the port, goes back to the
// disconnected state with the chart kept, tells the user once which device
// was lost, and a new line connects and works.
#include <QKeyEvent>

#include "FaultMatrix.h"
#include "WindowDriver.h"
#include "LinkInsight.h"
#include "SeriesGraph.h"

using namespace faultmatrix;

namespace {

class TLineFaults : public TFaultMatrix {
protected:
    // The one box a dead line gives, naming the device.
    void ExpectOneLostReport(const std::string& path) {
        ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }, ActionLimitMs)) << "no report";
        PumpFor(300);  // a second box would come in this spell, within a few ticks
        ASSERT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
        const TBoxRecord& box = Boxes->Boxes()[0];
        EXPECT_EQ(box.text, U("Связь с %1 потеряна (устройство отключено)").arg(QString::fromStdString(path)));
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    // Nothing claims a controller any more; the recording stays usable.
    void ExpectDisconnected() {
        EXPECT_FALSE(Form->UART->Enabled());
        EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Связь потеряна"));
        EXPECT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->isEnabled());
        EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
        EXPECT_TRUE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort")));
        EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    }
    // Another line and controller: connecting works, and so does a command.
    void ExpectANewLineWorks() {
        StartSimulator();
        Sim->SetPosition(31337);
        Connect();
        EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "31337");
        ExpectNextCommandAccepted();
    }
    int Points() const { return Form->Series1->History().Count(); }
};

}  // namespace

TEST_F(TLineFaults, HangUpInTheMiddleOfTheConnectSequence) {
    SetFaults([](sim::TFaults& f) { f.DelayMs = 200; });
    const std::string path = Sim->Path();
    THangUpAfter hangUp(*Sim, 3);  // while the position query waits for its reply
    SelectPort(path);
    ASSERT_TRUE(EndsInTime([this] { Click(Ctl<QPushButton>(*Form, "btnConnect")); }));
    ASSERT_TRUE(hangUp.Done());
    ExpectOneLostReport(path);
    // What was accepted before the line went is shown; what was not read is empty.
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "");
    // Not left half connected: the port is closed and "Подключить" works again.
    ExpectDisconnected();
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSTOP")));
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
}

TEST_F(TLineFaults, HangUpWhileReadingTheParameters) {
    Connect();
    const std::string path = Sim->Path();
    Sim->SetParam(0, 901);
    Sim->SetParam(1, 512);
    SetFaults([](sim::TFaults& f) { f.DelayMs = 100; });
    THangUpAfter hangUp(*Sim, 2);  // the second read is never answered
    ASSERT_TRUE(EndsInTime([this] { Click(Ctl<QPushButton>(*Form, "btnGetParams")); }));
    ASSERT_TRUE(hangUp.Done());
    ExpectOneLostReport(path);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "901");  // accepted before the line went
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam2")->text(), "");     // never answered: nothing stale shown
    ExpectDisconnected();
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, HangUpInTheMiddleOfAReply) {
    Sim->SetPosition(100);
    Connect();
    const std::string path = Sim->Path();
    Sim->SetPosition(0x030201);
    // A byte every 300 ms: the reply is still coming in long after its
    // first byte, however late this thread sees that byte.
    SetFaults([](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 300; });
    Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
    // Part of the reply is in; the line goes before the rest.
    ASSERT_TRUE(WaitFor([this] { return Inside(*Form->Link).FReplyCount >= 1; }));
    ASSERT_EQ(Form->Link->State(), lsPending);
    Sim->HangUp();
    ExpectOneLostReport(path);
    EXPECT_NE(Form->Link->State(), lsPending);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "100");  // half a reply shows nothing
    ExpectDisconnected();
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, HangUpDuringTheModeSwitchEndsWithoutItsOwnMessages) {
    Connect();
    const std::string path = Sim->Path();
    SetFaults([](sim::TFaults& f) { f.DelayMs = 200; });
    THangUpAfter hangUp(*Sim, 1);  // the set-mode command is never answered
    ASSERT_TRUE(EndsInTime([this] { Click(Ctl<TRadioGroup>(*Form, "rgServoMode")->Item(2)); }));
    ASSERT_TRUE(hangUp.Done());
    ExpectOneLostReport(path);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);  // the controller's mode is unknown
    ExpectDisconnected();
    EXPECT_FALSE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, AnIdleLineThatHangsUpIsSeenWithoutAnyCommand) {
    Connect();
    const std::string path = Sim->Path();
    Sim->HangUp();
    ExpectOneLostReport(path);
    ExpectDisconnected();
    EXPECT_EQ(Sim->FrameCount(), 0u);
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, AClickJustAfterTheLineWentGivesTheSameOneReport) {
    Connect();
    const std::string path = Sim->Path();
    Sim->HangUp();
    // Whichever sees it first, the event thread or the mode command's write.
    Click(Ctl<TRadioGroup>(*Form, "rgServoMode")->Item(2));
    ExpectOneLostReport(path);
    ExpectDisconnected();
    ExpectANewLineWorks();
}

TEST_F(TLineFaults, TheDeviceDisappearsWhileMeasuring) {
    Connect();
    const std::string path = Sim->Path();
    ChooseMode(2);
    // The controller's clock moves on while the measurement runs.
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [this] { Sim->AdvanceClock(20); });
    clock.start(10);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return Points() >= 3; }));
    // Once the clock stands still, two samples alike end the plotting.
    clock.stop();
    const size_t polls = Sim->FrameCount('V');
    ASSERT_TRUE(WaitFor([&] { return Sim->FrameCount('V') >= polls + 3; }));
    ASSERT_TRUE(LinkIdle());  // the last of those polls is answered, and plotted or not
    const int plotted = Points();
    Sim->HangUp();
    ExpectOneLostReport(path);
    EXPECT_FALSE(Form->Timer1->isActive());
    EXPECT_EQ(Form->FMeasureStopped, 1);
    // The chart keeps what was measured.
    EXPECT_EQ(Points(), plotted);
    ExpectDisconnected();
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
}

// A drive key held down (the keyboard repeats it) on a line that is gone:
// the first repeat that meets it ends the connection, the rest find the bar
// disabled. The user gets one report, not a stack of boxes.
TEST_F(TLineFaults, AKeyHeldDownOnADeadLineGivesOneReport) {
    Connect();
    const std::string path = Sim->Path();
    ASSERT_TRUE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    Sim->HangUp();
    constexpr int Repeats = 10;
    for (int i = 0; i < Repeats; ++i) {
        auto* press = new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        press->setTimestamp(quint64(i + 1));
        QCoreApplication::postEvent(Form.get(), press);
    }
    ExpectOneLostReport(path);
    EXPECT_LE(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256 + Repeats);
    ExpectDisconnected();
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
}
