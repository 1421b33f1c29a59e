// Connecting and disconnecting as the user does it: against a line with no
// controller, against the simulated controller, and a second press of
// "Подключить" while the connect sequence still waits.
#include <QLineEdit>
#include <QToolButton>

#include "link/NumberText.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

using TConnectNoController = TWindowTest;
using TConnectSim = TSimWindowTest;

TEST_F(TConnectNoController, ReportsNoControllerAndStaysDisconnected) {
    TPtyPair line;
    ASSERT_FALSE(line.SlavePath().empty());
    SelectPort(line.SlavePath());
    Click(Ctl<QPushButton>(*Form, "btnConnect"));

    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    const TBoxRecord& box = Boxes->Boxes()[0];
    EXPECT_EQ(box.text, U("Контроллер не найден"));
    EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
    EXPECT_TRUE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort")));
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSTOP")));
}

TEST_F(TConnectNoController, APortThatCannotOpenGoesToTheDefaultReport) {
    SelectPort("/nonexistent/ttyNothing");
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    EXPECT_EQ(Boxes->Boxes()[0].title, QCoreApplication::applicationName());
    EXPECT_EQ(Boxes->Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(Boxes->Boxes()[0].text.contains("(Error: ")) << Boxes->Boxes()[0].text.toStdString();
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
}

TEST_F(TConnectSim, FillsTheWindowAndEnablesItByMode) {
    Sim->SetMode(2);
    Sim->SetPosition(-1234);
    Sim->SetParam(0, 0xFFFF);
    Sim->SetParam(1, 384);
    Sim->SetParam(5, 65535);
    SelectPort(Sim->Path());
    Click(Ctl<QPushButton>(*Form, "btnConnect"));

    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    EXPECT_EQ(Codes(Sim->Frames()), "ImpRRRRRR");
    EXPECT_TRUE(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1).startsWith(U("Контроллер: ")));
    EXPECT_GT(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1).size(), U("Контроллер: ").size());
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 2);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "-1234");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "-1");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam2")->text(), QString("1") + numtext::DecimalSeparator() + "5");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam6")->text(), "65535");
    // Connected: the connection buttons swap, the rest follows the mode rule.
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
    EXPECT_FALSE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort")));
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSTOP")));
    EXPECT_TRUE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    EXPECT_TRUE(OwnEnabled(Ctl<QToolButton>(*Form, "sbtnCenter")));
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnSetPosition")));
    EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")));
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->title(), U(" Управление (Скорость) "));
}

TEST_F(TConnectSim, SecondConnectDuringTheSequenceIsReportedAndTheSequenceGoesOn) {
    // Slow replies, yet all nine well within the one reply-timer period that
    // the first send starts (the timer is not restarted by the later sends).
    SetFaults([](sim::TFaults& f) { f.DelayMs = 20; });
    SelectPort(Sim->Path());
    // Pressed again while the first press still waits for its replies: once
    // the controller has the second frame, from the first press's own waits.
    QTimer secondPress;
    QObject::connect(&secondPress, &QTimer::timeout, [&] {
        if (Sim->FrameCount() < 2) return;
        secondPress.stop();
        Click(Ctl<QPushButton>(*Form, "btnConnect"));
    });
    secondPress.start(1);
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_FALSE(secondPress.isActive()) << "the second press never came";

    ASSERT_EQ(Boxes->Boxes().size(), 1u);
    const TBoxRecord& box = Boxes->Boxes()[0];
    EXPECT_EQ(box.title, QCoreApplication::applicationName());
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(box.text.startsWith("Port already assigned (open)")) << box.text.toStdString();
    EXPECT_EQ(Codes(Sim->Frames()), "ImpRRRRRR");
    EXPECT_TRUE(Connected());
}

TEST_F(TConnectSim, DisconnectDisablesAndAReconnectRunsTheWholeSequence) {
    Connect();
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
    EXPECT_TRUE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort")));
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    EXPECT_FALSE(OwnEnabled(Ctl<TTrackBar>(*Form, "tbarSubCommand")));
    EXPECT_FALSE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")));
    // Nothing else is reset.
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);
    EXPECT_FALSE(Ctl<QLineEdit>(*Form, "edtParam1")->text().isEmpty());

    Sim->SetPosition(77);
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(Codes(Sim->Frames()), "ImpRRRRRR");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "77");
}

TEST_F(TConnectSim, TheSimulatorEntryConnectsThroughTheSameWorkflow) {
    Ctl<QComboBox>(*Form, "cbPort")->setCurrentIndex(Ctl<QComboBox>(*Form, "cbPort")->findText(U("Симулятор")));
    ASSERT_EQ(Ctl<QComboBox>(*Form, "cbPort")->currentText(), U("Симулятор"));
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    EXPECT_TRUE(QString::fromStdString(testsupport::Parts(Form).UART->DeviceName()).startsWith("/dev/pts/"));
    EXPECT_TRUE(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1).startsWith(U("Контроллер: ")));
    // The built-in controller is started once and kept across reconnects.
    const std::string device = testsupport::Parts(Form).UART->DeviceName();
    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(testsupport::Parts(Form).UART->DeviceName(), device);
}

TEST_F(TConnectSim, ATimedOutStepStopsTheReadAndEmptiesWhatItDidNotRead) {
    SetFaults([](sim::TFaults& f) {
        f.ReplyCodes = "p";
        f.DropEvery = 1;
    });
    Ctl<QLineEdit>(*Form, "edtPosition")->setText("old");
    Ctl<QLineEdit>(*Form, "edtParam1")->setText("old");
    SelectPort(Sim->Path());
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(Codes(FramesSettled()), "Imp");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "");
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 0);  // read before the failed step
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), U("Нет ответа: p"));
}
