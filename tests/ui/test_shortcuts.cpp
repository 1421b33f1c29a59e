// The keyboard shortcuts: each acts once per key press wherever the focus is,
// also with a message box open, only while its control is enabled, and the
// press still reaches the focused control.
#include <QMenu>
#include <QMessageBox>
#include <qcustomplot.h>

#include "chart/ChartMenu.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TShortcuts : public TConnectedWindowTest<0> {
protected:
    void SetUp() override {
        TConnectedWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(Activate());
        Ctl<QLineEdit>(*Form, "edtPosTo")->setFocus();  // an edit that lets these keys travel on
        Sim->ClearFrames();
    }
    // A key pressed and released on the keyboard: delivered through the
    // window that has the focus, as the window system delivers it.
    void Press(Qt::Key key, QWidget* window = nullptr) {
        QWidget* target = window ? window : Form.get();
        QTest::keyClick(target->windowHandle(), key);
    }
    int Bar() const { return Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(); }
    void SetBarIdle(int position) {
        Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(position);
        ASSERT_TRUE(LinkIdle());
        Sim->ClearFrames();
    }
    std::vector<int16_t> Drives() {
        std::vector<int16_t> values;
        for (const sim::TFrame& frame : OfCode(FramesSettled(), 'B'))
            values.push_back(testsupport::DriveValue(frame));
        return values;
    }
};

}  // namespace

TEST_F(TShortcuts, ArrowsStepTheBarOnceAndSendTheDrive) {
    Press(Qt::Key_Left);
    EXPECT_EQ(Bar(), 255);
    EXPECT_EQ(Drives(), std::vector<int16_t>{-1});
    ASSERT_TRUE(LinkIdle());
    Sim->ClearFrames();
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);  // the second comes while the first drive is pending
    EXPECT_EQ(Bar(), 257);
    EXPECT_FALSE(Drives().empty());
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosTo")->hasFocus(), true);  // the focus stays where it was
}

TEST_F(TShortcuts, ArrowsStopAtTheEndsOfTheBar) {
    SetBarIdle(0);
    Press(Qt::Key_Left);
    EXPECT_EQ(Bar(), 0);
    SetBarIdle(511);
    Press(Qt::Key_Right);
    EXPECT_EQ(Bar(), 511);
    EXPECT_TRUE(Drives().empty());
}

TEST_F(TShortcuts, DownNeverActs) {
    SetBarIdle(300);
    Press(Qt::Key_Down);
    EXPECT_EQ(Bar(), 300);
    EXPECT_TRUE(FramesSettled().empty());
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    Press(Qt::Key_Down);  // the bar's own key moves it; the hook adds nothing
    const int afterOwnKey = Bar();
    EXPECT_LE(std::abs(afterOwnKey - 300), 1);
    EXPECT_FALSE(Form->Measurement().Running());
}

TEST_F(TShortcuts, ArrowsDoNothingWhileTheBarIsDisabled) {
    ChooseMode(3);
    ASSERT_FALSE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    ASSERT_TRUE(LinkIdle());
    Sim->ClearFrames();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up}) Press(key);
    EXPECT_EQ(Bar(), 256);
    EXPECT_TRUE(FramesSettled().empty());
}

TEST_F(TShortcuts, UpCentresTheBarAndSendsZeroOnceAlsoAtTheCentre) {
    for (int from : {256, 290}) {
        SCOPED_TRACE(from);
        SetBarIdle(from);
        Press(Qt::Key_Up);
        EXPECT_EQ(Bar(), 256);
        EXPECT_EQ(Drives(), std::vector<int16_t>{0});
    }
}

TEST_F(TShortcuts, WithTheBarFocusedOneLeftMovesItTwice) {
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    ASSERT_TRUE(Ctl<TTrackBar>(*Form, "tbarSubCommand")->hasFocus());
    Press(Qt::Key_Left);
    EXPECT_EQ(Bar(), 254);
}

TEST_F(TShortcuts, FunctionKeysToggleTheMeasurementOncePerPressAndF11StopsIt) {
    ChooseMode(2);
    Press(Qt::Key_F2);
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_TRUE(Form->Measurement().Polling());
    Press(Qt::Key_F12);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    // Sent straight to a widget that lets it travel up to the window.
    QTest::keyClick(Ctl<QGroupBox>(*Form, "gboxParams"), Qt::Key_F2);
    EXPECT_TRUE(Form->Measurement().Running());
    QTest::keyClick(Ctl<QLineEdit>(*Form, "edtParam2"), Qt::Key_F2);
    EXPECT_FALSE(Form->Measurement().Running());
    // F11 is stop and reset too.
    Press(Qt::Key_F2);
    ASSERT_TRUE(Form->Measurement().Polling());
    Press(Qt::Key_F11);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
}

