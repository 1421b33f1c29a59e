// Shared by the parameter, measurement and shortcut tests: a window with a
// simulated controller whose message-box closer can be paused, and small
// readers of the chart and of the frames on the wire.
#pragma once

#include <optional>
#include <vector>

#include <QLineEdit>
#include <qcustomplot.h>

#include "WindowFixture.h"

namespace measuretest {

using uitest::OfCode;
using uitest::OwnEnabledOf;
using uitest::U;
using uitest::WaitUntil;

inline bool Marked(const QLineEdit* edit) {
    return edit->palette().color(QPalette::Base) == QColor(255, 0, 0) &&
           edit->palette().color(QPalette::Text) == QColor(255, 255, 255);
}

inline std::vector<double> Keys(const QCPGraph* series) {
    std::vector<double> keys;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
        keys.push_back(it->key);
    return keys;
}

inline std::vector<double> Values(const QCPGraph* series) {
    std::vector<double> values;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
        values.push_back(it->value);
    return values;
}

inline std::optional<double> LastValue(const QCPGraph* series) {
    if (series->data()->isEmpty()) return std::nullopt;
    return (series->data()->constEnd() - 1)->value;
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(uint8_t(v));
    return bytes;
}

// A shown window connected to a simulated controller (wall clock). The box
// closer is a member the test may reset to keep a box open itself.
class TSimRig : public ::testing::Test {
protected:
    void SetUp() override {
        Boxes = std::make_unique<uitest::TBoxCloser>();
        Sim = std::make_unique<sim::TPtySimulator>();
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        Form = std::make_unique<TMainForm>();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }
    void TearDown() override {
        Form.reset();
        Sim.reset();
    }

    void Connect() {
        Form->cbPort->addItem(QString::fromStdString(Sim->Path()));
        Form->cbPort->setCurrentIndex(Form->cbPort->count() - 1);
        QTest::mouseClick(Form->btnConnect, Qt::LeftButton);
        ASSERT_TRUE(Form->UART->Enabled());
        ASSERT_TRUE(OwnEnabledOf(Form->btnDisconnect));
        Sim->ClearFrames();
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Selects a servo mode as the user does and lets the switch finish.
    void ChooseMode(int mode) {
        Click(Form->rgServoMode->Item(mode));
        ASSERT_TRUE(WaitUntil([this] { return OwnEnabledOf(Form->rgServoMode); }));
        ASSERT_EQ(Form->rgServoMode->ItemIndex(), mode);
    }
    // Frames after a quiet spell in which any stray one would have arrived.
    std::vector<sim::TFrame> FramesSettled(int quietMs = 150) {
        QTest::qWait(quietMs);
        return Sim->Frames();
    }
    std::vector<sim::TFrame> FramesAfter(size_t count, int timeoutMs = 3000) {
        Sim->WaitForFrames(count, std::chrono::milliseconds(timeoutMs));
        return Sim->Frames();
    }
    void SetFaults(const std::function<void(sim::TFaults&)>& change) {
        sim::TFaults faults = Sim->Faults();
        change(faults);
        Sim->SetFaults(faults);
    }
    bool LinkIdle() const { return Form->Link->FLinkState != lsPending; }

    std::unique_ptr<uitest::TBoxCloser> Boxes;
    std::unique_ptr<sim::TPtySimulator> Sim;
    std::unique_ptr<TMainForm> Form;
};

}  // namespace measuretest
