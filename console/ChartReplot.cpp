#include "ChartReplot.h"

#include <qcustomplot.h>

TChartReplot::TChartReplot(QCustomPlot* chart) : QObject(chart), FChart(chart) {
    FDelay.setSingleShot(true);
    FDelay.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire early, inside the gap
    connect(&FDelay, &QTimer::timeout, this, [this] { FChart->replot(QCustomPlot::rpQueuedReplot); });
    connect(FChart, &QCustomPlot::afterReplot, this, [this] { FSinceLast.restart(); });
}

void TChartReplot::Request(bool paced) {
    const qint64 since = FSinceLast.isValid() ? FSinceLast.elapsed() : MinGapMs;
    if (!paced || since >= MinGapMs) {
        FDelay.stop();
        FChart->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    if (!FDelay.isActive()) FDelay.start(int(MinGapMs - since));
}
