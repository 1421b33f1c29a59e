// The fault matrix: the window against the simulated controller while the
// controller or the line misbehaves. Each case checks the same things: the
// action ends in bounded time without a crash, the window shows what the
// controller accepted (and nothing it did not), the user is told what went
// wrong, and the link takes the next command once the fault is gone.
#pragma once

#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QLineEdit>
#include <qcustomplot.h>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"

namespace faultmatrix {

using namespace testsupport;

// The longest any single action may take: the reply timer's second, one more
// for a failure that follows it, and room for a loaded machine.
constexpr int ActionLimitMs = 5000;

// Status panel 0 after a reply that did not carry "+".
inline QString RefusedNote(char code) { return U("Команда %1 отклонена").arg(QChar::fromLatin1(code)); }
inline QString UnreadableNote(char code) { return U("Неверный ответ (%1)").arg(QChar::fromLatin1(code)); }

// Hangs the controller's line up once it has received `frames` command
// frames, checking every millisecond from the event loop.
class THangUpAfter {
public:
    THangUpAfter(sim::TPtySimulator& sim, size_t frames) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, &sim, frames] {
            if (sim.FrameCount() < frames) return;
            sim.HangUp();
            FTimer.stop();
        });
        FTimer.start(1);
    }
    bool Done() const { return !FTimer.isActive(); }

private:
    QTimer FTimer;
};

class TFaultMatrix : public TSimWindowTest {
public:
    // The cases of a table reach the rig through these.
    using TWindowTest::Boxes;
    using TWindowTest::ChooseMode;
    using TWindowTest::Click;
    using TWindowTest::Connect;
    using TWindowTest::Connected;
    using TWindowTest::Form;
    using TWindowTest::SelectPort;
    using TWindowTest::LineQuiet;
    using TWindowTest::SetFaults;
    using TWindowTest::Sim;
    using TWindowTest::StartSimulator;

    QString Panel0() const { return Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0); }

    // Runs the action, then lets the transaction it left under way end.
    // False when either took longer than the limit.
    bool EndsInTime(const std::function<void()>& action) {
        QElapsedTimer clock;
        clock.start();
        action();
        const bool idle = WaitFor([this] { return testsupport::Parts(Form).Link->State() != lsPending; },
                                    ActionLimitMs);
        return idle && clock.elapsed() < ActionLimitMs;
    }

    // The fault is gone: a fresh reading of the actual position goes out, is
    // answered and shown, and the status panel is clear again.
    void ExpectNextCommandAccepted(int32_t position = 7654321) {
        Sim->SetFaults(sim::TFaults{});
        ASSERT_TRUE(LinkIdle());
        ASSERT_TRUE(LineQuiet());
        Sim->SetPosition(position);
        Click(Ctl<QPushButton>(*Form, "btnGetPosition"));
        EXPECT_TRUE(WaitFor([&] { return Ctl<QLineEdit>(*Form, "edtPosition")->text() == QString::number(position); }))
            << Ctl<QLineEdit>(*Form, "edtPosition")->text().toStdString();
        EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsDone);
        EXPECT_EQ(Panel0(), "");
    }

    std::string BoxList() const { return Boxes->Texts().join("; ").toStdString(); }
};

}  // namespace faultmatrix
