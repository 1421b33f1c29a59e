// What a dense series looks like on screen: for each pixel column of the
// visible key range, the lowest and highest value the line through the
// samples takes inside that column. That is the samples' own extremes plus,
// at the column's two edges, the line's value where it crosses them, so a
// jump between two columns is joined and no column the line passes through
// is left empty. Main thread only.
#pragma once

#include <optional>
#include <vector>

#include "record/ChartHistory.h"

namespace envelope {

struct TColumns {
    double lower;  // key at the left edge of column 0
    double upper;  // key at the right edge of the last column
    int count;     // pixel columns
    double Edge(int column) const { return lower + (upper - lower) * column / count; }
};

// One entry per column; none where the line does not pass.
std::vector<std::optional<TValueRange>> Envelope(const TChartHistory& history, const TColumns& columns);
// The same, worked out for the columns [begin, end) only (the others none):
// each as the whole envelope has it.
std::vector<std::optional<TValueRange>> Envelope(const TChartHistory& history, const TColumns& columns,
                                                 int begin, int end);

}  // namespace envelope
