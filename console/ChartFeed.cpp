#include "ChartFeed.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include <qcustomplot.h>

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
    : QObject(chart), FChart(chart), FSeries(series) {
    for (int i = 0; i < SeriesCount; ++i) SyncExtremes(i);
    // Undo zoom: a double click while the chart may be zoomed brings back the automatic ranges.
    connect(FChart, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) {
        if (!Interactive()) return;
        ApplyAutoRanges();
        RequestReplot();
    });
}

int TChartFeed::Count(int series) const { return FSeries[series]->data()->size(); }

void TChartFeed::SyncExtremes(int series) {
    // Someone else changed the series' data: rebuild the window once.
    TSlidingExtremes& extremes = FExtremes[series];
    const auto& data = *FSeries[series]->data();
    if (extremes.Count() == data.size()) return;
    extremes.Clear();
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) extremes.Push(it->value);
}

void TChartFeed::Add(int series, double x, double y) {
    SyncExtremes(series);
    FSeries[series]->addData(x, y);
    FExtremes[series].Push(y);
}

void TChartFeed::RemoveFirst(int series) {
    SyncExtremes(series);
    auto data = FSeries[series]->data();
    if (data->isEmpty()) return;
    // removeBefore drops the keys below its argument by moving the container's
    // start, without copying: the next representable key above the first one
    // removes exactly the first point (keys of a run are distinct).
    const double first = data->constBegin()->key;
    data->removeBefore(std::nextafter(first, std::numeric_limits<double>::infinity()));
    FExtremes[series].PopFront();
}

void TChartFeed::Clear() {
    for (int i = 0; i < SeriesCount; ++i) {
        FSeries[i]->data()->clear();
        FExtremes[i].Clear();
    }
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
    std::optional<TSlidingExtremes::TRange> range;
    for (int i = 0; i < SeriesCount; ++i) {
        if (FSeries[i]->valueAxis() != axis) continue;
        SyncExtremes(i);
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
    for (QCPGraph* graph : FSeries) {
        const auto data = graph->data();
        if (data->isEmpty()) continue;
        const double first = data->constBegin()->key;
        const double last = (data->constEnd() - 1)->key;
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

void TChartFeed::RequestReplot() { FChart->replot(QCustomPlot::rpQueuedReplot); }
