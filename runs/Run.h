// One measurement kept as a run: from its start to its stop, what it was
// measured under (time, servo mode, unit, period, the six parameter words as
// last read or written), its three series and the step figures of the whole
// record. Main thread only (the histories are).
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include <QDateTime>
#include <QString>

#include "paramset/ParamFile.h"
#include "record/ChartHistory.h"
#include "record/StepAnalysis.h"

namespace runs {

constexpr int SeriesCount = 3;

struct TRun {
    int id = 0;                 // given by the library, counting from 1
    QDateTime started;
    QString servoMode;          // the mode's caption
    QString velocityUnit;       // the unit's caption
    int periodMs = 0;
    int historyDepth = 0;
    QString controller;
    std::optional<paramfile::TWords> params;  // none: not known (never read or written)
    QString timeName;                          // the time column's header, unit included
    std::array<QString, SeriesCount> seriesNames;
    std::array<TChartHistory, SeriesCount> series;
    stepview::TAnalysis analysis;  // over the whole record
    bool aborted = false;
    std::optional<bool> regulatorReset;  // a step test's: whether it reset the regulator first
    std::optional<int> ticksMissed;      // controller ticks between samples that no sample saw
    QString file;  // the file it was read from or last saved to
    QString name;  // given by what made it ("Автонастройка 3"); empty: none

    // Works out the step figures over the whole record.
    void Analyse();
    size_t Points() const;
    // What its histories take, about 9 bytes a point.
    size_t Bytes() const;
    // Where the step lies, for drawing runs on each other: the step's time,
    // or the first point's where no step was found.
    double AlignmentKey() const;
};

}  // namespace runs
