// Servo mode, positions and the manual drive, driven as a user does against
// the simulated controller; the frames are read on the controller's side.
#include <optional>

#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"

using namespace testsupport;

namespace {

class TServoSim : public TSimWindowTest {
protected:
    // Stop and reset once what went before is answered: true when it sent nothing.
    bool StopSendsNothing() {
        if (!LinkIdle()) return false;
        Sim->ClearFrames();
        Click(Ctl<QPushButton>(*Form, "btnSTOP"));
        return FramesSettled().empty();
    }
};

// Connected to a controller left as it starts, before each test.
class TServoConnected : public TServoSim {
protected:
    void SetUp() override {
        TServoSim::SetUp();
        if (!HasFatalFailure()) Connect();
    }
};

struct TModeRow {
    int mode;
    bool drive;        // bar, "НОЛЬ" and the drive group
    bool setTarget;    // "Задать" of the target group
    bool velocityUnit; // unit group and pulses edit
    const char* caption;
};

const TModeRow ModeRows[] = {
    {0, true, false, false, " Управление (ШИМ) "},
    {1, true, false, false, " Управление (Крутящий момент) "},
    {2, true, false, true, " Управление (Скорость) "},
    {3, false, true, false, " В режиме \"Позиция\" недоступно "},
};

}  // namespace

TEST_F(TServoConnected, ControlsFollowEachModeTheUserChooses) {
    // From mode 0 the first row would not be a change; go round through 3 first.
    for (int step : {3, 0, 1, 2, 3}) {
        const TModeRow& row = ModeRows[step];
        SCOPED_TRACE(row.mode);
        Sim->ClearFrames();
        ChooseMode(row.mode);
        EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), row.mode);
        EXPECT_EQ(Sim->State().Mode, row.mode);
        const auto frames = FramesAfter(2);
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[0].Code, 'M');
        EXPECT_EQ(frames[0].Payload, std::vector<uint8_t>{uint8_t(row.mode)});
        EXPECT_EQ(frames[1].Code, 'm');
        EXPECT_EQ(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")), row.drive);
        EXPECT_EQ(OwnEnabled(Ctl<QToolButton>(*Form, "sbtnCenter")), row.drive);
        EXPECT_EQ(OwnEnabled(Ctl<QGroupBox>(*Form, "gboxSubCommand")), row.drive);
        EXPECT_EQ(OwnEnabled(Ctl<QPushButton>(*Form, "btnSetPosition")), row.setTarget);
        EXPECT_EQ(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")), row.velocityUnit);
        EXPECT_EQ(OwnEnabled(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")), row.velocityUnit);
        EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->title(), U(row.caption));
        EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->title().size(), QString::fromUtf8(row.caption).size());
        EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    }
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}

TEST_F(TServoSim, NoModeReportedLeavesTheDriveOnWithThePlainCaption) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "m"; });
    Connect();
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->title(), U(" Управление "));
    EXPECT_TRUE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    EXPECT_TRUE(OwnEnabled(Ctl<QToolButton>(*Form, "sbtnCenter")));
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSetPosition")));
    EXPECT_FALSE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")));
}

TEST_F(TServoConnected, SwitchWithTheBarOffCentreCentresItAndStillSetsTheMode) {
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    QTest::keyClick(Ctl<TTrackBar>(*Form, "tbarSubCommand"), Qt::Key_End);
    ASSERT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 511);
    ASSERT_TRUE(LinkIdle());  // the drive the key sent has reached the controller
    Sim->ClearFrames();
    ChooseMode(1);
    const auto frames = FramesAfter(3);
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(Codes(frames).substr(0, 3), "BMm");
    EXPECT_EQ(DriveValue(frames[0]), 0);
    EXPECT_EQ(frames[1].Payload, std::vector<uint8_t>{1});
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256);
    EXPECT_EQ(Sim->State().Mode, 1);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 1);
}

TEST_F(TServoConnected, ARefusedSwitchShowsTheReportedModeWithTheChosenControls) {
    ASSERT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "M"; });
    ChooseMode(3);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);  // what the controller reports
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->title(), U(" В режиме \"Позиция\" недоступно "));
    EXPECT_FALSE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    EXPECT_TRUE(Boxes->Boxes().empty());
}

