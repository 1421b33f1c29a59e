// Small red ticks on the chart's time axis where the line failed while
// measuring (a refusal, a time-out, a reply cut short), so a gap in a curve
// shows its cause. Cleared with the chart's points. Main thread; the ticks
// are items of the chart.
#pragma once

#include <cstddef>
#include <vector>

class QCPItemLine;
class QCustomPlot;

class TFailureTicks {
public:
    static constexpr size_t MaxTicks = 1000;  // a line failing on and on does not slow the chart down

    explicit TFailureTicks(QCustomPlot* chart) : FChart(chart) {}
    void Mark(double timeMs);
    void Clear();
    const std::vector<QCPItemLine*>& Ticks() const { return FTicks; }

private:
    QCustomPlot* FChart;
    std::vector<QCPItemLine*> FTicks;
};
