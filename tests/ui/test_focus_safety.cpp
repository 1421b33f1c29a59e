// Keys on a bench with a motor attached: a control that a handler disables
// hands the keyboard focus to the window, not to its neighbour, so Enter
// reaches the default button (stop and reset) and an arrow never lands on
// "Отключить" or in the servo-mode group; an arrow that drove the bar never
// also switches a radio group or moves the focus between buttons.
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TFocusWindow : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(Activate());
    }
    // Connects the way a user does: the click leaves the focus on "Подключить".
    void ConnectByClick() {
        Ctl<QPushButton>(*Form, "btnConnect")->setFocus();
        Connect();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(LinkIdle());
        Sim->ClearFrames();
    }
    void Press(Qt::Key key) { QTest::keyClick(Form->windowHandle(), key); }
    bool FocusOnWindow() const {
        QWidget* focus = QApplication::focusWidget();
        return focus == nullptr || focus == Form.get();
    }
    int Bar() const { return Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(); }
    std::string WireCodes() { return testsupport::Codes(FramesSettled()); }
    // Stop and reset sends the present mode again.
    bool ModeSent() {
        return WaitFor([this] { return Sim->FrameCount('M') > 0; }, 5000);
    }
    // Waits until the link is idle again and forgets what went out. Idle
    // means the last command was answered, so the controller has every frame.
    void Settle() {
        ASSERT_TRUE(LinkIdle());
        Sim->ClearFrames();
    }
};

// Connected as a user connects, before each test.
class TFocusSafety : public TFocusWindow {
protected:
    void SetUp() override {
        TFocusWindow::SetUp();
        if (!HasFatalFailure()) ConnectByClick();
    }
};

}  // namespace

TEST_F(TFocusSafety, AfterConnectingTheFocusIsOnTheWindowAndEnterStops) {
    EXPECT_TRUE(FocusOnWindow()) << "focus went to "
                                 << QApplication::focusWidget()->metaObject()->className();
    ChooseMode(0);
    Settle();
    Press(Qt::Key_Return);
    EXPECT_TRUE(testsupport::Parts(Form).UART->Enabled()) << "Enter disconnected";
    EXPECT_TRUE(ModeSent()) << "Enter did not run stop and reset: " << WireCodes();
}

TEST_F(TFocusSafety, ArrowsAfterConnectingDriveTheBarAndNeverSwitchTheMode) {
    const int mode = Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex();
    for (int i = 0; i < 3; ++i) {
        Press(Qt::Key_Right);
        ASSERT_TRUE(LinkIdle());
    }
    EXPECT_EQ(Bar(), 259);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), mode);
    EXPECT_EQ(WireCodes().find('M'), std::string::npos);
    EXPECT_TRUE(testsupport::Parts(Form).UART->Enabled());
}

TEST_F(TFocusSafety, AnArrowOnAFocusedRadioItemDrivesTheBarOnly) {
    ChooseMode(0);
    QTest::mouseClick(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(2), Qt::LeftButton);
    Settle();
    // The user deliberately puts the focus on the selected item of each radio
    // group: "ШИМ" has items to its right and below, "Bank 2" items above.
    for (TRadioGroup* group : {Ctl<TRadioGroup>(*Form, "rgServoMode"), Ctl<TRadioGroup>(*Form, "rgrpEEPROM")}) {
        const int selected = group->ItemIndex();
        QRadioButton* item = group->Item(selected);
        item->setFocus();
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up}) {
            Press(key);
            Settle();
            EXPECT_EQ(group->ItemIndex(), selected) << group->title().toStdString() << " key " << key;
            EXPECT_TRUE(item->hasFocus()) << group->title().toStdString() << " key " << key;
        }
    }
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);
    EXPECT_EQ(testsupport::OfCode(Sim->Frames(), 'M').size(), 0u);
}

TEST_F(TFocusSafety, AnArrowOnAFocusedButtonKeepsTheFocusThere) {
    ChooseMode(0);
    Settle();
    for (QPushButton* button : {Ctl<QPushButton>(*Form, "btnGetParams"), Ctl<QPushButton>(*Form, "btnDisconnect"), Ctl<QPushButton>(*Form, "btnGraph")}) {
        button->setFocus();
        const int before = Bar();
        Press(Qt::Key_Right);
        Settle();
        EXPECT_EQ(Bar(), before + 1) << button->text().toStdString();
        EXPECT_TRUE(button->hasFocus()) << button->text().toStdString();
    }
    EXPECT_TRUE(testsupport::Parts(Form).UART->Enabled());
}

TEST_F(TFocusSafety, EditsAndTheBarStillTakeTheArrows) {
    ChooseMode(0);
    Settle();
    Ctl<QLineEdit>(*Form, "edtPosTo")->setText(QStringLiteral("1234"));
    Ctl<QLineEdit>(*Form, "edtPosTo")->setFocus();
    Ctl<QLineEdit>(*Form, "edtPosTo")->setCursorPosition(4);
    Press(Qt::Key_Left);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosTo")->cursorPosition(), 3);
    EXPECT_EQ(Bar(), 255);
    Settle();
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    Press(Qt::Key_Right);
    EXPECT_EQ(Bar(), 257);  // once by the hook, once by the bar itself
}

TEST_F(TFocusSafety, AModeSwitchLeavesTheFocusOnTheWindow) {
    ChooseMode(0);  // the click puts the focus on the item; the switch disables the group
    Settle();
    EXPECT_FALSE(Ctl<TRadioGroup>(*Form, "rgServoMode")->Item(1)->hasFocus());
    Press(Qt::Key_Right);
    Settle();
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);
    EXPECT_EQ(Bar(), 257);  // 256 after the switch, then one step
}

TEST_F(TFocusSafety, F2WithABadPeriodLeavesTheFocusOnTheWindow) {
    ChooseMode(0);
    Settle();
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setFocus();
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->selectAll();
    QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtTimerPeriod"), QStringLiteral("abc"));
    Press(Qt::Key_F2);
    ASSERT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtTimerPeriod")));
    EXPECT_FALSE(Ctl<QPushButton>(*Form, "btnDisconnect")->hasFocus());
    Press(Qt::Key_Return);
    EXPECT_TRUE(testsupport::Parts(Form).UART->Enabled()) << "Enter disconnected";
    EXPECT_TRUE(ModeSent());
}

TEST_F(TFocusWindow, BeforeConnectingNoKeyActsWhereverTheFocusIs) {
    for (QWidget* focus : std::initializer_list<QWidget*>{Ctl<QComboBox>(*Form, "cbPort"), Ctl<QPushButton>(*Form, "btnConnect"), Form.get()}) {
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_F2, Qt::Key_F3,
                            Qt::Key_F11, Qt::Key_F12})
            Press(key);
    }
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_EQ(Bar(), 256);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_TRUE(Boxes->Texts().isEmpty());
}

TEST_F(TFocusSafety, StopLeavesArrowsOnTheBar) {
    ChooseMode(2);
    Settle();
    Ctl<QPushButton>(*Form, "btnSTOP")->setFocus();
    Press(Qt::Key_F3);
    Settle();
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    Settle();
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 2);
    EXPECT_EQ(Bar(), 258);
    EXPECT_TRUE(Ctl<QPushButton>(*Form, "btnSTOP")->hasFocus());
}