TEST_F(TServoConnected, ARefusedModeQueryKeepsTheUsersChoiceSilently) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "m"; });
    ChooseMode(2);
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 2);
    EXPECT_EQ(Sim->State().Mode, 2);
}

TEST_F(TServoConnected, AnUnreadableModeReplyGivesUpAfterTenRetries) {
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "m";
        f.WrongStatus = uint8_t('?');
    });
    ChooseMode(2);
    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    EXPECT_EQ(Boxes->Boxes()[0].text, U("Нет ответа от устройства (10 retry)"));
    EXPECT_EQ(Boxes->Boxes()[0].title, "Error");
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    // The first query and eleven retries.
    EXPECT_EQ(OfCode(Sim->Frames(), 'm').size(), 12u);
}

TEST_F(TServoConnected, AnUnansweredModeQueryTimesOutAndClearsTheSelection) {
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "m";
        f.DropEvery = 1;
    });
    ChooseMode(1);
    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    EXPECT_EQ(Boxes->Boxes()[0].text, U("Нет ответа от устройства (timeout)"));
    EXPECT_EQ(Boxes->Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), "Timeout");
    // Stop and reset now does nothing until a mode is chosen again.
    EXPECT_TRUE(StopSendsNothing());
}

TEST_F(TServoSim, PositionsAreReadIntoTheirEdits) {
    Sim->SetPosition(42);
    Connect();
    Sim->SetPosition(-8388608);
    Sim->SetTarget(8388607);
    Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
    ASSERT_TRUE(WaitFor([this] { return Ctl<QLineEdit>(*Form, "edtPosition")->text() == "-8388608"; }));
    Click(Ctl<QPushButton>(*Form, "btnGetZ"));
    ASSERT_TRUE(WaitFor([this] { return Ctl<QLineEdit>(*Form, "edtPosTo")->text() == "8388607"; }));
    EXPECT_EQ(Codes(Sim->Frames()), "pz");
}

TEST_F(TServoSim, BadTargetTextIsMarkedAndNothingIsSent) {
    Sim->SetMode(3);
    Connect();
    for (const char* text : {"abc", ""}) {
        SCOPED_TRACE(text);
        Ctl<QLineEdit>(*Form, "edtPosTo")->clear();
        QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtPosTo"), text);
        Click(Ctl<QPushButton>(*Form, "btnSetPosition"));
        const QPalette marked = Ctl<QLineEdit>(*Form, "edtPosTo")->palette();
        EXPECT_EQ(marked.color(QPalette::Base), QColor(255, 0, 0));
        EXPECT_EQ(marked.color(QPalette::Text), QColor(255, 255, 255));
        EXPECT_TRUE(FramesSettled().empty());
        // Typing restores the system colours.
        QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtPosTo"), "1");
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text})
            EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosTo")->palette().color(QPalette::Active, role),
                      QApplication::palette(Ctl<QLineEdit>(*Form, "edtPosTo")).color(QPalette::Active, role));
    }
}

TEST_F(TServoSim, EveryMarkedEditRecoversWhenItsTextChanges) {
    for (QLineEdit* edit : {Ctl<QLineEdit>(*Form, "edtPosTo"), Ctl<QLineEdit>(*Form, "edtHistoryDepth"), Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter"),
                            Ctl<QLineEdit>(*Form, "edtTimerPeriod"), Ctl<QLineEdit>(*Form, "edtParam1"), Ctl<QLineEdit>(*Form, "edtParam2"),
                            Ctl<QLineEdit>(*Form, "edtParam3"), Ctl<QLineEdit>(*Form, "edtParam4"), Ctl<QLineEdit>(*Form, "edtParam5"), Ctl<QLineEdit>(*Form, "edtParam6"),
                            Ctl<QLineEdit>(*Form, "edtPosition")}) {
        Form->MarkInputError(edit);
        ASSERT_EQ(edit->palette().color(QPalette::Base), QColor(255, 0, 0));
        edit->setText(edit->text() + "7");  // as a reply or typing would
        EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Base),
                  QApplication::palette(edit).color(QPalette::Active, QPalette::Base));
    }
}

