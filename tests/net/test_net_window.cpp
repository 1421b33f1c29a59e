// The window through ser2net as a user meets it: the address typed in place
// of a device, "Подключить" filling every field, parameters written and read
// back, a live measurement, and an address where nobody answers.
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMessageBox>
#include <QPixmap>

#include "link/NumberText.h"
#include "tests/net/NetWindow.h"
#include "tests/support/WindowDriver.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace nettest;

namespace {

class NetWindow : public TNetMatrix {
protected:
    void SetUp() override {
        numtext::SetDecimalSeparator('.');
        TNetMatrix::SetUp();
    }
    void TearDown() override {
        TNetMatrix::TearDown();
        numtext::ResetDecimalSeparator();
    }
};

using TLiveNetWindow = TNetWindow<TLiveWindowTest>;
class NetMeasure : public TLiveNetWindow {};

std::array<QLineEdit*, 6> ParamEdits(TMainForm& form) {
    return {Ctl<QLineEdit>(form, "edtParam1"), Ctl<QLineEdit>(form, "edtParam2"), Ctl<QLineEdit>(form, "edtParam3"), Ctl<QLineEdit>(form, "edtParam4"), Ctl<QLineEdit>(form, "edtParam5"), Ctl<QLineEdit>(form, "edtParam6")};
}

}  // namespace

TEST_P(NetWindow, ConnectingFillsTheWindowAndParametersGoBothWays) {
    Sim->SetMode(2);
    Sim->SetPosition(-5000);
    Sim->SetParam(0, uint16_t(-7));
    ASSERT_NO_FATAL_FAILURE(ConnectThrough());
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), U("Контроллер: SRV2 servo ctl v1.4+"));
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), 2);
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPosition")->text(), "-5000");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "-7");
    EXPECT_FALSE(OwnEnabled(Ctl<QComboBox>(*Form, "cbPort"))) << "the port box is locked while connected";

    const char* const typed[] = {"-25536", "255", "1.5", "0.5", "-7", "65535"};
    const auto edits = ParamEdits(*Form);
    for (size_t i = 0; i < edits.size(); ++i) edits[i]->setText(U(typed[i]));
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "WWWWWW");
    EXPECT_EQ(Sim->State().Params, (sim::TParamSet{40000, 65280, 384, 128, 65529, 65535}));
    Sim->ClearFrames();
    for (QLineEdit* edit : edits) edit->clear();
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "RRRRRR");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), "-25536");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam3")->text(), "1.5");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam6")->text(), "65535");
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();

    Click(Ctl<QPushButton>(*Form, "btnDisconnect"));
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    ASSERT_NO_FATAL_FAILURE(ConnectThrough()) << "the server takes the next connection";
}

// Nobody listens there: the window says so, naming the address, and stays
// ready to connect; it was never frozen for longer than the open's limit.
TEST_P(NetWindow, AnAddressWhereNobodyListens) {
    const std::string address = Server.Address();
    Server.Stop();
    ASSERT_NO_FATAL_FAILURE(TypeAddress(address));
    QElapsedTimer clock;
    clock.start();
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }));
    const QString text = Boxes->Boxes()[0].text;
    EXPECT_TRUE(text.startsWith("Error accessing specified device (Error: 1225)")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(address))) << text.toStdString();
    EXPECT_TRUE(text.contains(U("не принимает соединения"))) << text.toStdString();
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
}

