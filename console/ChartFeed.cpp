#include "ChartFeed.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <qcustomplot.h>

#include "ChartReplot.h"
#include "LiveRanges.h"
#include "SeriesGraph.h"

namespace {

// Pixels beside a changed key that the series' strokes can reach: half a
// 2-px pen, its square cap and the antialiasing's fringe, with room to spare.
constexpr int ChangedMargin = 5;

}  // namespace

TChartFeed::TChartFeed(QCustomPlot* chart, const std::array<TSeriesGraph*, SeriesCount>& series)
    : QObject(chart), FChart(chart), FReplot(new TChartReplot(chart)), FSeries{series} {
    for (TSeriesGraph* graph : FSeries) graph->setLayer(TChartReplot::SeriesLayer);
    FReplot->SetChangedParts([this] { return ChangedParts(); });
    connect(FReplot, &TChartReplot::Drawn, this, &TChartFeed::NoteDrawn);
    // Undo zoom: a double click while the chart may be zoomed brings back the automatic ranges.
    connect(FChart, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) {
        if (!Interactive()) return;
        ApplyAutoRanges();
        RequestReplot();
    });
}

TChartHistory& TChartFeed::Points(int series) { return FSeries[size_t(series)]->Points(); }

int TChartFeed::Count(int series) const { return History(series).Count(); }

const TChartHistory& TChartFeed::History(int series) const {
    return FSeries[size_t(series)]->History();
}

void TChartFeed::Add(int series, double x, double y) { Points(series).Add(x, y); }

void TChartFeed::RemoveFirst(int series) {
    Points(series).RemoveFirst();
    FTrimmed = true;
}

void TChartFeed::Clear() {
    for (int i = 0; i < SeriesCount; ++i) Points(i).Clear();
    FKept.clear();
    FTrimmed = false;
    FDrawnKeys.reset();
}

void TChartFeed::Assign(int series, const QVector<QCPGraphData>& points) {
    TChartHistory& history = Points(series);
    history.Clear();
    FKept.clear();
    FTrimmed = false;
    FDrawnKeys.reset();
    for (const QCPGraphData& point : points) history.Add(point.key, point.value);
}

