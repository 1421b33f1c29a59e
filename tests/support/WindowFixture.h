// The window tests' fixture: a shown main window (destroyed, its port closed,
// after each test), a closer that answers every message box and keeps what it
// said, and, when the test asks for one, a simulated controller on a pty. The
// controller runs on a stepped clock (positions stay where a test puts them)
// or on the wall clock (the motor moves, as for a user).
// Header only: the programs that include it link the window's library.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "chart/SeriesGraph.h"
#include "sim/PtySimulator.h"
#include "tests/support/PopupDriver.h"
#include "tests/support/PtyPair.h"
#include "tests/support/SimFrames.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"
#include "window/MainUnit.h"
#include "window/OwnEnabled.h"
#include "window/RadioGroup.h"
#include "window/StatusBar.h"
#include "window/TrackBar.h"
#include "tests/support/WindowParts.h"

namespace testsupport {

inline QString U(const char* text) { return QString::fromUtf8(text); }

struct TBoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Presses OK on every message box that comes up, as a user would, and keeps
// what each box showed.
class TBoxCloser {
public:
    TBoxCloser() {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(20);
    }
    const std::vector<TBoxRecord>& Boxes() const { return FBoxes; }
    QStringList Texts() const {
        QStringList texts;
        for (const TBoxRecord& box : FBoxes) texts << box.text;
        return texts;
    }

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        FBoxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
        else box->reject();
    }
    QTimer FTimer;
    std::vector<TBoxRecord> FBoxes;
};

// Answers the next input dialog as a person would: types and presses Enter,
// or presses Escape when there is nothing to type. Keeps the dialog's texts.
class TDialogAnswer {
public:
    explicit TDialogAnswer(std::optional<QString> text)
        : FModal([this, text](QInputDialog& dialog) {
              Asked = dialog.windowTitle() + "|" + dialog.labelText();
              auto* edit = dialog.findChild<QLineEdit*>();
              if (text) QTest::keyClicks(edit, *text);
              QTest::keyClick(edit, text ? Qt::Key_Return : Qt::Key_Escape);
          }) {}
    QString Asked;  // caption and label, once answered

private:
    TModalAnswer<QInputDialog> FModal;
};

// The connect probe gives the controller 10 ms to answer each attempt; a
// simulator, a thread of a loaded test process, may take longer every time.
// With a controller on the line the probe waits for its answer instead, the
// way the probe itself waits (no events); a silent line still ends each
// attempt, after the limit.
constexpr int ProbeAnswerLimitMs = 2000;

inline void AwaitProbeAnswers(TMainForm& form) {
    testsupport::Parts(form).Link->SetProbePause([&form](int) {
        WaitWithoutEvents([&form] { return testsupport::Parts(form).UART->InQueCount() >= 1; }, ProbeAnswerLimitMs);
    });
}

class TWindowTest : public ::testing::Test {
public:
    enum class ESim { None, Stepped, WallClock };

protected:
    explicit TWindowTest(ESim sim = ESim::None) : FSimKind(sim) {}

    void SetUp() override {
        if (FSimKind != ESim::None) {
            ASSERT_NO_FATAL_FAILURE(StartSimulator());
        }
        Form = std::make_unique<TMainForm>();
        if (FSimKind != ESim::None) AwaitProbeAnswers(*Form);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }
    void TearDown() override {
        Form.reset();
        Sim.reset();
    }

    // A new controller on a new line, as after plugging in another cable.
    void StartSimulator() {
        sim::TSimOptions options;
        if (FSimKind == ESim::Stepped) options.Clock = sim::EClockKind::Stepped;
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
    }

    void SelectPort(const std::string& path) {
        Ctl<QComboBox>(*Form, "cbPort")->addItem(QString::fromStdString(path));
        Ctl<QComboBox>(*Form, "cbPort")->setCurrentIndex(Ctl<QComboBox>(*Form, "cbPort")->count() - 1);
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // The window is the active one, as when the user works in it.
    void Activate() {
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }
    bool Connected() const {
        return testsupport::Parts(Form).UART->Enabled() && OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")) && !OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect"));
    }
    // Connects to the simulated controller; its frame log is emptied after.
    void Connect() {
        SelectPort(Sim->Path());
        Click(Ctl<QPushButton>(*Form, "btnConnect"));
        ASSERT_TRUE(Connected());
        Sim->ClearFrames();
    }
    // Selects a servo mode as the user does, and lets the switch finish.
    void ChooseMode(int mode) {
        Click(Ctl<TRadioGroup>(*Form, "rgServoMode")->Item(mode));
        ASSERT_TRUE(WaitFor([this] { return OwnEnabled(Ctl<TRadioGroup>(*Form, "rgServoMode")); }));
    }
    // Connects, then selects a servo mode and lets the link go idle.
    void ConnectInMode(int mode) {
        ASSERT_NO_FATAL_FAILURE(Connect());
        ASSERT_NO_FATAL_FAILURE(ChooseMode(mode));
        ASSERT_TRUE(LinkIdle());
    }
    // Lets a transaction that nobody waits for end.
    bool LinkIdle() {
        return WaitFor([this] { return testsupport::Parts(Form).Link->State() != lsPending; });
    }
    // Everything the controller had to send (a late reply, garbage after
    // one) is on the line and the link has read and dropped it: the next
    // command starts on a clean line. The spell covers the kernel's hand-over
    // of bytes already written.
    bool LineQuiet() {
        const bool sent = WaitFor([this] { return Sim->QueuedOutputBytes() == 0; });
        PumpFor(50);
        return sent && WaitFor([this] { return testsupport::Parts(Form).UART->InQueCount() == 0; });
    }
    // The frames that reached the controller once at least `count` have.
    std::vector<sim::TFrame> FramesAfter(size_t count, int timeoutMs = WaitLimitMs) {
        Sim->WaitForFrames(count, std::chrono::milliseconds(timeoutMs));
        return Sim->Frames();
    }
    // Frames after a quiet spell in which any stray one would have arrived.
    std::vector<sim::TFrame> FramesSettled(int quietMs = 150) {
        PumpFor(quietMs);
        return Sim->Frames();
    }
    void SetFaults(const std::function<void(sim::TFaults&)>& change) {
        sim::TFaults faults = Sim->Faults();
        change(faults);
        Sim->SetFaults(faults);
    }

    // A member, so a test may reset it to answer a box itself.
    std::unique_ptr<TBoxCloser> Boxes = std::make_unique<TBoxCloser>();
    std::unique_ptr<sim::TPtySimulator> Sim;
    std::unique_ptr<TMainForm> Form;

private:
    ESim FSimKind;
};

// The window and a controller on a stepped clock.
class TSimWindowTest : public TWindowTest {
protected:
    TSimWindowTest() : TWindowTest(ESim::Stepped) {}
};

// The window and a controller on the wall clock: measurements see motion.
class TLiveWindowTest : public TWindowTest {
protected:
    TLiveWindowTest() : TWindowTest(ESim::WallClock) {}
};

// The window connected to a controller on the wall clock, in a servo mode.
template <int Mode>
class TConnectedWindowTest : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (!HasFatalFailure()) ConnectInMode(Mode);
    }
};

}  // namespace testsupport
