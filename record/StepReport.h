// The step-response figures as the panel over the chart shows them: one line
// a figure, each with its unit, and in plain words why a figure (or the
// whole step) could not be worked out.
#pragma once

#include <QString>
#include <QStringList>

#include "record/StepAnalysis.h"

namespace stepreport {

// unit: that of the series the figures describe; mode: the servo mode's name
// the record was measured in.
QStringList Lines(const stepview::TAnalysis& analysis, const QString& unit, const QString& mode = {});

}  // namespace stepreport
