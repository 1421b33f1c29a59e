// What a step test leaves besides its run's CSV: its step figures as JSON
// and the summary's words for them. Plain data, made and used on the port's
// own thread.
#pragma once

#include <QByteArray>
#include <QString>

#include "record/StepAnalysis.h"
#include "runs/Run.h"

namespace cli {

QByteArray FiguresJson(const runs::TRun& run);
// "step at 500 ms, rise 35 ms, overshoot 12 %, settling 5 % 120 ms", or why there is none.
QString FiguresLine(const stepview::TAnalysis& analysis);

}  // namespace cli
