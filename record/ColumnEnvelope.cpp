#include "record/ColumnEnvelope.h"

#include <algorithm>
#include <cstdint>

namespace envelope {

namespace {

void Include(std::optional<TValueRange>& range, double value) {
    if (!range) {
        range = TValueRange{value, value};
        return;
    }
    range->min = std::min(range->min, value);
    range->max = std::max(range->max, value);
}

// The line's value at key, between the point below it and the first point
// not below it (index); none outside the points.
std::optional<double> LineAt(const TChartHistory& history, int index, double key) {
    if (index <= 0 || index >= history.Count()) return std::nullopt;
    const double k0 = history.Key(index - 1), k1 = history.Key(index);
    const double v0 = history.Value(index - 1), v1 = history.Value(index);
    return v0 + (v1 - v0) * (key - k0) / (k1 - k0);
}

}  // namespace

std::vector<std::optional<TValueRange>> Envelope(const TChartHistory& history, const TColumns& columns) {
    return Envelope(history, columns, 0, columns.count);
}

std::vector<std::optional<TValueRange>> Envelope(const TChartHistory& history, const TColumns& columns,
                                                 int begin, int end) {
    std::vector<std::optional<TValueRange>> out(size_t(std::max(columns.count, 0)));
    begin = std::clamp(begin, 0, int(out.size()));
    end = std::clamp(end, begin, int(out.size()));
    if (begin == end || history.Count() == 0) return out;
    // Keys mostly come evenly spaced: each edge is looked for where an even
    // spacing would put it.
    const int first = history.LowerIndex(columns.Edge(0));
    const int last = history.LowerIndex(columns.Edge(columns.count));
    int from = history.LowerIndex(columns.Edge(begin));
    std::optional<double> left = LineAt(history, from, columns.Edge(begin));
    for (int c = begin; c < end; ++c) {
        const double edge = columns.Edge(c + 1);
        const int guess = first + int(int64_t(last - first) * (c + 1) / columns.count);
        const int to = history.LowerIndex(edge, guess);
        const std::optional<double> right = LineAt(history, to, edge);
        std::optional<TValueRange>& range = out[size_t(c)];
        range = history.Extremes(from, to);
        if (left) Include(range, *left);
        if (right) Include(range, *right);
        from = to;
        left = right;
    }
    return out;
}

}  // namespace envelope
