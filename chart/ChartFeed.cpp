#include "chart/ChartFeed.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <qcustomplot.h>

#include "chart/ChartReplot.h"
#include "chart/LiveRanges.h"
#include "chart/SeriesGraph.h"

TChartFeed::TChartFeed(QCustomPlot* chart, const std::array<TSeriesGraph*, SeriesCount>& series)
    : QObject(chart), FChart(chart), FReplot(new TChartReplot(chart)), FSeries{series},
      FChanges(series) {
    for (TSeriesGraph* graph : FSeries) graph->setLayer(TChartReplot::SeriesLayer);
    FReplot->SetChangedParts([this] { return FChanges.Parts(); });
    connect(FReplot, &TChartReplot::Drawn, this, [this] { FChanges.NoteDrawn(); });
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

TChartFeed::~TChartFeed() { FReplot->SetChangedParts({}); }

void TChartFeed::Add(int series, double x, double y) {
    Points(series).Add(x, y);
    FChanges.NoteAdded(series);
}

void TChartFeed::RemoveFirst(int series) {
    if (Points(series).Count() == 0) return;
    Points(series).RemoveFirst();
    FChanges.NoteRemoved(series);
    FTrimmed = true;
}

void TChartFeed::Clear() {
    for (int i = 0; i < SeriesCount; ++i) Points(i).Clear();
    FKept.clear();
    FTrimmed = false;
    FChanges.Forget();
}

void TChartFeed::Assign(int series, const QVector<QCPGraphData>& points) {
    TChartHistory& history = Points(series);
    history.Clear();
    FKept.clear();
    FTrimmed = false;
    FChanges.Forget();
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
    std::array<QCPAxis*, SeriesCount> done{};  // per sample: no list to allocate
    for (size_t i = 0; i < FSeries.size(); ++i) {
        QCPAxis* axis = FSeries[i]->valueAxis();
        if (std::find(done.begin(), done.begin() + i, axis) != done.begin() + i) continue;
        done[i] = axis;
        ApplyValueRange(axis);
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

void TChartFeed::RequestReplot() { FReplot->Request(!Interactive()); }
