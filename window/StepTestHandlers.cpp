// The guided step test run by the window: the bar centred, the measurement
// started at the test's period with the plan, the bar stepped and centred
// again as the plan says, and the measurement stopped, so the run it leaves
// has its step where the settings put it. Esc, stop-and-reset, a lost line
// or a silent controller abort it at once: bar to the centre, measurement
// stopped, the run kept and marked aborted. Main thread.
#include "link/Protocol.h"
#include "record/SamplePlot.h"
#include "measure/StepStart.h"
#include "window/MainUnit.h"

namespace {

QString U8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void TMainForm::StartStepTest() {
    if (StepTestRunning() || FMeasure->Running() || !UART->Enabled()) return;
    if (Drive->Mode() != protocol::smVelocity) {
        ShowError(QString::fromUtf8("Опыт: ступенька — только в серво-режиме \"Скорость\": выберите его"));
        return;
    }
    steptest::TDialog dialog(this, FStepSettings);
    if (dialog.exec() != QDialog::Accepted) return;
    FStepSettings = dialog.Settings();
    RunStepTest();
}

// The test with FStepSettings, from the centred bar; Ready when it started.
measure::EStepStart TMainForm::RunStepTest() {
    Drive->CentreBar();
    if (const measure::EStepStart start = CleanStart(); start != measure::EStepStart::Ready) return start;
    // The whole test in the record: at most a sample a controller tick.
    const int depth = (FStepSettings.beforeMs + FStepSettings.afterMs) / int(sampleplot::MsPerTick) + 10;
    Settings->UseForTest(FStepSettings.periodMs, depth);
    FMeasure->PlanStep(FStepSettings);
    btnGraphClick();
    if (FMeasure->Running()) return measure::EStepStart::Ready;
    if (FMeasure->DropStep()) EndStepTest();  // it did not start
    return measure::EStepStart::Failed;
}

// From rest, and with the regulator reset unless the user keeps it; a link
// failure has been told by the link's notices, a motor that would not rest
// by a box (a tuning judges that itself).
measure::EStepStart TMainForm::CleanStart() {
    Drive->Line().Settle();
    FStepRegulatorReset = FStepSettings.resetRegulator;
    // A tuning's experiments follow each other under changed gains: the last one's integral cleared first.
    measure::TStepStartOptions options{.resetRegulator = FStepSettings.resetRegulator, .resetFirst = FTune != nullptr};
    if (FTune) options.limitMs = TuneRestLimitMs;  // gains that keep it moving are judged as failing
    const auto start = measure::PrepareStep(*Link, Drive->Mode(), options).outcome;
    if (start == measure::EStepStart::NotAtRest && !FTune)
        ShowError(QString::fromUtf8("Опыт: ступенька — двигатель не остановился за 5 с"));
    return start;
}

// The test's period and depth were for the test alone: the next measurement
// runs with the user's.
void TMainForm::EndStepTest() { Settings->RestoreKept(); }

void TMainForm::StepTestAction(steptest::EAction action) {
    if (action == steptest::EAction::Step) return Drive->SetBar(protocol::BarCentre + FStepSettings.step);
    Drive->CentreBar();
    btnGraphClick();  // stops: the run is kept with its figures
    EndStepTest();
    if (FTune) RunHandlerLater([this] { TuneExperimentEnded(); });
}

// Stopped and kept first: centring may meet a line that fails under it. A
// line known to be gone gets nothing sent; the bar is centred all the same.
// A tuning under way ends with its experiment, between experiments too; it
// writes the starting words back if the port is still open by then.
bool TMainForm::AbortStepTest(bool lineUsable) {
    const bool step = DropStepTest(lineUsable);
    if (!FTune) return step;
    RunHandlerLater([this] { AbortAutoTune(UART->Enabled(), U8("прервана")); });
    return true;
}

bool TMainForm::DropStepTest(bool lineUsable) {
    if (!FMeasure->DropStep()) return false;
    EndRun(true);
    StopMeasurementForDisconnect();
    EndStepTest();
    if (lineUsable) Drive->CentreBar();
    else Drive->CentreBarUnsent();
    return true;
}
