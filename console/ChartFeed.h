// The live chart's data side: points enter at the end of a series and leave
// at its front in constant time, and the axes follow the points held, so a
// measurement tick costs the same however long the history is.
// Main thread only; a child of its chart.
#pragma once

#include <array>

#include <QObject>

#include "SlidingExtremes.h"

class QCustomPlot;
class QCPAxis;
class QCPGraph;

class TChartFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int SeriesCount = 3;

    TChartFeed(QCustomPlot* chart, const std::array<QCPGraph*, SeriesCount>& series);

    int Count(int series) const;
    // Appends (x, y); x should not lie below the series' last key.
    void Add(int series, double x, double y);
    // Drops the point with the lowest key; nothing when the series is empty.
    void RemoveFirst(int series);
    // Removes every point of every series.
    void Clear();

    // Zoom with the wheel and pan by dragging, on every axis, or neither.
    void SetInteractive(bool allowed);
    bool Interactive() const;

    // The automatic ranges: the key axis over every point held, each value
    // axis over the points of the series drawn against it. Also "undo zoom".
    void ApplyAutoRanges();
    // One redraw on the next pass of the event loop, however often asked.
    void RequestReplot();

private:
    void SyncExtremes(int series);
    void ApplyValueRange(QCPAxis* axis);

    QCustomPlot* FChart;
    std::array<QCPGraph*, SeriesCount> FSeries;
    std::array<TSlidingExtremes, SeriesCount> FExtremes;
};
