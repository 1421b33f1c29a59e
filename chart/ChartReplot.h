// Redraws of the live chart. Asked for as often as wanted, a redraw runs once
// on the next pass of the event loop; paced requests also wait until
// MinGapMs have passed since the previous redraw, and the last one asked for
// is always drawn. The series are drawn on a layer with a paint buffer of its
// own (SeriesLayer): while the axis ranges, their labels and the chart's size
// are those of the last full redraw, a redraw repaints that layer alone and
// the axes, labels and grid stay as drawn, and where the owner can tell which
// parts of the plot changed (SetChangedParts) only those parts of the layer
// are repainted. While every redraw moves the frame the layer shares the
// chart's buffer instead. Main thread only; a child of its chart.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>
#include <qcustomplot.h>

class TChartReplot : public QObject {
    Q_OBJECT
public:
    static constexpr int MinGapMs = 40;
    static constexpr const char* SeriesLayer = "series";

    explicit TChartReplot(QCustomPlot* chart);
    void Request(bool paced);
    // The parts of the plot whose series changed since the last redraw;
    // nothing when that cannot be told (the whole series layer is drawn).
    using TChangedParts = std::function<std::optional<std::vector<QRect>>()>;
    void SetChangedParts(TChangedParts parts) { FChangedParts = std::move(parts); }

signals:
    // After each redraw, of the whole chart or of the series alone.
    void Drawn();

private:
    // What the axes, labels and grid depend on.
    struct TFrame {
        QRect viewport;
        QCPRange ranges[4];
        QString labels[4];
        bool operator==(const TFrame& other) const;
    };
    TFrame Frame() const;
    void Redraw();
    bool RepaintChangedParts();

    QCustomPlot* FChart;
    QCPLayer* FSeriesLayer;
    QTimer FDelay;
    QElapsedTimer FSinceLast;            // invalid until the first redraw
    std::optional<TFrame> FLastFull;     // as of the last full redraw
    int FFullInARow = 0;                 // full redraws since the frame last held
    TChangedParts FChangedParts;
};
