// Readers of what the window shows: the series of the chart and the input
// error mark of an edit.
#pragma once

#include <optional>
#include <vector>

#include <QColor>
#include <QLineEdit>
#include <qcustomplot.h>

namespace testsupport {

inline bool Marked(const QLineEdit* edit) {
    return edit->palette().color(QPalette::Base) == QColor(255, 0, 0) &&
           edit->palette().color(QPalette::Text) == QColor(255, 255, 255);
}

inline std::vector<double> Keys(const QCPGraph* series) {
    std::vector<double> keys;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
        keys.push_back(it->key);
    return keys;
}

inline std::vector<double> Values(const QCPGraph* series) {
    std::vector<double> values;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
        values.push_back(it->value);
    return values;
}

inline std::optional<double> LastValue(const QCPGraph* series) {
    if (series->data()->isEmpty()) return std::nullopt;
    return (series->data()->constEnd() - 1)->value;
}

}  // namespace testsupport
