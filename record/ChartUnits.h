// The unit each series is plotted in, read from the title of its value axis
// as the measurement's start set it ("Скорость (мм/мин)" -> "мм/мин",
// "Ошибка по скорости, %" -> "%", "килоИмпульсов/сек" as it is).
#pragma once

#include <optional>

#include <QString>

namespace chartunits {

// The value axes' titles a measurement's start sets for a servo mode and a
// velocity unit (an item of the unit group); none: that axis keeps its title.
struct TAxisTitles {
    std::optional<QString> left;
    std::optional<QString> right;
};
TAxisTitles AxisTitles(int servoMode, int velocityUnit);
// The velocity unit's caption, as its group offers it ("кИмп/сек").
QString UnitCaption(int velocityUnit);
// The time axis's title, "Время (мсек)".
QString TimeTitle();

// The part of an axis title that names the unit: the last parenthesised
// part, else what follows the last comma, else the whole title.
QString AxisUnit(const QString& title);

// The CSV column of series `index` (from 0): its name there is the chart's
// own, "Series1", with the unit in parentheses when there is one.
QString ColumnName(int index, const QString& unit);

// What a column's values are to a reader, for an axis title: the column's
// name as it stands, or the unit alone where the name is ColumnName's
// "SeriesN", which says nothing about them.
QString ValueTitle(const QString& column);

}  // namespace chartunits
