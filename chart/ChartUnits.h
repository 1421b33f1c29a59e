// The unit each series is plotted in, read from the title of its value axis
// as the measurement's start set it ("Скорость (мм/мин)" -> "мм/мин",
// "Ошибка по скорости, %" -> "%", "килоИмпульсов/сек" as it is).
#pragma once

#include <QString>

class QCPGraph;

namespace chartunits {

// The part of an axis title that names the unit: the last parenthesised
// part, else what follows the last comma, else the whole title.
QString AxisUnit(const QString& title);

// The unit of a series: that of its value axis.
QString SeriesUnit(const QCPGraph& series);

}  // namespace chartunits
