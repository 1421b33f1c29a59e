// The live chart's data side: points enter at the end of a series and leave
// at its front in constant time, the chart draws a bounded number of points
// per series however long the history is, and the axes follow the points
// held, so a measurement tick costs the same whatever the history's length.
// The series' points are written only through it. Main thread only; a child
// of its chart.
#pragma once

#include <array>
#include <optional>
#include <utility>

#include <QObject>
#include <QVector>

#include "ChartHistory.h"
#include "SlidingExtremes.h"

class QCustomPlot;
class QCPAxis;
class QCPGraph;
class QCPRange;
class TChartReplot;

class TChartFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int SeriesCount = 3;

    // The series must be empty; their points are the feed's from now on.
    TChartFeed(QCustomPlot* chart, const std::array<QCPGraph*, SeriesCount>& series);

    int Count(int series) const;
    // Appends (x, y); x must be finite and should not lie below the series' last key.
    void Add(int series, double x, double y);
    // Drops the point with the lowest key; nothing when the series is empty.
    void RemoveFirst(int series);
    // Removes every point of every series.
    void Clear();
    // Takes the points, keys not decreasing, as the whole history of a series.
    void Assign(int series, const QVector<QCPGraphData>& points);
    // The history of a series, every point of it (the chart may draw fewer).
    const TChartHistory& History(int series) const;

    // Zoom with the wheel and pan by dragging, on every axis, or neither.
    void SetInteractive(bool allowed);
    bool Interactive() const;

    // The automatic ranges: the key axis over every point held, each value
    // axis over the points of the series drawn against it. Also "undo zoom".
    void ApplyAutoRanges();
    // One redraw on the next pass of the event loop, however often asked;
    // while the chart cannot be zoomed (a measurement runs) at most one per
    // TChartReplot::MinGapMs.
    void RequestReplot();

private:
    void ShowHistory(int series);
    void FitViewsToKeyRange();
    void FitViewToKeyRange(int series, const QCPRange& keys);
    void ApplyValueRange(QCPAxis* axis);

    QCustomPlot* FChart;
    TChartReplot* FReplot;
    // One slot per series, indexed by the series number as the chart counts it.
    template <class T>
    struct TPerSeries : std::array<T, SeriesCount> {
        T& operator[](int series) { return std::array<T, SeriesCount>::operator[](size_t(series)); }
        const T& operator[](int series) const {
            return std::array<T, SeriesCount>::operator[](size_t(series));
        }
    };
    TPerSeries<QCPGraph*> FSeries;
    TPerSeries<TChartHistory> FHistory;
    TPerSeries<TSlidingExtremes> FExtremes;
    // The part of the history drawn at full detail while zoomed in.
    TPerSeries<std::optional<std::pair<int, int>>> FZoomed;
};