TEST_F(TServoSim, TheTargetIsTheEnteredDistanceFromAFreshPosition) {
    Sim->SetMode(3);
    Connect();
    Sim->SetPosition(5000);
    Ctl<QLineEdit>(*Form, "edtPosTo")->clear();
    QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtPosTo"), "100");
    Click(Ctl<QPushButton>(*Form, "btnSetPosition"));
    auto frames = FramesAfter(2);
    ASSERT_EQ(Codes(frames), "pP");
    EXPECT_EQ(Target24(frames[1]), 5100);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosTo")->text(), "100");
    ASSERT_TRUE(LinkIdle());

    // A target read back into the edit is again taken as a distance.
    Sim->ClearFrames();
    Sim->SetTarget(-300);
    Sim->SetPosition(1000);
    Click(Ctl<QPushButton>(*Form, "btnGetZ"));
    ASSERT_TRUE(WaitFor([this] { return Ctl<QLineEdit>(*Form, "edtPosTo")->text() == "-300"; }));
    Click(Ctl<QPushButton>(*Form, "btnSetPosition"));
    frames = FramesAfter(3);
    ASSERT_EQ(Codes(frames), "zpP");
    EXPECT_EQ(Target24(frames[2]), 700);
}

// The frame carries 24 bits: a sum past either end would wrap and send the
// motor towards the far end, so it is refused with a message instead.
TEST_F(TServoSim, ATargetBeyondTheWiresRangeIsMarkedAndNotSent) {
    Sim->SetMode(3);
    Connect();
    struct TCase {
        int32_t position;
        const char* distance;
        std::optional<int32_t> target;  // none: refused
    };
    const TCase cases[] = {
        {8388600, "7", 8388607},   {8388600, "8", {}},          {8388600, "100", {}},
        {-8388600, "-8", -8388608}, {-8388600, "-9", {}},       {0, "2147483647", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.distance);
        Boxes = std::make_unique<TBoxCloser>();
        Sim->ClearFrames();
        Sim->SetPosition(c.position);
        Ctl<QLineEdit>(*Form, "edtPosTo")->setText(c.distance);
        Click(Ctl<QPushButton>(*Form, "btnSetPosition"));
        const auto frames = FramesSettled();
        EXPECT_EQ(Marked(Ctl<QLineEdit>(*Form, "edtPosTo")), !c.target);
        if (c.target) {
            ASSERT_EQ(Codes(frames), "pP");
            EXPECT_EQ(Target24(frames[1]), *c.target);
            EXPECT_TRUE(Boxes->Texts().isEmpty());
            continue;
        }
        EXPECT_EQ(Codes(frames), "p");
        ASSERT_EQ(Boxes->Texts().size(), 1);
        EXPECT_TRUE(Boxes->Texts()[0].endsWith(U("вне диапазона от -8388608 до 8388607"))) << Boxes->Texts()[0].toStdString();
    }
}

TEST_F(TServoConnected, TheBarSendsItsPositionLessTheCentre) {
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    struct {
        Qt::Key key;
        int position;
        int16_t value;
    } const steps[] = {{Qt::Key_Home, 0, -256}, {Qt::Key_End, 511, 255}};
    for (const auto& step : steps) {
        Sim->ClearFrames();
        QTest::keyClick(Ctl<TTrackBar>(*Form, "tbarSubCommand"), step.key);
        EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), step.position);
        const auto drives = OfCode(FramesSettled(), 'B');
        ASSERT_FALSE(drives.empty());
        for (const sim::TFrame& frame : drives) EXPECT_EQ(DriveValue(frame), step.value);
        EXPECT_EQ(Sim->State().Drive, step.value);
    }
    // Back to the centre by the program: one change, value 0.
    Sim->ClearFrames();
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(256);
    const auto frames = FramesSettled();
    ASSERT_EQ(Codes(frames), "B");
    EXPECT_EQ(DriveValue(frames[0]), 0);
}

