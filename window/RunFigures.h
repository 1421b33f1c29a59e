// The main step figures of a run as the runs list shows them, and their
// difference to the reference run's. Main thread only.
#pragma once

#include <array>
#include <optional>

#include <QString>

#include "runs/Run.h"

namespace runfigures {

constexpr int Count = 4;  // rise, overshoot, settling (5 %), steady-state error

// The column headers.
std::array<QString, Count> Titles();
// Figure i of a run; none when the run has no such figure.
std::optional<double> Figure(const runs::TRun& run, int i);
// "12.5", or "12.5 (+1.5)" beside a reference that has the figure; "–" when missing.
QString Text(const runs::TRun& run, int i, const runs::TRun* reference);

}  // namespace runfigures
