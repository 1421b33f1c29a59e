// Every measurement becomes a run: begun once its priming polls are in,
// ended (with the record's points and the figures of the whole record) when
// it stops by the toggle, stop-and-reset or a lost line. Main thread.
#include "window/MainUnit.h"

void TMainForm::BeginRun(const recordfacts::TFacts& facts) {
    FMeasureClock.start();  // the traffic log's time from here is the record's
    runs::TRun run;
    run.started = QDateTime::currentDateTime();
    run.servoMode = facts.servoMode;
    run.velocityUnit = facts.velocityUnit;
    run.periodMs = facts.periodMs;
    run.historyDepth = facts.historyDepth;
    run.controller = facts.controller;
    run.params = Params->Words();
    if (StepTestRunning()) run.regulatorReset = FStepRegulatorReset;
    FMeasure->BeginRun(std::move(run));
}

void TMainForm::EndRun(bool aborted) {
    if (auto run = FMeasure->TakeRun(aborted)) Runs->Add(std::move(*run));
}
