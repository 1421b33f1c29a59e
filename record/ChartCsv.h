// The chart's points as CSV: comment lines ("# ") that tell what the points
// were measured under, a column header, then one row per sample time, the
// time in ms first and one column per series, an empty cell where a series
// has no point at that time. UTF-8, ',' between cells, '.' as the decimal
// point, '\n' after each line; every number in the shortest form that reads
// back as the same double.
#pragma once

#include <string>
#include <vector>

#include "record/ChartHistory.h"

class QIODevice;

namespace chartcsv {

struct TColumn {
    std::string name;     // the header cell, unit included; UTF-8
    TChartHistory points; // a copy: a history is a few bytes a point and copies in blocks
};

struct TTable {
    std::vector<std::string> comments;  // one line each, without the "# "; UTF-8
    std::string timeName;               // the time column's header cell
    std::vector<TColumn> columns;
};

// Writes the table; false as soon as the device refuses a write. Touches
// nothing but its arguments, so it runs on any thread (and formats on a
// helper thread of its own as well).
bool Write(const TTable& table, QIODevice& out);

// The same as Write, in runs of at most runRows points of each series
// (Write's are 65,536; tests cut short runs).
bool WriteInRuns(const TTable& table, QIODevice& out, int runRows);

// A header cell as CSV needs it: quoted when it holds a comma, a quote or a
// line break, quotes doubled.
std::string Cell(const std::string& text);

}  // namespace chartcsv
