#include "chart/ChartChanges.h"

#include <algorithm>
#include <cmath>

#include "chart/SeriesGraph.h"

namespace {

void Unite(std::optional<QCPRange>& span, double from, double to) {
    span = span ? QCPRange(std::min(span->lower, from), std::max(span->upper, to)) : QCPRange(from, to);
}

}  // namespace

TChartChanges::TChartChanges(const std::array<TSeriesGraph*, SeriesCount>& series) : FSeries(series) {}

bool TChartChanges::TState::SameLook(const TState& other) const {
    return dense == other.dense && pen == other.pen && visible == other.visible &&
           lineStyle == other.lineStyle;
}

TChartChanges::TStates TChartChanges::Now() const {
    TStates states;
    for (size_t i = 0; i < states.size(); ++i) {
        const TSeriesGraph& graph = *FSeries[i];
        const TChartHistory& history = graph.History();
        TState& state = states[i];
        if (history.Count() > 0) state.keys = QCPRange(history.Key(0), history.Key(history.Count() - 1));
        state.added = FAdded[i];
        state.removed = FRemoved[i];
        state.dense = graph.Visible().dense;
        state.pen = graph.pen();
        state.visible = graph.realVisibility();
        state.lineStyle = int(graph.lineStyle());
    }
    return states;
}

void TChartChanges::NoteDrawn() { FDrawn = Now(); }

std::optional<std::vector<QRect>> TChartChanges::Parts() const {
    if (!FDrawn) return std::nullopt;
    const TStates now = Now();
    std::optional<QCPRange> back, front;  // key spans
    for (size_t i = 0; i < now.size(); ++i) {
        const TState& was = (*FDrawn)[i];
        const TState& is = now[i];
        if (!is.SameLook(was)) return std::nullopt;
        if (is.added == was.added && is.removed == was.removed) continue;
        if (!is.keys) return std::nullopt;
        if (!was.keys) {
            Unite(back, is.keys->lower, is.keys->upper);
            continue;
        }
        if (is.added > was.added) Unite(back, was.keys->upper, is.keys->upper);
        if (is.removed > was.removed) Unite(front, was.keys->lower, is.keys->lower);
    }
    std::vector<QRect> parts;
    for (const std::optional<QCPRange>& span : {front, back})
        if (span) parts.push_back(PlotPart(*span));
    if (parts.size() == 2 && parts[0].intersects(parts[1])) parts = {parts[0] | parts[1]};
    parts.erase(std::remove_if(parts.begin(), parts.end(), [](const QRect& r) { return r.isEmpty(); }),
                parts.end());
    return parts;
}

// The plot's columns over a span of keys, with what the widest pen's strokes
// reach beside them: half the pen, its square cap and the antialiasing's
// fringe, with room to spare.
QRect TChartChanges::PlotPart(const QCPRange& keys) const {
    double widest = 1;
    for (const TSeriesGraph* graph : FSeries) widest = std::max(widest, graph->pen().widthF());
    const int margin = int(std::ceil(widest)) + 3;
    const QCPAxis* axis = FSeries[0]->keyAxis();
    // The axis' own rectangle: asking the chart for it walks its layout.
    const QRect plot = axis->axisRect()->rect().adjusted(-1, -1, 1, 1);
    const double a = axis->coordToPixel(keys.lower), b = axis->coordToPixel(keys.upper);
    // Far outside the plot a pixel may lie beyond what an int holds.
    const double left = std::clamp(std::min(a, b), double(plot.left() - 100), double(plot.right() + 100));
    const double right = std::clamp(std::max(a, b), double(plot.left() - 100), double(plot.right() + 100));
    const QRect part(QPoint(int(std::floor(left)) - margin, plot.top()),
                     QPoint(int(std::ceil(right)) + margin, plot.bottom()));
    return part & plot;
}
