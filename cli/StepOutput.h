// What a step test leaves besides its run's CSV: its step figures as JSON
// and the summary's words for them. Plain data, made and used on the port's
// own thread.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "record/StepAnalysis.h"
#include "runs/Run.h"

namespace cli {

// Each figure as {"value": number, "unit": …} or {"value": null, "lack": …, "reason": …}.
QJsonObject FiguresObject(const runs::TRun& run);
QByteArray FiguresJson(const runs::TRun& run);
// "step 0 -> 16 килоИмпульсов/сек at 500 ms: rise 11.2 ms, overshoot 5.0 %,
// settling 5 % 20 ms, settling 2 % 40 ms, steady-state error 0.00 килоИмпульсов/сек",
// a missing figure's reason in its place; or why there are none.
QString FiguresLine(const runs::TRun& run);

}  // namespace cli