TEST_F(TServoConnected, TheBarMovedWhileATransactionIsPendingIsSentWhenItEnds) {
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "p";
        f.DelayMs = 400;
    });
    Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    QTest::keyClick(Ctl<TTrackBar>(*Form, "tbarSubCommand"), Qt::Key_PageDown);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 254);
    // Only the newest value waits, and it goes out once, after the reply.
    const auto frames = FramesSettled(600);
    ASSERT_EQ(Codes(frames), "pB");
    EXPECT_EQ(DriveValue(frames[1]), -2);
}

TEST_F(TServoConnected, CentreAtTheCentreStillSendsZeroOnce) {
    ASSERT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256);
    Click(Ctl<QToolButton>(*Form, "sbtnCenter"));
    const auto frames = FramesSettled();
    ASSERT_EQ(Codes(frames), "B");
    EXPECT_EQ(DriveValue(frames[0]), 0);

    // Away from the centre: the move sends 0, the direct call is refused.
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->setFocus();
    QTest::keyClick(Ctl<TTrackBar>(*Form, "tbarSubCommand"), Qt::Key_PageDown);
    ASSERT_TRUE(LinkIdle());  // the drive the key sent has reached the controller
    Sim->ClearFrames();
    Click(Ctl<QToolButton>(*Form, "sbtnCenter"));
    const auto again = FramesSettled();
    ASSERT_EQ(Codes(again), "B");
    EXPECT_EQ(DriveValue(again[0]), 0);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256);
}

TEST_F(TServoSim, StopAndResetCentresStopsTheMeasurementAndResendsTheMode) {
    Sim->SetMode(2);
    Connect();
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(Form->Measurement().Polling());
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(300);
    ASSERT_TRUE(LinkIdle());  // that drive, if the poll left the link free for it, is in
    Sim->ClearFrames();

    Click(Ctl<QPushButton>(*Form, "btnSTOP"));
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256);
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_TRUE(OwnEnabled(Ctl<QLineEdit>(*Form, "edtHistoryDepth")));
    EXPECT_TRUE(OwnEnabled(Ctl<QLineEdit>(*Form, "edtTimerPeriod")));
    EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")));
    EXPECT_TRUE(OwnEnabled(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")));
    EXPECT_TRUE(OwnEnabled(Ctl<QToolButton>(*Form, "sbtnCenter")));
    // The centring's drive command goes out unless a sample poll holds the
    // link at that moment; the mode always follows, last.
    const auto frames = FramesSettled();
    const auto modes = OfCode(frames, 'M');
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0].Payload, std::vector<uint8_t>{2});
    EXPECT_EQ(Codes(frames).back(), 'M');
    for (const sim::TFrame& drive : OfCode(frames, 'B')) EXPECT_EQ(DriveValue(drive), 0);
}

TEST_F(TServoSim, StopAndResetWithoutAModeDoesNothing) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "m"; });
    Connect();
    ASSERT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(Form->Measurement().Polling());
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(200);
    ASSERT_TRUE(LinkIdle());  // stop and reset meets no drive under way
    Click(Ctl<QPushButton>(*Form, "btnSTOP"));
    EXPECT_TRUE(Form->Measurement().Polling());
    EXPECT_TRUE(Form->Measurement().Running());
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 200);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));  // stop the polling before the checks of the wire
    EXPECT_TRUE(StopSendsNothing());
}

TEST_F(TServoSim, EnterInTheTargetEditRunsStopAndReset) {
    Sim->SetMode(3);
    Connect();
    Ctl<QLineEdit>(*Form, "edtPosTo")->setFocus();
    QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtPosTo"), "12");
    QTest::keyClick(Ctl<QLineEdit>(*Form, "edtPosTo"), Qt::Key_Return);
    const auto frames = FramesSettled();
    ASSERT_EQ(Codes(frames), "M");
    EXPECT_EQ(frames[0].Payload, std::vector<uint8_t>{3});
}

TEST_F(TServoConnected, EnterOnAnotherFocusedButtonPressesThatButton) {
    Ctl<QPushButton>(*Form, "btnGetPosition")->setFocus();
    QTest::keyClick(Ctl<QPushButton>(*Form, "btnGetPosition"), Qt::Key_Return);
    EXPECT_EQ(Codes(FramesSettled()), "p");
}
