// One series of the live chart: a graph that draws its own history (see
// TChartHistory) against the current axis ranges and the chart's width, so
// zooming, panning and resizing need no preparation. A visible part with no
// more points than the plot has pixel columns is drawn as the graph always
// draws, one polyline through the points with the graph's pen; a denser part
// is drawn as one span per pixel column from the lowest to the highest value
// the line takes there (see envelope::Envelope), unantialiased, as wide as
// the pen at its ends, so a band looks like the band it is and a spike shows
// whatever the depth. Only what can reach the painter's clip is drawn, so a
// repaint of part of the plot costs what is in that part. The graph's own
// data container stays empty. The key axis must be horizontal. Main thread
// only.
#pragma once

#include <qcustomplot.h>

#include "record/ChartHistory.h"

class TChartFeed;

class TSeriesGraph : public QCPGraph {
    Q_OBJECT
public:
    TSeriesGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);

    const TChartHistory& History() const { return FHistory; }
    // The visible points [first, last) with one point beyond each edge, and
    // whether they are drawn as spans per pixel column.
    struct TVisible {
        int first;
        int last;
        bool dense;
    };
    TVisible Visible() const;

protected:
    void draw(QCPPainter* painter) override;

private:
    friend class TChartFeed;  // the only writer of the points
    TChartHistory& Points() { return FHistory; }

    TVisible Within(const TVisible& visible, const QCPPainter& painter) const;
    void DrawLine(QCPPainter* painter, const TVisible& visible);
    void DrawSpans(QCPPainter* painter);

    TChartHistory FHistory;
};

namespace chartunits {

// The unit of a series: that of its value axis.
QString SeriesUnit(const QCPGraph& series);

}  // namespace chartunits
