// Fault matrix, the line itself: one table of what is under way when the
// controller's line goes (a connect, a read, a reply half in, a mode switch,
// nothing, a click, a measurement, a held key) and how it goes (after the
// controller took some frames, before the user acts, while a reply is
// coming in). Whatever the row, the window notices at once (the port's event
// thread sees the hang-up, or the first write that finds the line gone),
// closes the port, goes back to the disconnected state with the chart kept,
// tells the user once which device was lost, and a new line connects and works.
#include <QKeyEvent>

#include "chart/SeriesGraph.h"
#include "tests/e2e/FaultMatrix.h"
#include "tests/support/LinkInsight.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowParts.h"

using namespace faultmatrix;

namespace {

class TLineFaults;
using TStep = std::function<void(TLineFaults&)>;

// How the line goes: once the controller has received this many frames
// during the action, before the action (nothing under way), or the action
// hangs up itself at the moment it chose.
enum class ELoss { AfterFrames, BeforeAction, InsideAction };

struct TLineLoss {
    const char* name;
    TStep prepare;  // up to the moment before the user acts; connected unless it says otherwise
    ELoss loss;
    size_t frames;  // AfterFrames: frames the controller takes before the line goes
    TStep act;
    TStep check;    // what the row shows beyond what every row shows
};

void PrintTo(const TLineLoss& row, std::ostream* os) { *os << row.name; }

class TLineFaults : public TFaultMatrix, public ::testing::WithParamInterface<TLineLoss> {
public:
    using TWindowTest::LinkIdle;

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
        EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
        EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Связь потеряна"));
        EXPECT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->isEnabled());
        EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
        EXPECT_TRUE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort")));
        EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
        EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSTOP")));
        EXPECT_FALSE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    }
    // Another line and controller: connecting works, and so does a command.
    void ExpectANewLineWorks() {
        StartSimulator();
        Sim->SetPosition(31337);
        Connect();
        EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "31337");
        ExpectNextCommandAccepted();
    }
    int Points() const { return testsupport::Parts(Form).Series1->History().Count(); }
    template <typename W>
    W* C(const char* name) { return Ctl<W>(*Form, name); }
    int Mode() { return C<TRadioGroup>("rgServoMode")->ItemIndex(); }
    QString Text(const char* edit) { return C<QLineEdit>(edit)->text(); }
    void Delay(uint32_t ms) { SetFaults([ms](sim::TFaults& f) { f.DelayMs = ms; }); }
    using TFaultMatrix::EndsInTime;

    int PlottedBeforeLoss = 0;
    QTimer Clock;  // the controller's clock, for the measuring row
};