// The address written with the other mode's scheme. A Telnet server reached
// as socket:// would take each 0xFF of a frame for a command and hand the
// controller cut frames (a parameter written as -1 arrived as 22527): the
// open is refused before any frame is sent. A raw server reached as
// rfc2217:// never negotiates. Either way the box says which scheme to use.
TEST_P(NetWindow, AnAddressWithTheOtherModesSchemeIsRefusedWithAdvice) {
    const bool telnetServer = GetParam() == ser2net::EMode::Rfc2217;
    const std::string address = Server.Address();
    const std::string rest = address.substr(address.find("://"));
    const std::string crossed = (telnetServer ? "socket" : "rfc2217") + rest;
    ASSERT_NO_FATAL_FAILURE(TypeAddress(crossed));
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    ASSERT_TRUE(WaitFor([this] { return !Boxes->Boxes().empty(); }, 15000));
    const QString text = Boxes->Boxes()[0].text;
    EXPECT_TRUE(text.startsWith("Error accessing specified device (Error: 50)")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(crossed))) << text.toStdString();
    EXPECT_TRUE(text.contains(telnetServer ? U("подключайтесь через rfc2217://") : U("через socket://")))
        << text.toStdString();
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
    if (telnetServer) {
        EXPECT_TRUE(Sim->Frames().empty()) << "nothing reached the controller";
    }
    ASSERT_NO_FATAL_FAILURE(ConnectThrough()) << "the right scheme connects afterwards";
}

// Pictures for a person to look at: the address typed into "Другой порт…",
// and the message when nobody listens there. Only when SERVO_SCREENSHOT
// names the file to write.
TEST_P(NetWindow, PicturesOfTheAddressDialogAndARefusal) {
    const QString shot = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (shot.isEmpty() || GetParam() != ser2net::EMode::Rfc2217) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    const std::string address = Server.Address();
    Server.Stop();
    Boxes.reset();  // this test answers the boxes itself, once it has their pictures
    QPixmap dialogPicture, boxPicture;
    QTimer grabber;
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* dialog = qobject_cast<QInputDialog*>(modal)) {
            dialog->setTextValue(QString::fromStdString(address));
            dialogPicture = dialog->grab();
            dialog->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxPicture = box->grab();
            box->accept();
        }
    });
    grabber.start(20);
    QComboBox* portBox = Ctl<QComboBox>(*Form, "cbPort");
    const int other = portBox->findText(U("Другой порт…"));
    portBox->setCurrentIndex(other);
    emit portBox->activated(other);
    ASSERT_EQ(portBox->currentText(), QString::fromStdString(address));
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    ASSERT_TRUE(WaitFor([&] { return !boxPicture.isNull(); }));
    QString path = shot;
    EXPECT_TRUE(dialogPicture.save(path.replace(".png", "-address.png")));
    path = shot;
    EXPECT_TRUE(boxPicture.save(path.replace(".png", "-refused.png")));
}

TEST_P(NetMeasure, TheVelocityIsMeasuredLiveThroughTheServer) {
    ASSERT_NO_FATAL_FAILURE(ConnectThrough());
    Click(Ctl<TRadioGroup>(*Form, "rgServoMode")->Item(2));
    ASSERT_TRUE(WaitFor([this] { return OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")); }));
    ASSERT_TRUE(LinkIdle());
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(300);
    ASSERT_TRUE(WaitFor([&] { return Sim->State().Drive == 300 - 256; }));
    const size_t before = Sim->FrameCount('V');
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([&] { return Sim->FrameCount('V') >= before + 60; }, 60000));
    const QString shot = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (!shot.isEmpty() && GetParam() == ser2net::EMode::Rfc2217) {
        // A picture of the window measuring through the server, for a person to look at.
        QString path = shot;
        path.replace(".png", "-rfc2217.png");
        EXPECT_TRUE(Form->grab().save(path));
    }
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(LinkIdle());
    const std::vector<double> keys = Keys(testsupport::Parts(Form).Series1);
    const std::vector<double> command = Values(testsupport::Parts(Form).Series3);
    ASSERT_GE(keys.size(), 30u);
    for (size_t i = 1; i < keys.size(); ++i) EXPECT_GT(keys[i], keys[i - 1]) << i;
    // (300 - 256) x 250 / Kf 1.0 = 11000 pulses/s, in kilo-pulses.
    for (double c : command) EXPECT_DOUBLE_EQ(c, 11.0);
    const std::vector<double> actual = Values(testsupport::Parts(Form).Series1);
    EXPECT_GT(actual.back(), 5.0) << "the motor follows the command";
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ser2Net, NetWindow, Modes, ModeName);
INSTANTIATE_TEST_SUITE_P(Ser2Net, NetMeasure, Modes, ModeName);
