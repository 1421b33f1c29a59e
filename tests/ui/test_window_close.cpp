// Closing the window while one of its handlers still waits for a reply: the
// port closes at once, the handler ends quietly, and a window that deletes
// itself on close is deleted only after the handler has returned.
#include <QPointer>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

class TCloseWhileWaiting : public ::testing::Test {
protected:
    void SetUp() override {
        sim::TSimOptions options;
        options.Faults.DelayMs = 300;  // every reply late: the handler is caught waiting
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
    }
    // Shows the window with the controller's line chosen; false when it never showed.
    bool ShowOnTheLine(TMainForm& form) {
        AwaitProbeAnswers(form);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return false;
        Ctl<QComboBox>(form, "cbPort")->addItem(QString::fromStdString(Sim->Path()));
        Ctl<QComboBox>(form, "cbPort")->setCurrentIndex(Ctl<QComboBox>(form, "cbPort")->count() - 1);
        return true;
    }

    std::unique_ptr<TBoxCloser> Boxes = std::make_unique<TBoxCloser>();
    std::unique_ptr<sim::TPtySimulator> Sim;
};

}  // namespace

TEST_F(TCloseWhileWaiting, SelfDeletingWindowWaitsForTheHandler) {
    QPointer<TMainForm> form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    ASSERT_TRUE(ShowOnTheLine(*form));

    bool portClosedAtClose = false;
    bool aliveAfterClose = false;
    QTimer::singleShot(150, form, [&] {
        form->close();
        portClosedAtClose = !testsupport::Parts(form).UART->Enabled();
        PumpFor(50);  // a deletion not held back for the handler would happen in this spell
        aliveAfterClose = !form.isNull();
    });
    QTest::mouseClick(Ctl<QPushButton>(*form, "btnConnect"), Qt::LeftButton);
    // The click has returned: the handler is done, the window still exists
    // until the event loop takes the deferred deletion.
    EXPECT_TRUE(portClosedAtClose);
    EXPECT_TRUE(aliveAfterClose);
    EXPECT_TRUE(WaitFor([&] { return form.isNull(); }));
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}

TEST_F(TCloseWhileWaiting, OwnedWindowEndsTheSequenceQuietly) {
    auto form = std::make_unique<TMainForm>();
    ASSERT_TRUE(ShowOnTheLine(*form));
    QTimer::singleShot(150, form.get(), [&] { form->close(); });
    QTest::mouseClick(Ctl<QPushButton>(*form, "btnConnect"), Qt::LeftButton);

    EXPECT_TRUE(form->Closed());
    EXPECT_FALSE(testsupport::Parts(form).UART->Enabled());
    EXPECT_FALSE(form->isVisible());
    // The rest of the sequence was dropped with the port: no report, no box.
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    EXPECT_LT(Sim->FrameCount(), 9u);
    // Handlers no longer run once closed.
    Sim->ClearFrames();
    QTest::mouseClick(Ctl<QPushButton>(*form, "btnConnect"), Qt::LeftButton);
    EXPECT_FALSE(testsupport::Parts(form).UART->Enabled());
    EXPECT_EQ(Sim->ProbeCount(), 0u);
}

TEST_F(TCloseWhileWaiting, ClosingDuringTheModeSwitchEndsItsLoop) {
    sim::TFaults quick;
    Sim->SetFaults(quick);
    QPointer<TMainForm> form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    ASSERT_TRUE(ShowOnTheLine(*form));
    QTest::mouseClick(Ctl<QPushButton>(*form, "btnConnect"), Qt::LeftButton);
    ASSERT_TRUE(testsupport::Parts(form).UART->Enabled());

    sim::TFaults silentMode;
    silentMode.ReplyCodes = "m";
    silentMode.DropEvery = 1;
    Sim->SetFaults(silentMode);
    QTimer::singleShot(200, form, [&] { form->close(); });
    QTest::mouseClick(Ctl<TRadioGroup>(*form, "rgServoMode")->Item(2), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return form.isNull(); }));
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}
