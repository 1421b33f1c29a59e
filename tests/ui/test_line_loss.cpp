// A device that goes away (the far end of the pty closes, as a pulled cable):
// the window stops measuring, closes the port, goes back to the disconnected
// state with the chart kept, and says once, naming the device, that the link
// is lost; whatever it was doing ends without further boxes, and connecting
// again works once a device is back.
#include "ChartReaders.h"
#include "WindowFixture.h"

using namespace testsupport;

namespace {

class TLineLoss : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        Path = Sim->Path();
        Connect();
    }
    bool Disconnected() const {
        return !Form->UART->Enabled() && OwnEnabled(Form->btnConnect) &&
               !OwnEnabled(Form->btnDisconnect) && OwnEnabled(Form->cbPort) &&
               !OwnEnabled(Form->btnSTOP) && !OwnEnabled(Form->tbarSubCommand) &&
               !OwnEnabled(Form->gboxParams);
    }
    QString LostText() const {
        return U("Связь с %1 потеряна (устройство отключено)").arg(QString::fromStdString(Path));
    }
    // Waits (generously) for the window to have told the user.
    void ExpectToldOnce() {
        ASSERT_TRUE(WaitFor([this] { return !Boxes->Texts().isEmpty(); }, 8000))
            << "no message";
        PumpFor(300);  // a further box would come in this spell
        EXPECT_EQ(Boxes->Texts(), QStringList{LostText()});
        EXPECT_TRUE(Disconnected());
    }

    std::string Path;
};

}  // namespace

TEST_F(TLineLoss, AnIdleLineThatHangsUpIsSeenWithoutAnyCommand) {
    Sim->HangUp();
    ExpectToldOnce();
}

TEST_F(TLineLoss, AMeasurementStopsAndKeepsItsPoints) {
    Click(Form->btnGraph);
    ASSERT_TRUE(WaitFor([this] { return Form->Series1->History().Count() >= 5; }, 8000));
    Sim->HangUp();
    ExpectToldOnce();
    EXPECT_EQ(Form->FMeasureStopped, 1);
    EXPECT_FALSE(Form->Timer1->isActive());
    const int points = Form->Series1->History().Count();
    EXPECT_GE(points, 5);
    PumpFor(100);  // a stray tick would plot in this spell
    EXPECT_EQ(Form->Series1->History().Count(), points);
}

TEST_F(TLineLoss, AReadUnderWayEndsWithoutFurtherBoxes) {
    SetFaults([](sim::TFaults& f) { f.DelayMs = 400; });
    // The hang-up comes while "Получить" waits for the first parameter.
    QTimer::singleShot(100, [this] { Sim->HangUp(); });
    Click(Form->btnGetParams);
    ExpectToldOnce();
    EXPECT_TRUE(Form->Link->LineLost());
}

TEST_F(TLineLoss, AModeSwitchUnderWayEndsWithoutItsOwnMessages) {
    SetFaults([](sim::TFaults& f) { f.DelayMs = 400; });
    QTimer::singleShot(100, [this] { Sim->HangUp(); });
    Click(Form->rgServoMode->Item(2));
    ExpectToldOnce();
    EXPECT_FALSE(OwnEnabled(Form->rgServoMode));
}

TEST_F(TLineLoss, ConnectingAgainWorksOnceADeviceIsBack) {
    Sim->HangUp();
    ExpectToldOnce();
    auto back = std::make_unique<sim::TPtySimulator>();
    std::string error;
    ASSERT_TRUE(back->Start(&error)) << error;
    Form->cbPort->addItem(QString::fromStdString(back->Path()));
    Form->cbPort->setCurrentIndex(Form->cbPort->count() - 1);
    Click(Form->btnConnect);
    EXPECT_TRUE(Form->UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Form->btnDisconnect));
    EXPECT_FALSE(Form->Link->LineLost());
    EXPECT_EQ(Boxes->Texts().size(), 1);
    Form.reset();  // closes the port before its device goes
}
