// "СТОП + СБРОС": the bar to the centre, the measurement stopped, and the
// zero and the present mode sent, both watched for an answer. It spans the
// drive, the measurement and the chart. Main thread only.
#include "window/MainUnit.h"

void TMainForm::btnSTOPClick() {
    const int mode = Drive->Mode();
    if (mode < 0) return;
    Drive->CentreBar();
    Drive->ApplyDriveRule(mode);  // the drive group, its caption and "Задать" stay as they are
    AbortStepTest();
    EndRun(false);
    FMeasure->Stop();
    SetMeasureSettingsEnabled(true);
    // Watched from here: the zero and the set-mode must both be answered.
    FStopWatched = true;
    FStopDriveFailed = false;
    Drive->Line().Settle();
    // The selection may have changed while waiting; never send "no mode".
    const int present = Drive->Mode();
    if (present < 0 || !Link->SendSetMode(uint8_t(present))) FStopWatched = false;
    SetZoomAllowed(true);
}
