// Redraws of the live chart. Asked for as often as wanted, a redraw runs once
// on the next pass of the event loop; paced requests also wait until
// MinGapMs have passed since the previous redraw, and the last one asked for
// is always drawn. Main thread only; a child of its chart.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QCustomPlot;

class TChartReplot : public QObject {
    Q_OBJECT
public:
    static constexpr int MinGapMs = 40;

    explicit TChartReplot(QCustomPlot* chart);
    void Request(bool paced);

private:
    QCustomPlot* FChart;
    QTimer FDelay;
    QElapsedTimer FSinceLast;  // invalid until the first redraw
};
