#include "chart/ChartReplot.h"

#include <algorithm>

#include "chart/LayerPart.h"

TChartReplot::TChartReplot(QCustomPlot* chart) : QObject(chart), FChart(chart) {
    // Just above the layer the graphs are made on, so the stacking is as before.
    FChart->addLayer(SeriesLayer, FChart->layer("main"), QCustomPlot::limAbove);
    FSeriesLayer = FChart->layer(SeriesLayer);
    FSeriesLayer->setMode(QCPLayer::lmBuffered);
    // The selection overlay is never used here: sharing the axes' buffer
    // keeps the count of buffers to clear and compose per redraw as it was.
    FChart->layer("overlay")->setMode(QCPLayer::lmLogical);
    FDelay.setSingleShot(true);
    FDelay.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire early, inside the gap
    connect(&FDelay, &QTimer::timeout, this, &TChartReplot::Redraw);
    // Every full redraw, also the chart's own (its first, resizing, dragging,
    // zooming): it has drawn whatever was asked for before it.
    connect(FChart, &QCustomPlot::afterReplot, this, [this] {
        FDelay.stop();
        FLastFull = Frame();
        FSinceLast.restart();
        emit Drawn();
    });
}

bool TChartReplot::TFrame::operator==(const TFrame& other) const {
    return viewport == other.viewport && std::equal(ranges, ranges + 4, other.ranges) &&
           std::equal(labels, labels + 4, other.labels);
}

TChartReplot::TFrame TChartReplot::Frame() const {
    TFrame frame;
    frame.viewport = FChart->viewport();
    const QCPAxis* axes[4] = {FChart->xAxis, FChart->yAxis, FChart->xAxis2, FChart->yAxis2};
    for (int i = 0; i < 4; ++i) {
        frame.ranges[i] = axes[i]->range();
        frame.labels[i] = axes[i]->label();
    }
    return frame;
}

// The series' own buffer pays only while redraws keep the frame; while the
// frame moves with every redraw (the time axis of a running measurement) it
// is one more buffer to clear and compose, so it is merged away until the
// frame holds again.
void TChartReplot::Redraw() {
    const bool held = FLastFull && *FLastFull == Frame();
    const bool buffered = FSeriesLayer->mode() == QCPLayer::lmBuffered;
    if (!held) {
        if (buffered && FFullInARow >= 1) FSeriesLayer->setMode(QCPLayer::lmLogical);
        FChart->replot();
        ++FFullInARow;
        return;
    }
    FFullInARow = 0;
    if (!buffered) {
        FSeriesLayer->setMode(QCPLayer::lmBuffered);
        FChart->replot();
        return;
    }
    // The layer redraws the whole chart itself when the buffers were made
    // stale (a layer added, a graph moved): that redraw reports itself.
    FLastFull.reset();
    if (!RepaintChangedParts()) FSeriesLayer->replot();
    if (FLastFull) return;
    FLastFull = Frame();
    FSinceLast.restart();
    emit Drawn();
}

bool TChartReplot::RepaintChangedParts() {
    const std::optional<std::vector<QRect>> parts = FChangedParts ? FChangedParts() : std::nullopt;
    if (!parts) return false;
    for (const QRect& part : *parts)
        if (!layerpart::Repaint(FSeriesLayer, part)) return false;
    return true;
}

void TChartReplot::Request(bool paced) {
    const qint64 since = FSinceLast.isValid() ? FSinceLast.elapsed() : MinGapMs;
    if (!paced || since >= MinGapMs) {
        if (!FDelay.isActive() || FDelay.remainingTime() > 0) FDelay.start(0);
        return;
    }
    if (!FDelay.isActive()) FDelay.start(int(MinGapMs - since));
}
