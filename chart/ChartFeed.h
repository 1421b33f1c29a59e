// The live chart's data side: points enter at the end of a series and leave
// at its front in constant time, each series draws its history itself (see
// TSeriesGraph) in a bounded time however long the history is, and the axes
// follow the points held, so a measurement tick costs the same whatever the
// history's length. The series' points are written only through it. Main
// thread only; a child of its chart.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QHash>
#include <QObject>
#include <QRect>
#include <QVector>

#include "chart/ChartChanges.h"
#include "record/ChartHistory.h"

class QCustomPlot;
class QCPAxis;
class TChartReplot;
class TSeriesGraph;

class TChartFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int SeriesCount = 3;

    // The series must be empty; their points are the feed's from now on.
    TChartFeed(QCustomPlot* chart, const std::array<TSeriesGraph*, SeriesCount>& series);
    ~TChartFeed() override;

    int Count(int series) const;
    // Appends (x, y); x must be finite and should not lie below the series' last key.
    void Add(int series, double x, double y);
    // Drops the point with the lowest key; nothing when the series is empty.
    void RemoveFirst(int series);
    // Removes every point of every series.
    void Clear();
    // Takes the points, keys not decreasing, as the whole history of a series.
    void Assign(int series, const QVector<QCPGraphData>& points);
    // The history of a series, every point of it.
    const TChartHistory& History(int series) const;

    // Zoom with the wheel and pan by dragging, on every axis, or neither.
    void SetInteractive(bool allowed);
    bool Interactive() const;

    // The automatic ranges: the key axis over every point held, each value
    // axis over the points of the series drawn against it, moving in steps
    // (see liveranges) from the ranges this last gave; new points since then
    // or not, also "undo zoom". Clear and Assign start the steps afresh.
    void ApplyAutoRanges();
    // One redraw on the next pass of the event loop, however often asked;
    // while the chart cannot be zoomed (a measurement runs) at most one per
    // TChartReplot::MinGapMs.
    void RequestReplot();
    // Its Drawn() follows every redraw of the chart.
    TChartReplot* Replot() const { return FReplot; }

private:
    TChartHistory& Points(int series);
    void ApplyValueRange(QCPAxis* axis);
    std::optional<QCPRange> Kept(QCPAxis* axis) const;
    void SetKept(QCPAxis* axis, const QCPRange& range);

    QCustomPlot* FChart;
    TChartReplot* FReplot;
    std::array<TSeriesGraph*, SeriesCount> FSeries;
    QHash<QCPAxis*, QCPRange> FKept;  // the automatic ranges as last applied
    bool FTrimmed = false;            // a point has left the front since Clear or Assign
    TChartChanges FChanges;  // what to repaint while the frame holds
};
