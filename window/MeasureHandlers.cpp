// The live measurement's handlers: the start/stop toggle and each new sample
// drawn on the chart; the polling, the record and the step plan are the
// measurement's (measure/Measurement.h). Main thread.
#include <algorithm>

#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "record/ChartUnits.h"
#include "window/MainUnit.h"

void TMainForm::SetMeasureSettingsEnabled(bool stopped) { Settings->SetEnabled(stopped, Drive->Mode()); }

void TMainForm::StopMeasuring() {
    FMeasure->Stop();
    SetMeasureSettingsEnabled(true);
    SetZoomAllowed(true);
}

void TMainForm::StopMeasurementForDisconnect() {
    if (FTune) RunHandlerLater([this] { AbortAutoTune(UART->Enabled(), QString::fromUtf8("прервана")); });
    if (DropStepTest(false)) return;  // it stops the measurement itself
    EndRun(false);
    StopMeasuring();
}

void TMainForm::btnGraphClick() {
    if (!FMeasure->Running()) return StartMeasurement();
    // The chart keeps its points for inspection, and the run keeps them too.
    EndRun(false);
    StopMeasuring();
}

void TMainForm::StartMeasurement() {
    SetMeasureSettingsEnabled(false);
    measure::TRecordBase base{Drive->Mode(), Settings->Unit()};
    const auto period = Settings->Read({[this](QLineEdit* edit) { MarkInputError(edit); },
                                        [&base](int32_t depth) { base.historyDepth = depth; },
                                        [&base](int32_t pulses) { base.pulsesPerMm = pulses; }});
    if (!period) return SetMeasureSettingsEnabled(true);

    const chartunits::TAxisTitles titles = chartunits::AxisTitles(base.servoMode, base.unit);
    if (titles.left) Chart1->yAxis->setLabel(*titles.left);
    if (titles.right) Chart1->yAxis2->setLabel(*titles.right);
    // The period as the timer takes it: none below 0.
    const recordfacts::TFacts facts = MeasuredUnder(std::max(*period, 0), base.historyDepth);
    NoteChartRun(facts);
    // Undoing the zoom is going back to the automatic ranges, which every new
    // point applies while the measurement runs. The start empties the chart.
    SetZoomAllowed(false);
    ChartFeed()->RequestReplot();
    try {
        if (FMeasure->Start(*period, base)) BeginRun(facts);
    } catch (...) {
        StopMeasurementForDisconnect();
        throw;
    }
}
