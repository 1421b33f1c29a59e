// The readout under the mouse while the measurement is stopped: a vertical
// line at the mouse's time and a small label with that time and the value of
// each series there, linearly interpolated between its neighbouring points,
// in the series' colour with its unit (none for a series whose points do not
// reach that time). Gone when the mouse leaves the plot and while measuring.
// It is drawn on a buffered layer of its own, so a mouse move repaints that
// layer alone; panning and zooming redraw the chart, and the cursor with it,
// and add no redraw of their own. While hidden the layer has no buffer, so a
// running measurement's redraws cost what they did. Main thread only; a
// child of its chart.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QColor>
#include <QObject>
#include <QString>

class QCPGraph;
class QCPLayer;
class QCustomPlot;
class QMouseEvent;
class TChartHistory;
class TSeriesGraph;

class TChartCursor : public QObject {
    Q_OBJECT
public:
    static constexpr const char* LayerName = "cursor";
    // True while the cursor may show (the measurement is stopped).
    using TAllowed = std::function<bool()>;

    TChartCursor(QCustomPlot* chart, std::vector<TSeriesGraph*> series, TAllowed allowed);

    // The history's value at `time`, linearly interpolated between the points
    // on either side; a point's own value at its key; none before the first
    // point or after the last. A logarithmic search, whatever the length.
    static std::optional<double> ValueAt(const TChartHistory& history, double time);

    // Shown at `time` as if the mouse were there (the chart's range moved to
    // it when outside); false while it may not show or nothing is charted.
    bool ShowAt(double time);
    bool Shown() const;
    bool Empty() const;  // no series holds a point: there is nothing to read
    double Time() const { return FTime; }
    // One entry per series, in series order.
    const std::vector<std::optional<double>>& Values() const { return FValues; }
    // The label as drawn, top to bottom: the time, then each value with its unit.
    struct TLine {
        QString text;
        QColor color;
    };
    std::vector<TLine> Lines() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TMark;

    void Follow(const QMouseEvent& event);
    void Read();       // the time and values at the cursor's pixel column
    void Hide();
    void Drop();       // hidden for a measurement: no buffer of its own any more

    QCustomPlot* FChart;
    std::vector<TSeriesGraph*> FSeries;
    TAllowed FAllowed;
    QCPLayer* FLayer;
    TMark* FMark;
    int FPixelX = 0;
    double FTime = 0;
    std::vector<std::optional<double>> FValues;
};
