// Closing the window while one of its handlers still waits for a reply: the
// port closes at once, the handler ends quietly, and a window that deletes
// itself on close is deleted only after the handler has returned.
#include <QPointer>

#include "WindowFixture.h"

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
    static void SelectPort(TMainForm& form, const std::string& path) {
        form.cbPort->addItem(QString::fromStdString(path));
        form.cbPort->setCurrentIndex(form.cbPort->count() - 1);
    }

    std::unique_ptr<TBoxCloser> Boxes = std::make_unique<TBoxCloser>();
    std::unique_ptr<sim::TPtySimulator> Sim;
};

}  // namespace

TEST_F(TCloseWhileWaiting, SelfDeletingWindowWaitsForTheHandler) {
    QPointer<TMainForm> form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    SelectPort(*form, Sim->Path());

    bool portClosedAtClose = false;
    bool aliveAfterClose = false;
    QTimer::singleShot(150, form, [&] {
        form->close();
        portClosedAtClose = !form->UART->Enabled();
        QTest::qWait(50);  // deferred deletions get their chance here
        aliveAfterClose = !form.isNull();
    });
    QTest::mouseClick(form->btnConnect, Qt::LeftButton);
    // The click has returned: the handler is done, the window still exists
    // until the event loop takes the deferred deletion.
    EXPECT_TRUE(portClosedAtClose);
    EXPECT_TRUE(aliveAfterClose);
    EXPECT_TRUE(WaitFor([&] { return form.isNull(); }));
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}

TEST_F(TCloseWhileWaiting, OwnedWindowEndsTheSequenceQuietly) {
    auto form = std::make_unique<TMainForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    SelectPort(*form, Sim->Path());
    QTimer::singleShot(150, form.get(), [&] { form->close(); });
    QTest::mouseClick(form->btnConnect, Qt::LeftButton);

    EXPECT_TRUE(form->Closed());
    EXPECT_FALSE(form->UART->Enabled());
    EXPECT_FALSE(form->isVisible());
    // The rest of the sequence was dropped with the port: no report, no box.
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
    EXPECT_LT(Sim->FrameCount(), 9u);
    // Handlers no longer run once closed.
    Sim->ClearFrames();
    QTest::mouseClick(form->btnConnect, Qt::LeftButton);
    EXPECT_FALSE(form->UART->Enabled());
    EXPECT_EQ(Sim->ProbeCount(), 0u);
}

TEST_F(TCloseWhileWaiting, ClosingDuringTheModeSwitchEndsItsLoop) {
    QPointer<TMainForm> form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    sim::TFaults quick;
    Sim->SetFaults(quick);
    SelectPort(*form, Sim->Path());
    QTest::mouseClick(form->btnConnect, Qt::LeftButton);
    ASSERT_TRUE(form->UART->Enabled());

    sim::TFaults silentMode;
    silentMode.ReplyCodes = "m";
    silentMode.DropEvery = 1;
    Sim->SetFaults(silentMode);
    QTimer::singleShot(200, form, [&] { form->close(); });
    QTest::mouseClick(form->rgServoMode->Item(2), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return form.isNull(); }));
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}
