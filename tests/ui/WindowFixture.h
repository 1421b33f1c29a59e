// Shared pieces of the window tests: a closer for modal message boxes that
// records what they said, waiting with the event loop running, a pty line on
// which nobody answers, and fixtures with a window (and a simulated controller).
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "MainUnit.h"
#include "PtySimulator.h"
#include "RadioGroup.h"
#include "StatusBar.h"
#include "TrackBar.h"

namespace uitest {

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

// Runs the event loop until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return condition();
        QTest::qWait(5);
    }
    return true;
}

// A pseudo-terminal whose far end never answers: a line with no controller.
class TSilentLine {
public:
    TSilentLine() {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster >= 0 && grantpt(FMaster) == 0 && unlockpt(FMaster) == 0)
            FPath = ptsname(FMaster);
    }
    ~TSilentLine() {
        if (FMaster >= 0) close(FMaster);
    }
    const std::string& Path() const { return FPath; }

private:
    int FMaster = -1;
    std::string FPath;
};

inline int16_t DriveValue(const sim::TFrame& frame) {
    return int16_t(frame.Payload.at(0) | (frame.Payload.at(1) << 8));
}

inline int32_t Target24(const sim::TFrame& frame) {
    const uint32_t raw = frame.Payload.at(0) | (frame.Payload.at(1) << 8) |
                         (uint32_t(frame.Payload.at(2)) << 16);
    return int32_t(raw << 8) >> 8;
}

inline std::vector<sim::TFrame> OfCode(const std::vector<sim::TFrame>& frames, char code) {
    std::vector<sim::TFrame> found;
    for (const sim::TFrame& frame : frames)
        if (frame.Code == uint8_t(code)) found.push_back(frame);
    return found;
}

inline std::string Codes(const std::vector<sim::TFrame>& frames) {
    std::string codes;
    for (const sim::TFrame& frame : frames) codes += char(frame.Code);
    return codes;
}

inline bool OwnEnabledOf(const QWidget* widget) {
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

// A shown main window, destroyed (port closed) after each test.
class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TMainForm>();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }
    void TearDown() override { Form.reset(); }

    void SelectPort(const std::string& path) {
        Form->cbPort->addItem(QString::fromStdString(path));
        Form->cbPort->setCurrentIndex(Form->cbPort->count() - 1);
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    bool Connected() const {
        return Form->UART->Enabled() && OwnEnabledOf(Form->btnDisconnect) &&
               !OwnEnabledOf(Form->btnConnect);
    }

    TBoxCloser Boxes;
    std::unique_ptr<TMainForm> Form;
};

// The window and a simulated controller on a pty. Faults and the starting
// state are set before Connect; the frame log is emptied after it. The motor
// model runs on a stepped clock, so positions stay where a test puts them.
class TSimWindowTest : public TWindowTest {
protected:
    void SetUp() override {
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;
        Sim = std::make_unique<sim::TPtySimulator>(options);
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        TWindowTest::SetUp();
    }
    void TearDown() override {
        TWindowTest::TearDown();
        Sim.reset();
    }

    void Connect() {
        SelectPort(Sim->Path());
        Click(Form->btnConnect);
        ASSERT_TRUE(Connected());
        Sim->ClearFrames();
    }
    // The frames that reached the controller once at least `count` have.
    std::vector<sim::TFrame> FramesAfter(size_t count, int timeoutMs = 3000) {
        Sim->WaitForFrames(count, std::chrono::milliseconds(timeoutMs));
        return Sim->Frames();
    }
    // Frames after a quiet spell in which any stray one would have arrived.
    std::vector<sim::TFrame> FramesSettled(int quietMs = 150) {
        QTest::qWait(quietMs);
        return Sim->Frames();
    }
    void SetFaults(const std::function<void(sim::TFaults&)>& change) {
        sim::TFaults faults = Sim->Faults();
        change(faults);
        Sim->SetFaults(faults);
    }
    // Lets a transaction that nobody waits for end.
    bool LinkIdle() {
        return WaitUntil([this] { return Form->Link->FLinkState != lsPending; });
    }
    // Selects a servo mode as the user does, and lets the switch finish.
    void ChooseMode(int mode) {
        Click(Form->rgServoMode->Item(mode));
        ASSERT_TRUE(WaitUntil([this] { return OwnEnabledOf(Form->rgServoMode); }));
    }

    std::unique_ptr<sim::TPtySimulator> Sim;
};

}  // namespace uitest
