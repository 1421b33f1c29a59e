// The guided step test run by the window: the bar centred, the measurement
// started at the test's period, the step made when the record's time reaches
// the set time, held, the bar centred again and the measurement stopped, so
// the run it leaves has its step where the settings put it. Esc,
// stop-and-reset, a lost line or a silent controller abort it at once: bar
// to the centre, measurement stopped, the run kept and marked aborted. Main thread.
#include <QLineEdit>

#include "link/NumberText.h"
#include "link/Protocol.h"
#include "record/SamplePlot.h"
#include "window/MainUnit.h"

void TMainForm::StartStepTest() {
    if (FStepPhase != steptest::EPhase::Idle || !FMeasureStopped || !UART->Enabled()) return;
    if (!Drive->DriveAllowed() || Drive->Mode() < 0) {
        ShowError(QString::fromUtf8("Опыт: ступенька — выберите серво-режим, в котором работает ручное управление"));
        return;
    }
    steptest::TDialog dialog(this, FStepSettings);
    if (dialog.exec() != QDialog::Accepted) return;
    const steptest::TSettings settings = dialog.Settings();
    FStepSettings = settings;
    Drive->CentreBar();
    FStepKeptPeriod = Settings->PeriodEdit()->text();
    FStepKeptHistory = Settings->HistoryEdit()->text();
    Settings->PeriodEdit()->setText(QString::number(settings.periodMs));
    // The whole test in the record: at most a sample a controller tick.
    const int needed = (settings.beforeMs + settings.afterMs) / int(sampleplot::MsPerTick) + 10;
    // The edit's depth, not the last measurement's: the user's is put back after each test.
    const auto depth = numtext::StrToInt(Settings->HistoryEdit()->text());
    if (!depth || *depth < needed) Settings->HistoryEdit()->setText(QString::number(needed));
    FStepPhase = steptest::EPhase::Before;
    btnGraphClick();
    if (FMeasureStopped && StepTestRunning()) {  // it did not start
        FStepPhase = steptest::EPhase::Idle;
        EndStepTest();
    }
}

// The test's period and depth were for the test alone: the next measurement
// runs with the user's.
void TMainForm::EndStepTest() {
    Settings->PeriodEdit()->setText(FStepKeptPeriod);
    Settings->HistoryEdit()->setText(FStepKeptHistory);
}

// Each sample, before it is plotted, at its time in the record.
void TMainForm::StepTestSample(uint32_t timeMs) {
    switch (steptest::Next(FStepPhase, FStepSettings, timeMs)) {
    case steptest::EAction::Step: Drive->SetBar(protocol::BarCentre + FStepSettings.step); break;
    case steptest::EAction::End:
        Drive->CentreBar();
        btnGraphClick();  // stops: the run is kept with its figures
        EndStepTest();
        break;
    case steptest::EAction::None: break;
    }
}

// Stopped and kept first: centring may meet a line that fails under it. A
// line known to be gone gets nothing sent; the bar is centred all the same.
bool TMainForm::AbortStepTest(bool lineUsable) {
    if (FStepPhase == steptest::EPhase::Idle) return false;
    FStepPhase = steptest::EPhase::Idle;
    EndRun(true);
    StopMeasurementForDisconnect();
    EndStepTest();
    if (lineUsable) Drive->CentreBar();
    else Drive->CentreBarUnsent();
    return true;
}