const TLineLoss LineLosses[] = {
    {"ConnectSequenceAtThePositionQuery",
     [](TLineFaults& t) { t.Delay(200); }, ELoss::AfterFrames, 3,
     [](TLineFaults& t) {
         t.SelectPort(t.Sim->Path());
         t.Click(t.C<QPushButton>("btnConnect"));
     },
     // What was accepted before the line went is shown; what was not read is empty.
     [](TLineFaults& t) {
         EXPECT_EQ(t.Mode(), 0);
         EXPECT_EQ(t.Text("edtPosition"), "");
         EXPECT_EQ(t.Text("edtParam1"), "");
     }},
    {"ReadingTheParameters",
     [](TLineFaults& t) {
         t.Connect();
         t.Sim->SetParam(0, 901);
         t.Sim->SetParam(1, 512);
         t.Delay(100);
     },
     ELoss::AfterFrames, 2,  // the second read is never answered
     [](TLineFaults& t) { t.Click(t.C<QPushButton>("btnGetParams")); },
     [](TLineFaults& t) {
         EXPECT_EQ(t.Text("edtParam1"), "901");  // accepted before the line went
         EXPECT_EQ(t.Text("edtParam2"), "");     // never answered: nothing stale shown
     }},
    {"AReplyHalfIn",
     [](TLineFaults& t) {
         t.Sim->SetPosition(100);
         t.Connect();
         t.Sim->SetPosition(0x030201);
         // A byte every 300 ms: the reply is still coming in long after its
         // first byte, however late this thread sees that byte.
         t.SetFaults([](sim::TFaults& f) { f.ChunkBytes = 1; f.ChunkGapMs = 300; });
     },
     ELoss::InsideAction, 0,
     [](TLineFaults& t) {
         t.Click(t.C<QPushButton>("btnGetPosition"));
         ASSERT_TRUE(WaitFor([&t] { return Inside(*testsupport::Parts(t.Form).Link).FReplyCount >= 1; }));
         ASSERT_EQ(testsupport::Parts(t.Form).Link->State(), lsPending);
         t.Sim->HangUp();
     },
     [](TLineFaults& t) {
         EXPECT_NE(testsupport::Parts(t.Form).Link->State(), lsPending);
         EXPECT_EQ(t.Text("edtPosition"), "100");  // half a reply shows nothing
     }},
    {"TheModeSwitchWithoutItsOwnMessages",
     [](TLineFaults& t) {
         t.Connect();
         t.Delay(200);
     },
     ELoss::AfterFrames, 1,  // the set-mode command is never answered
     [](TLineFaults& t) { t.Click(t.C<TRadioGroup>("rgServoMode")->Item(2)); },
     [](TLineFaults& t) { EXPECT_EQ(t.Mode(), -1); }},  // the controller's mode is unknown
    {"NothingSeenWithoutAnyCommand", [](TLineFaults& t) { t.Connect(); }, ELoss::BeforeAction, 0,
     [](TLineFaults&) {}, [](TLineFaults& t) { EXPECT_EQ(t.Sim->FrameCount(), 0u); }},
    // Whichever sees it first, the event thread or the mode command's write.
    {"AClickJustAfter", [](TLineFaults& t) { t.Connect(); }, ELoss::BeforeAction, 0,
     [](TLineFaults& t) { t.Click(t.C<TRadioGroup>("rgServoMode")->Item(2)); }, [](TLineFaults&) {}},
    {"AMeasurement",
     [](TLineFaults& t) {
         t.Connect();
         t.ChooseMode(2);
         // The controller's clock moves on while the measurement runs.
         QObject::connect(&t.Clock, &QTimer::timeout, [&t] { t.Sim->AdvanceClock(20); });
         t.Clock.start(10);
         t.Click(t.C<QPushButton>("btnGraph"));
         ASSERT_TRUE(WaitFor([&t] { return t.Points() >= 3; }));
         // Once the clock stands still, two samples alike end the plotting.
         t.Clock.stop();
         const size_t polls = t.Sim->FrameCount('V');
         ASSERT_TRUE(WaitFor([&] { return t.Sim->FrameCount('V') >= polls + 3; }));
         ASSERT_TRUE(t.LinkIdle());  // the last of those polls is answered, and plotted or not
         t.PlottedBeforeLoss = t.Points();
     },
     ELoss::BeforeAction, 0, [](TLineFaults&) {},
     [](TLineFaults& t) {
         EXPECT_FALSE(t.Form->Measurement().Polling());
         EXPECT_FALSE(t.Form->Measurement().Running());
         EXPECT_EQ(t.Points(), t.PlottedBeforeLoss);  // the chart keeps what was measured
     }},
    // A drive key held down (the keyboard repeats it): the first repeat that
    // meets the dead line ends the connection, the rest find the bar disabled.
    {"ADriveKeyHeldDown",
     [](TLineFaults& t) {
         t.Connect();
         ASSERT_TRUE(OwnEnabled(t.C<TTrackBar>("tbarSubCommand")));
     },
     ELoss::BeforeAction, 0,
     [](TLineFaults& t) {
         for (int i = 0; i < 10; ++i) {
             auto* press = new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
             press->setTimestamp(quint64(i + 1));
             QCoreApplication::postEvent(t.Form.get(), press);
         }
     },
     [](TLineFaults& t) { EXPECT_LE(t.C<TTrackBar>("tbarSubCommand")->Position(), 256 + 10); }},
};

}  // namespace

TEST_P(TLineFaults, TheLossIsToldOnceAndANewLineWorks) {
    const TLineLoss& row = GetParam();
    const std::string path = Sim->Path();
    ASSERT_NO_FATAL_FAILURE(row.prepare(*this));
    std::optional<THangUpAfter> hangUp;
    if (row.loss == ELoss::AfterFrames) hangUp.emplace(*Sim, Sim->FrameCount() + row.frames);
    if (row.loss == ELoss::BeforeAction) Sim->HangUp();
    ASSERT_TRUE(EndsInTime([&] { ASSERT_NO_FATAL_FAILURE(row.act(*this)); }));
    if (hangUp) {
        ASSERT_TRUE(hangUp->Done());
    }
    ExpectOneLostReport(path);
    row.check(*this);
    ExpectDisconnected();
    ExpectANewLineWorks();
    EXPECT_EQ(Boxes->Boxes().size(), 1u) << BoxList();
}

INSTANTIATE_TEST_SUITE_P(Matrix, TLineFaults, ::testing::ValuesIn(LineLosses),
                         [](const auto& test) { return std::string(test.param.name); });
