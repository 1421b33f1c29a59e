#include "chart/SeriesGraph.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "record/ChartUnits.h"
#include "record/ColumnEnvelope.h"

namespace {

// A pixel row just outside the plot at most: zoomed far in, a value may lie
// beyond what an int holds, and the plot clips the rest anyway.
double Clamped(double y, const QCPAxisRect& rect) {
    return std::clamp(y, double(rect.top() - 8), double(rect.bottom() + 8));
}

// Pixels a stroke can reach beyond its end points: half the pen, its square
// cap and the antialiasing's fringe, with a pixel to spare.
int Reach(const QPen& pen) { return int(std::ceil(pen.widthF())) + 2; }

// Adds the edge of column x at row y to an outline: a column at the row the
// last one ended on only moves that end, so a flat stretch is one edge.
void Extend(QVector<QPoint>& edge, int x, int y) {
    if (!edge.isEmpty() && edge.last() == QPoint(x, y)) {
        edge.last().rx() = x + 1;
        return;
    }
    edge.append(QPoint(x, y));
    edge.append(QPoint(x + 1, y));
}

}  // namespace

TSeriesGraph::TSeriesGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

TSeriesGraph::TVisible TSeriesGraph::Visible() const {
    const QCPRange keys = keyAxis()->range();
    const int count = FHistory.Count();
    const int first = std::max(FHistory.LowerIndex(keys.lower) - 1, 0);
    const double above = std::nextafter(keys.upper, std::numeric_limits<double>::infinity());
    const int last = std::min(FHistory.LowerIndex(above) + 1, count);
    return {first, std::max(first, last), last - first > keyAxis()->axisRect()->width()};
}

void TSeriesGraph::draw(QCPPainter* painter) {
    if (!keyAxis() || !valueAxis() || keyAxis()->range().size() <= 0 || FHistory.Count() == 0) return;
    const TVisible visible = Visible();
    if (visible.first == visible.last) return;
    if (visible.dense) DrawSpans(painter);
    else DrawLine(painter, Within(visible, *painter));
}

// The visible points whose segments can reach the painter's clip, with one
// beyond each side of it.
TSeriesGraph::TVisible TSeriesGraph::Within(const TVisible& visible, const QCPPainter& painter) const {
    if (!painter.hasClipping()) return visible;
    const QRectF clip = painter.clipBoundingRect();
    const int reach = Reach(pen());
    const double a = keyAxis()->pixelToCoord(clip.left() - reach);
    const double b = keyAxis()->pixelToCoord(clip.right() + reach);
    const double above = std::nextafter(std::max(a, b), std::numeric_limits<double>::infinity());
    const int first = std::max(visible.first, FHistory.LowerIndex(std::min(a, b)) - 1);
    const int last = std::min(visible.last, FHistory.LowerIndex(above) + 1);
    return {first, std::max(first, last), visible.dense};
}

// As the graph draws its own data: the points through its pen, no fill.
void TSeriesGraph::DrawLine(QCPPainter* painter, const TVisible& visible) {
    if (lineStyle() == lsNone) return;
    QVector<QCPGraphData> points;
    points.reserve(visible.last - visible.first);
    for (int i = visible.first; i < visible.last; ++i) points.append(QCPGraphData(FHistory.Key(i), FHistory.Value(i)));
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    drawLinePlot(painter, dataToLines(points));
}

// The spans of neighbouring columns make one outline, top edge left to
// right and bottom edge back: the painter fills it row by row in long runs,
// where a rectangle per column would cost a call per pixel row.
void TSeriesGraph::DrawSpans(QCPPainter* painter) {
    const QCPAxisRect* rect = keyAxis()->axisRect();
    const QCPRange keys = keyAxis()->range();
    // The columns the painter's clip covers, with one to spare each side.
    int from = 0, to = rect->width();
    if (painter->hasClipping()) {
        const QRectF clip = painter->clipBoundingRect();
        from = std::clamp(int(std::floor(clip.left())) - rect->left() - 1, 0, to);
        to = std::clamp(int(std::ceil(clip.right())) - rect->left() + 2, from, to);
    }
    const auto columns = envelope::Envelope(FHistory, {keys.lower, keys.upper, rect->width()}, from, to);
    // The pen's half width above and below, so a flat stretch is as thick as the line.
    const double pad = std::max(pen().widthF(), 1.0) / 2;
    painter->setAntialiasing(false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(pen().brush());
    // One outline buffer for every run, sized once: the top edge goes in as
    // it comes and the bottom edge, gathered apart, is appended reversed.
    QPolygon outline;
    QVector<QPoint> bottom;
    outline.reserve(int(columns.size()) * 4);
    bottom.reserve(int(columns.size()) * 2);
    const auto flush = [&] {
        if (bottom.isEmpty()) return;
        for (auto point = bottom.crbegin(); point != bottom.crend(); ++point) outline.append(*point);
        painter->drawPolygon(outline);
        outline.resize(0);
        bottom.resize(0);
    };
    for (size_t c = size_t(from); c < size_t(to); ++c) {
        if (!columns[c]) {
            flush();
            continue;
        }
        const double high = Clamped(valueAxis()->coordToPixel(columns[c]->max), *rect);
        const double low = Clamped(valueAxis()->coordToPixel(columns[c]->min), *rect);
        const int y0 = int(std::lround(std::min(high, low) - pad));
        const int y1 = std::max(int(std::lround(std::max(high, low) + pad)), y0 + 1);
        const int x = rect->left() + int(c);
        Extend(outline, x, y0);
        Extend(bottom, x, y1);
    }
    flush();
}

QString chartunits::SeriesUnit(const QCPGraph& series) {
    return series.valueAxis() ? AxisUnit(series.valueAxis()->label()) : QString();
}
