// The live measurement: the start/stop toggle, the timer tick that polls the
// controller for velocity samples, and the plotting of each sample. Main thread.
#include <algorithm>
#include <optional>
#include <utility>

#include <QLineEdit>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "link/NumberText.h"
#include "record/ChartUnits.h"
#include "record/SamplePlot.h"
#include "window/MainUnit.h"

namespace {

}  // namespace

TChartFeed* TMainForm::ChartFeed() {
    if (!FChartFeed) FChartFeed = new TChartFeed(Chart1, {Series1, Series2, Series3});
    return FChartFeed;
}

void TMainForm::SetMeasureSettingsEnabled(bool stopped) { Settings->SetEnabled(stopped, Drive->Mode()); }

void TMainForm::SetZoomAllowed(bool allowed) { ChartFeed()->SetInteractive(allowed); }

void TMainForm::StopMeasurementForDisconnect() {
    if (AbortStepTest(false)) return;  // it stops the measurement itself
    EndRun(false);
    FMeasureStopped = 1;
    FTickOwed = false;
    Timer1->stop();
    SetMeasureSettingsEnabled(true);
    SetZoomAllowed(true);
}

void TMainForm::btnGraphClick() {
    FMeasureStopped = FMeasureStopped ? 0 : 1;
    FTickOwed = false;  // a tick of the run before is not paid in the next one
    SetMeasureSettingsEnabled(FMeasureStopped != 0);
    if (FMeasureStopped) {
        // The chart keeps its points for inspection, and the run keeps them too.
        EndRun(false);
        SetZoomAllowed(true);
        Timer1->stop();
        return;
    }
    StartMeasurement();
}

void TMainForm::StartMeasurement() {
    const auto period = Settings->Read({[this](QLineEdit* edit) { MarkInputError(edit); },
                                        [this](int32_t depth) { FHistoryDepth = depth; },
                                        [this](int32_t pulses) { FPulsesPerMm = pulses; }});
    if (!period) {
        FMeasureStopped = 1;
        SetMeasureSettingsEnabled(true);
        return;
    }
    // A period of 0 or less gives no ticks (a zero-interval timer would spin).
    Timer1->setInterval(std::max(*period, 0));

    const chartunits::TAxisTitles titles = chartunits::AxisTitles(Drive->Mode(), Settings->Unit());
    if (titles.left) Chart1->yAxis->setLabel(*titles.left);
    if (titles.right) Chart1->yAxis2->setLabel(*titles.right);
    NoteChartRun();
    // Undoing the zoom is going back to the automatic ranges, which every new
    // point applies while the measurement runs.
    TChartFeed* feed = ChartFeed();
    feed->Clear();
    SetZoomAllowed(false);
    feed->RequestReplot();

    // Two polls, so that the previous and the current sample both belong to this run.
    try {
        for (int i = 0; i < 2; ++i) {
            Link->SendGetSample();
            Link->WaitReply();
        }
    } catch (...) {
        StopMeasurementForDisconnect();
        throw;
    }
    FTimeMs = 0;
    // A timeout while priming has set the flag again: the timer then stays off.
    if (FMeasureStopped == 0 && *period > 0) Timer1->start();
    if (FMeasureStopped == 0) BeginRun();
}

void TMainForm::Timer1Timer() {
    // The port went away under a running measurement: stop rather than poll it.
    if (!UART->Enabled()) {
        StopMeasurementForDisconnect();
        return;
    }
    // A drive value owed to the controller goes before the next poll (and
    // this tick is then owed, as for any drive frame under way).
    Drive->SendOwedDrive();
    const uint8_t pending = Link->PendingCommand();
    if (pending != 0) {
        // The poll (or a drive frame) is still under way: this tick polls as
        // soon as it is over (RunOwed), so the rate is the lower of the
        // timer's and the round trip's. One tick owed at most: never a
        // burst, never more polls than ticks.
        if (pending == 'V' || pending == 'B') FTickOwed = true;
        return;
    }
    // A poll that was lost or refused left the last sample in place: plotting
    // it again would draw a point nobody measured.
    if (std::exchange(FSampleFresh, false)) PlotSample();
    try {
        Link->SendGetSample();
    } catch (...) {
        // One report, not one per tick: a failing port ends the measurement.
        StopMeasurementForDisconnect();
        throw;
    }
}

void TMainForm::LinkSampleDecoded(const TLinkSample& sample) {
    FSample = sample;
    FSampleFresh = true;
}

// Called from the link's notice, inside the port's receive handler or the
// reply timer: what is owed runs as a handler of its own right after them,
// never sending from inside the handler that is reading the reply.
void TMainForm::QueueOwed() {
    if (!FTickOwed && !Drive->DriveOwed()) return;
    QMetaObject::invokeMethod(
        this, [this] { RunHandler([this] { RunOwed(); }); }, Qt::QueuedConnection);
}

void TMainForm::RunOwed() {
    if (Drive->SendOwedDrive()) return;  // its end comes back here for the tick
    RunOwedTick();
}

// Stopping, a lost line or a new start have cleared the debt meanwhile.
void TMainForm::RunOwedTick() {
    if (!std::exchange(FTickOwed, false) || !Timer1->isActive()) return;
    Timer1Timer();
}

void TMainForm::PlotSample() {
    sampleplot::TSampleInput in;
    in.servoMode = Drive->Mode();
    in.unit = Settings->Unit();
    in.barPosition = Drive->BarPosition();
    in.kfWord = Params->Words()[1];
    in.pulsesPerMm = FPulsesPerMm;
    in.velocity = FSample.velocity;
    in.mismatch = FSample.mismatch;
    const auto placed = sampleplot::PlaceSample(FTimeMs, FSample.prevTick, FSample.tick, in);
    if (!placed) return;
    const sampleplot::TSamplePoints& points = placed->points;

    TChartFeed* feed = ChartFeed();
    const double x = double(placed->timeMs);
    for (size_t i = 0; i < points.size(); ++i)
        if (points[i]) feed->Add(int(i), x, *points[i]);
    if (feed->Count(0) > FHistoryDepth) {
        for (size_t i = 0; i < points.size(); ++i)
            if (points[i]) feed->RemoveFirst(int(i));
    }
    feed->ApplyAutoRanges();
    feed->RequestReplot();
    FTimeMs = placed->nextTimeMs;
    // Once the sample is in: the test may step, or stop with its run whole.
    if (StepTestRunning()) StepTestSample(placed->timeMs);
}