TEST_F(TShortcuts, StopAndResetRunsEvenWithAMessageBoxOpen) {
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(Form->Measurement().Running());
    Boxes.reset();  // this test answers its box itself
    bool seenOpen = false;
    // Should the box not be found, close it anyway so the test ends.
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    });
    fallback.start(5000);
    QTimer::singleShot(0, &fallback, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenOpen = box->isVisible();
        Press(Qt::Key_F3, box);
        // Still open: the hook did not take the key for itself.
        EXPECT_TRUE(box->isVisible());
        box->button(QMessageBox::Ok)->click();
    });
    Sim->ClearFrames();
    Form->ShowError(U("Проверка"));
    EXPECT_TRUE(seenOpen);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_FALSE(Form->Measurement().Polling());
    // Stop and reset sends the present mode again.
    ASSERT_TRUE(WaitFor([this] { return !OfCode(Sim->Frames(), 'M').empty(); }));
    EXPECT_EQ(OfCode(Sim->Frames(), 'M').back().Payload, Bytes({2}));
}

TEST_F(TShortcuts, F3WithNoModeSelectedDoesNothing) {
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(Form->Measurement().Running());
    Ctl<TRadioGroup>(*Form, "rgServoMode")->SetItemIndex(-1);
    Press(Qt::Key_F3);
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_TRUE(Form->Measurement().Polling());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TShortcuts, NothingActsWhileDisconnected) {
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    ASSERT_FALSE(testsupport::Parts(Form).UART->Enabled());
    for (Qt::Key key : {Qt::Key_F2, Qt::Key_F12, Qt::Key_F3, Qt::Key_F11, Qt::Key_Left,
                        Qt::Key_Right, Qt::Key_Up})
        Press(key);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_EQ(Bar(), 256);
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_TRUE(Boxes->Boxes().empty());
}

// A click gives the chart the focus (so the Menu key opens its menu there);
// every shortcut still acts, arrows drive the bar, Enter stops and resets.
TEST_F(TShortcuts, WithTheChartFocusedTheKeysStillActAndTheMenuKeyOpensItsMenu) {
    ChooseMode(2);
    ASSERT_TRUE(LinkIdle());
    const QPoint plot = Ctl<QCustomPlot>(*Form, "Chart1")->mapTo(Form.get(), Ctl<QCustomPlot>(*Form, "Chart1")->axisRect()->rect().center());
    QTest::mouseClick(Form->windowHandle(), Qt::LeftButton, {}, plot);
    ASSERT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->hasFocus());
    Sim->ClearFrames();

    Press(Qt::Key_Menu);
    QMenu* menu = testsupport::Parts(Form).ChartMenu->Menu();
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([menu] { return !menu->isVisible(); }));
    ASSERT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->hasFocus());

    Press(Qt::Key_Left);
    EXPECT_EQ(Bar(), 255);
    Press(Qt::Key_Up);
    EXPECT_EQ(Bar(), 256);
    Press(Qt::Key_F2);
    EXPECT_TRUE(Form->Measurement().Running());
    Press(Qt::Key_F12);
    EXPECT_FALSE(Form->Measurement().Running());
    ASSERT_TRUE(LinkIdle());
    SetBarIdle(300);
    Press(Qt::Key_Return);  // stop and reset: the bar to its centre, the mode sent again
    EXPECT_EQ(Bar(), 256);
    ASSERT_TRUE(WaitFor([this] { return !OfCode(Sim->Frames(), 'M').empty(); }));
    EXPECT_TRUE(Ctl<QCustomPlot>(*Form, "Chart1")->hasFocus());
}

// Quick presses while measuring at 1 ms on a line paced like the real one:
// a press that meets a pending poll is sent when the poll is over, so after
// every burst the controller holds what the bar shows; Up and stop-and-reset
// leave it at 0 however busy the link was.
TEST_F(TShortcuts, NoDriveValueIsLostWhileMeasuring) {
    SetFaults([](sim::TFaults& f) { f.BaudRate = 38400; });
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("1");
    Press(Qt::Key_F2);
    ASSERT_TRUE(Form->Measurement().Polling());
    const auto controllerAt = [this](int value) {
        return WaitFor([this, value] { return Sim->State().Drive == value; });
    };
    for (int burst = 0; burst < 6; ++burst) {
        for (int i = 0; i < 7; ++i) Press(burst % 2 ? Qt::Key_Left : Qt::Key_Right);
        ASSERT_TRUE(controllerAt(Bar() - 256)) << "burst " << burst << ": " << Sim->State().Drive;
    }
    Press(Qt::Key_Right);
    Press(Qt::Key_Up);
    EXPECT_EQ(Bar(), 256);
    ASSERT_TRUE(controllerAt(0));
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    Press(Qt::Key_F3);
    ASSERT_TRUE(controllerAt(0));
    EXPECT_EQ(Codes(FramesSettled()).back(), 'M');  // the mode follows the zero, as the stop sends it
}
