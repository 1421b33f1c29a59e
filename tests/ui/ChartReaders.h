// Readers of what the window shows: the points each series of the chart
// holds and the input error mark of an edit.
#pragma once

#include <optional>
#include <vector>

#include <QColor>
#include <QLineEdit>

#include "chart/SeriesGraph.h"

namespace testsupport {

inline bool Marked(const QLineEdit* edit) {
    return edit->palette().color(QPalette::Base) == QColor(255, 0, 0) &&
           edit->palette().color(QPalette::Text) == QColor(255, 255, 255);
}

inline std::vector<double> Keys(const TSeriesGraph* series) {
    std::vector<double> keys;
    for (int i = 0; i < series->History().Count(); ++i) keys.push_back(series->History().Key(i));
    return keys;
}

inline std::vector<double> Values(const TSeriesGraph* series) {
    std::vector<double> values;
    for (int i = 0; i < series->History().Count(); ++i) values.push_back(series->History().Value(i));
    return values;
}

inline std::optional<double> LastValue(const TSeriesGraph* series) {
    const TChartHistory& history = series->History();
    if (history.Count() == 0) return std::nullopt;
    return history.Value(history.Count() - 1);
}

}  // namespace testsupport
