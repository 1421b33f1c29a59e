#include "tests/soak/MeasureSoak.h"

#include <ostream>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <qcustomplot.h>

#include "chart/SeriesGraph.h"
#include "sim/PtySimulator.h"
#include "window/MainUnit.h"
#include "window/RadioGroup.h"
#include "window/TrackBar.h"
#include "tests/support/WindowParts.h"

namespace soak {

namespace {

// A control by the name the window's design gives it.
template <typename T>
T* Control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// The controller's clock moves this far each millisecond of wall time (four
// of its 5 ms ticks): ten minutes of its time pass in half a minute when the
// timers keep pace, every poll sees the clock moved on, and the 16-bit tick
// counter never wraps between two samples.
constexpr uint32_t ClockStepMs = 20;
constexpr int ClockPeriodMs = 1;
constexpr int HistoryDepth = 1000;
constexpr int DriveEverySteps = 500;
constexpr int MsPerTick = 5;
// At the end, the controller's clock may be ahead of the last sample drawn
// by the steps since that sample was taken.
constexpr uint64_t EndSlackMs = 50 * ClockStepMs;

// Closes every modal box, counting it: none should come up.
class TBoxWatch {
public:
    explicit TBoxWatch(std::ostream& log) : FLog(log) {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(50);
    }
    int Count() const { return FCount; }

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        ++FCount;
        FLog << "  box: " << box->text().toStdString() << "\n";
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
    }
    std::ostream& FLog;
    QTimer FTimer;
    int FCount = 0;
};

class TMeasureSoak {
public:
    TMeasureSoak(sim::TPtySimulator& sim, TMeasureSoakReport& report, std::ostream& log)
        : FSim(sim), FReport(report), FLog(log), FBoxes(log) {}

    bool Connect();
    void Run(uint64_t targetMs, TWatchdog& watchdog);
    void Finish();

private:
    void StepClock();
    void CheckChart();
    void Problem(const std::string& what) {
        ++FReport.problems;
        FLog << "  " << what << "\n";
    }

    sim::TPtySimulator& FSim;
    TMeasureSoakReport& FReport;
    std::ostream& FLog;
    TBoxWatch FBoxes;
    TMainForm FForm;
    QTimer FClock;
    uint64_t FSteps = 0;
};

bool TMeasureSoak::Connect() {
    FForm.show();
    auto* port = Control<QComboBox>(FForm, "cbPort");
    port->addItem(QString::fromStdString(FSim.Path()));
    port->setCurrentIndex(port->count() - 1);
    Control<QPushButton>(FForm, "btnConnect")->click();
    return testsupport::Parts(FForm).UART->Enabled() && Control<TRadioGroup>(FForm, "rgServoMode")->ItemIndex() == 2;
}

void TMeasureSoak::StepClock() {
    FSim.AdvanceClock(ClockStepMs);
    FReport.controllerMs += ClockStepMs;
    if (++FSteps % DriveEverySteps != 0) return;
    // The user moves the drive: sent when the link is idle, dropped otherwise.
    const int position = 156 + int((FSteps / DriveEverySteps * 37) % 200);
    Control<TTrackBar>(FForm, "tbarSubCommand")->SetPosition(position);
    ++FReport.drives;
}

void TMeasureSoak::Run(uint64_t targetMs, TWatchdog& watchdog) {
    testsupport::Parts(FForm).Settings->PeriodEdit()->setText("1");
    testsupport::Parts(FForm).Settings->HistoryEdit()->setText(QString::number(HistoryDepth));
    testsupport::Parts(FForm).btnGraph->click();
    FClock.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FClock, &QTimer::timeout, [this] { StepClock(); });
    FClock.start(ClockPeriodMs);
    uint32_t lastMs = 0;
    while (FForm.Measurement().Record().TimeMs() < targetMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (FForm.Measurement().Record().TimeMs() == lastMs) continue;
        lastMs = FForm.Measurement().Record().TimeMs();
        watchdog.Beat("the measurement's time axis");
    }
    FClock.stop();
}

void TMeasureSoak::Finish() {
    // Stop and reset ends the measurement however it stands.
    testsupport::Parts(FForm).btnSTOP->click();
    if (FForm.Measurement().Polling() || FForm.Measurement().Running()) Problem("the measurement did not stop");
    FReport.chartMs = FForm.Measurement().Record().TimeMs();
    FReport.polls = FSim.FrameCount('V');  // the log keeps only the latest frames
    CheckChart();
    // The link takes the next command.
    testsupport::Parts(FForm).Link->WaitReply();
    testsupport::Parts(FForm).Link->SendGetPosition();
    if (testsupport::Parts(FForm).Link->WaitReply() != lsDone) Problem("the link did not answer after the run");
    FReport.boxes = FBoxes.Count();
    FForm.close();
}

// The chart holds the last HistoryDepth samples at the controller's times:
// ascending in whole ticks, and the axis accounts for the controller's clock.
void TMeasureSoak::CheckChart() {
    // A short run may not have filled the history; a long one holds exactly its depth.
    const bool filled = FReport.polls > uint64_t(2 * HistoryDepth);
    for (const TSeriesGraph* series : {testsupport::Parts(FForm).Series1, testsupport::Parts(FForm).Series2, testsupport::Parts(FForm).Series3}) {
        const int points = series->History().Count();
        if (filled ? points != HistoryDepth : points < 1 || points > HistoryDepth)
            Problem("a series holds " + std::to_string(points) + " points");
    }
    const TChartHistory& history = testsupport::Parts(FForm).Series1->History();
    for (int i = 1; i < history.Count(); ++i) {
        const double step = history.Key(i) - history.Key(i - 1);
        if (step <= 0 || std::fmod(step, MsPerTick) != 0) {
            Problem("the time axis steps by " + std::to_string(step) + " ms");
            break;
        }
    }
    if (FReport.chartMs > FReport.controllerMs || FReport.chartMs + EndSlackMs < FReport.controllerMs)
        Problem("the chart covers " + std::to_string(FReport.chartMs) + " ms of " +
                std::to_string(FReport.controllerMs) + " ms of the controller's time");
}

}  // namespace

bool RunMeasureSoak(int minutes, TWatchdog& watchdog, TMeasureSoakReport& report, std::ostream& log) {
    sim::TSimOptions options;
    options.Clock = sim::EClockKind::Stepped;
    sim::TPtySimulator sim(options);
    std::string error;
    if (!sim.Start(&error)) {
        log << "measurement soak: the simulator did not start: " << error << "\n";
        return false;
    }
    sim.SetMode(2);  // velocity: the drive moves the motor and the chart
    QElapsedTimer clock;
    clock.start();
    {
        TMeasureSoak soak(sim, report, log);
        watchdog.Beat("connecting the window");
        if (!soak.Connect()) {
            log << "measurement soak: the window did not connect\n";
            return false;
        }
        soak.Run(uint64_t(minutes) * 60'000, watchdog);
        watchdog.Beat("stopping the measurement");
        soak.Finish();
    }
    report.seconds = double(clock.elapsed()) / 1000.0;
    return true;
}

}  // namespace soak