void TChartFeed::SetInteractive(bool allowed) {
    if (!allowed) {
        FChart->setInteractions(QCP::Interactions());
        return;
    }
    QList<QCPAxis*> keyAxes, valueAxes;
    for (QCPGraph* graph : FSeries) {
        if (!keyAxes.contains(graph->keyAxis())) keyAxes.append(graph->keyAxis());
        if (!valueAxes.contains(graph->valueAxis())) valueAxes.append(graph->valueAxis());
    }
    QCPAxisRect* rect = FChart->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeZoom(Qt::Horizontal | Qt::Vertical);
    rect->setRangeDragAxes(keyAxes, valueAxes);
    rect->setRangeZoomAxes(keyAxes, valueAxes);
    FChart->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

bool TChartFeed::Interactive() const {
    return FChart->interactions().testFlag(QCP::iRangeZoom);
}

void TChartFeed::ApplyValueRange(QCPAxis* axis) {
    std::optional<TValueRange> range;
    for (int i = 0; i < SeriesCount; ++i) {
        if (FSeries[size_t(i)]->valueAxis() != axis) continue;
        const auto r = History(i).Extremes();
        if (!r) continue;
        if (!range) range = r;
        range->min = std::min(range->min, r->min);
        range->max = std::max(range->max, r->max);
    }
    if (range) SetKept(axis, liveranges::Values(Kept(axis), range->min, range->max));
}

void TChartFeed::ApplyAutoRanges() {
    std::optional<QCPRange> keys;
    for (int i = 0; i < SeriesCount; ++i) {
        const TChartHistory& history = History(i);
        if (history.Count() == 0) continue;
        const double first = history.Key(0);
        const double last = history.Key(history.Count() - 1);
        keys = keys ? QCPRange(std::min(keys->lower, first), std::max(keys->upper, last))
                    : QCPRange(first, last);
    }
    QCPAxis* keyAxis = FSeries[0]->keyAxis();
    if (keys) SetKept(keyAxis, liveranges::Keys(Kept(keyAxis), keys->lower, keys->upper, !FTrimmed));
    QList<QCPAxis*> done;
    for (QCPGraph* graph : FSeries) {
        if (done.contains(graph->valueAxis())) continue;
        done.append(graph->valueAxis());
        ApplyValueRange(graph->valueAxis());
    }
}

std::optional<QCPRange> TChartFeed::Kept(QCPAxis* axis) const {
    const auto found = FKept.find(axis);
    if (found == FKept.end()) return std::nullopt;
    return *found;
}

void TChartFeed::SetKept(QCPAxis* axis, const QCPRange& range) {
    FKept[axis] = range;
    axis->setRange(range);
}

TChartFeed::TDrawnKeys TChartFeed::DrawnKeysNow() const {
    TDrawnKeys keys;
    for (int i = 0; i < SeriesCount; ++i) {
        const TChartHistory& history = History(i);
        if (history.Count() > 0)
            keys[size_t(i)] = {history.Key(0), history.Key(history.Count() - 1), history.Count(),
                               FSeries[size_t(i)]->Visible().dense};
    }
    return keys;
}

void TChartFeed::NoteDrawn() { FDrawnKeys = DrawnKeysNow(); }

// Points enter at the back and leave at the front, so since the last redraw
// a series changed from the newest key drawn then to its newest key now, and
// from its oldest key then to its oldest key now; anything else redraws the
// series whole, and so does a series that turns from a line to spans or back.
std::optional<std::vector<QRect>> TChartFeed::ChangedParts() const {
    if (!FDrawnKeys) return std::nullopt;
    const TDrawnKeys now = DrawnKeysNow();
    std::optional<QCPRange> back, front;  // key spans
    const auto unite = [](std::optional<QCPRange>& span, double from, double to) {
        span = span ? QCPRange(std::min(span->lower, from), std::max(span->upper, to)) : QCPRange(from, to);
    };
    for (size_t i = 0; i < now.size(); ++i) {
        const std::optional<TKeys>& was = (*FDrawnKeys)[i];
        const std::optional<TKeys>& is = now[i];
        if (!is && !was) continue;
        if (!is || (was && (is->first < was->first || is->last < was->last || is->dense != was->dense)))
            return std::nullopt;
        if (!was) {
            unite(back, is->first, is->last);
            continue;
        }
        if (is->last > was->last || is->count > was->count) unite(back, was->last, is->last);
        if (is->first > was->first) unite(front, was->first, is->first);
    }
    std::vector<QRect> parts;
    for (const std::optional<QCPRange>& span : {front, back})
        if (span) parts.push_back(PlotPart(*span));
    if (parts.size() == 2 && parts[0].intersects(parts[1])) parts = {parts[0] | parts[1]};
    parts.erase(std::remove_if(parts.begin(), parts.end(), [](const QRect& r) { return r.isEmpty(); }),
                parts.end());
    return parts;
}

// The plot's columns over a span of keys, with what strokes reach beside them.
QRect TChartFeed::PlotPart(const QCPRange& keys) const {
    const QRect plot = FChart->axisRect()->rect().adjusted(-1, -1, 1, 1);
    const QCPAxis* axis = FSeries[0]->keyAxis();
    const double a = axis->coordToPixel(keys.lower), b = axis->coordToPixel(keys.upper);
    // Far outside the plot a pixel may lie beyond what an int holds.
    const double left = std::clamp(std::min(a, b), double(plot.left() - 100), double(plot.right() + 100));
    const double right = std::clamp(std::max(a, b), double(plot.left() - 100), double(plot.right() + 100));
    const QRect part(QPoint(int(std::floor(left)) - ChangedMargin, plot.top()),
                     QPoint(int(std::ceil(right)) + ChangedMargin, plot.bottom()));
    return part & plot;
}

void TChartFeed::RequestReplot() { FReplot->Request(!Interactive()); }
