// Velocity samples as the chart's CSV table: the same points, comment lines,
// time column and series headers the window's "Сохранить данные (CSV)…"
// writes for a run in the unit kilo-pulses per second. Plain data: any thread.
#pragma once

#include <cstdint>
#include <vector>

#include <QDateTime>
#include <QString>

#include "link/ControllerLink.h"
#include "record/ChartCsv.h"

namespace cli {

struct TMeasureFacts {
    int servoMode = -1;
    uint16_t kfWord = 0;  // parameter #2, which scales the command velocity
    int periodMs = 0;
    QString controller;
    QDateTime at;         // the export time
};

// bars: the drive bar's position as each sample was plotted (the command
// series follows it in the velocity mode); none: at the centre throughout.
chartcsv::TTable MeasureTable(const TMeasureFacts& facts, const std::vector<TLinkSample>& samples,
                              const std::vector<int>& bars = {});

}  // namespace cli
