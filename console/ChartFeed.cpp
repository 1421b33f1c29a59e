#include "ChartFeed.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <qcustomplot.h>

#include "ChartReplot.h"

namespace {

// Visible margin around the points so a flat line does not sit on the frame.
constexpr double ValueMargin = 0.05;

QCPRange Padded(double min, double max) {
    const double span = max - min;
    const double pad = span > 0 ? span * ValueMargin : std::max(std::fabs(max) * ValueMargin, 1.0);
    return QCPRange(min - pad, max + pad);
}

}  // namespace

TChartFeed::TChartFeed(QCustomPlot* chart, const std::array<QCPGraph*, SeriesCount>& series)
    : QObject(chart), FChart(chart), FReplot(new TChartReplot(chart)), FSeries{series} {
    for (int i = 0; i < SeriesCount; ++i) ShowHistory(i);
    // Undo zoom: a double click while the chart may be zoomed brings back the automatic ranges.
    connect(FChart, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) {
        if (!Interactive()) return;
        ApplyAutoRanges();
        RequestReplot();
    });
    // Zooming and panning change the ranges many times a frame: the drawn
    // points follow them once, just before the chart draws.
    connect(FChart, &QCustomPlot::beforeReplot, this, &TChartFeed::FitViewsToKeyRange);
}

void TChartFeed::ShowHistory(int series) {
    if (FSeries[series]->data() != FHistory[series].View())
        FSeries[series]->setData(FHistory[series].View());
    FZoomed[series].reset();
}

int TChartFeed::Count(int series) const { return FHistory[series].Count(); }

const TChartHistory& TChartFeed::History(int series) const { return FHistory[series]; }

void TChartFeed::Add(int series, double x, double y) {
    FHistory[series].Add(x, y);
    FExtremes[series].Push(y);
    ShowHistory(series);
}

void TChartFeed::RemoveFirst(int series) {
    if (FHistory[series].Count() == 0) return;
    FHistory[series].RemoveFirst();
    FExtremes[series].PopFront();
    ShowHistory(series);
}

void TChartFeed::Clear() {
    for (int i = 0; i < SeriesCount; ++i) {
        FHistory[i].Clear();
        FExtremes[i].Clear();
        ShowHistory(i);
    }
}

void TChartFeed::Assign(int series, const QVector<QCPGraphData>& points) {
    TChartHistory& history = FHistory[size_t(series)];
    history.Assign(points);
    TSlidingExtremes& extremes = FExtremes[size_t(series)];
    extremes.Clear();
    for (int i = 0; i < history.Count(); ++i) extremes.Push(history.At(i).value);
    ShowHistory(series);
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

void TChartFeed::FitViewsToKeyRange() {
    for (int i = 0; i < SeriesCount; ++i) {
        if (Interactive())
            FitViewToKeyRange(i, FSeries[i]->keyAxis()->range());
        else if (FZoomed[i])
            ShowHistory(i);
    }
}

// Zoomed in on part of the history, the chart draws that part (and one point
// either side, so the line runs to the frame) at full detail when it fits.
void TChartFeed::FitViewToKeyRange(int series, const QCPRange& keys) {
    const TChartHistory& history = FHistory[series];
    const int count = history.Count();
    const int from = std::max(history.LowerIndex(keys.lower) - 1, 0);
    const double above = std::nextafter(keys.upper, std::numeric_limits<double>::infinity());
    const int to = std::min(history.LowerIndex(above) + 1, count);
    if (from == 0 && to == count) {
        if (FZoomed[series]) ShowHistory(series);
        return;
    }
    const std::pair<int, int> part(from, to);
    if (FZoomed[series] == part) return;
    auto view = QSharedPointer<QCPGraphDataContainer>::create();
    view->set(history.Reduced(from, to), true);
    FSeries[series]->setData(view);
    FZoomed[series] = part;
}

void TChartFeed::ApplyValueRange(QCPAxis* axis) {
    std::optional<TSlidingExtremes::TRange> range;
    for (int i = 0; i < SeriesCount; ++i) {
        if (FSeries[i]->valueAxis() != axis) continue;
        const auto r = FExtremes[i].Range();
        if (!r) continue;
        if (!range) range = r;
        range->min = std::min(range->min, r->min);
        range->max = std::max(range->max, r->max);
    }
    if (range) axis->setRange(Padded(range->min, range->max));
}

void TChartFeed::ApplyAutoRanges() {
    std::optional<QCPRange> keys;
    for (int i = 0; i < SeriesCount; ++i) {
        const TChartHistory& history = FHistory[i];
        if (history.Count() == 0) continue;
        const double first = history.At(0).key;
        const double last = history.At(history.Count() - 1).key;
        keys = keys ? QCPRange(std::min(keys->lower, first), std::max(keys->upper, last))
                    : QCPRange(first, last);
    }
    if (keys) {
        if (keys->size() <= 0) *keys = QCPRange(keys->lower - 1, keys->upper + 1);
        FSeries[0]->keyAxis()->setRange(*keys);
    }
    QList<QCPAxis*> done;
    for (QCPGraph* graph : FSeries) {
        if (done.contains(graph->valueAxis())) continue;
        done.append(graph->valueAxis());
        ApplyValueRange(graph->valueAxis());
    }
}

void TChartFeed::RequestReplot() { FReplot->Request(!Interactive()); }
