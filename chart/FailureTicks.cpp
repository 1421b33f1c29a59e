#include "chart/FailureTicks.h"

#include <qcustomplot.h>

void TFailureTicks::Mark(double timeMs) {
    if (FTicks.size() >= MaxTicks) return;
    auto* tick = new QCPItemLine(FChart);
    tick->setPen(QPen(QColor(220, 0, 0), 2));
    for (QCPItemPosition* end : {tick->start, tick->end}) {
        end->setTypeX(QCPItemPosition::ptPlotCoords);
        end->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    tick->start->setCoords(timeMs, 1.0);
    tick->end->setCoords(timeMs, 0.93);
    FTicks.push_back(tick);
}

void TFailureTicks::Clear() {
    for (QCPItemLine* tick : FTicks) FChart->removeItem(tick);
    FTicks.clear();
}
