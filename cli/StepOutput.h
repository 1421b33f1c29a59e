// What a step test leaves: its record as a run's CSV (the measure table with
// the run's start, the six words read before it and, when aborted, the
// aborted line), its step figures as JSON, and the summary's words for them.
// Plain data, made and used on the port's own thread.
#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>

#include "cli/MeasureTable.h"
#include "paramset/ParamFile.h"
#include "record/StepAnalysis.h"

namespace cli {

struct TStepRecord {
    TMeasureFacts facts;
    QDateTime started;
    std::optional<paramfile::TWords> params;
    std::vector<TLinkSample> samples;
    std::vector<int> bars;  // the drive bar as each sample was plotted
    bool aborted = false;
};

chartcsv::TTable StepTable(const TStepRecord& record);
// Over the whole record.
stepview::TAnalysis StepAnalysis(const chartcsv::TTable& table);
QByteArray FiguresJson(const stepview::TAnalysis& analysis, const chartcsv::TTable& table);
// "step at 500 ms, rise 35 ms, overshoot 12 %, settling 5 % 120 ms", or why there is none.
QString FiguresLine(const stepview::TAnalysis& analysis);

}  // namespace cli
